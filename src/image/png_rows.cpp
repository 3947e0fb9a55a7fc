#include "png_rows.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "packed_samples.h"
#include "png_layout.h"
#include "png_lines.h"
#include "png_read.h"
#include "png_unfilter.h"

namespace {

// 8-bit palette or gray rows, not interlaced: the whole stream fits in U's block with at
// most a byte a row more, so it is inflated at once rather than twice a row.
bool decodes_whole_stream(const png_header& header) {
  return !is_true_colour(header) && header.depth == 8 && header.interlace == 0;
}

std::uint64_t whole_stream_length(const png_header& header) {
  return (std::uint64_t{header.width} + 1) * header.height;
}

// The bytes past U's rows that the whole stream takes; 0 where U's fill bytes hold it.
std::uint64_t whole_stream_slack(const png_header& header) {
  std::uint64_t rows = std::uint64_t{header.stride} * header.height;
  std::uint64_t stream = whole_stream_length(header);
  return stream - std::min(stream, rows);
}

// Beyond the size limit's room the rows are decoded one at a time instead.
bool whole_stream_fits(const png_header& header) {
  return decodes_whole_stream(header) &&
         static_cast<std::uint64_t>(png_equivalent_size(header)) + whole_stream_slack(header) <=
             static_cast<std::uint64_t>(INT32_MAX);
}

}  // namespace

std::uint64_t sample_rows_slack(const png_header& header) {
  return whole_stream_fits(header) ? whole_stream_slack(header) : 0;
}

namespace {

// One picture of the stream: the whole one, or an interlaced pass, its pixels placed from
// (x0, y0) every dx columns and dy rows. U's rows run bottom-up.
struct pass_target {
  std::uint8_t* rows;
  std::uint32_t stride;
  std::uint32_t height;
  png::adam7_pass pass;
  std::uint32_t width;  // the pass's pixels a row
  std::uint32_t lines;  // its rows
};

void place_samples(const std::uint8_t* row, std::uint8_t depth, const pass_target& target,
                   std::uint32_t line) {
  std::uint32_t y = target.pass.y0 + line * target.pass.dy;
  std::uint8_t* out = target.rows + std::size_t{target.height - 1 - y} * target.stride;
  unpack_samples(row, target.width, depth, out + target.pass.x0, target.pass.dx);
}

refusal decode_pass(inflate_stream& stream, std::uint8_t depth, const pass_target& target) {
  auto length = static_cast<std::size_t>(png::row_bytes(target.width, depth));
  return take_lines(stream, target.lines, length, 1,
                    [&](std::uint32_t line, const std::uint8_t* samples) {
                      place_samples(samples, depth, target, line);
                      return refusal::none;
                    });
}

constexpr std::size_t NARROW_ROW = 32;

}  // namespace

// Every pixel is written by the rows or the passes (together they cover the picture): only
// the fill bytes need their zeros, at most three a row, set in place rather than by a call
// a row.
void zero_fill_bytes(const png_header& header, std::uint8_t* rows) {
  for (std::uint32_t y = 0; y < header.height && header.stride > header.width; ++y) {
    std::uint8_t* row = rows + std::size_t{y} * header.stride;
    for (std::size_t x = header.width; x < header.stride; ++x) row[x] = 0;
  }
}

namespace {

// The whole stream, inflated to the end of the block, is unfiltered top-down as each row
// moves to its place: a row's place never reaches a stored row not yet moved, as the
// stream starts at least a byte a row past U's rows. Last the rows are turned bottom-up.
refusal unfilter_whole_stream(const png_header& header, std::uint8_t* rows,
                              const std::uint8_t* stream) {
  const std::size_t width = header.width;
  const std::size_t stride = header.stride;
  // Narrow rows move byte by byte: a call a row would cost more than the bytes.
  const bool narrow = width < NARROW_ROW;
  std::vector<std::uint8_t> zeros(width, 0);
  for (std::size_t j = 0; j < header.height; ++j) {
    const std::uint8_t* stored = stream + j * (width + 1);
    std::uint8_t filter = stored[0];
    std::uint8_t* row = rows + j * stride;
    if (narrow) {
      // The row's place starts at or before its stored bytes and ends before the next
      // row's: forward is safe, and the fill bytes get their zeros on the way.
      for (std::size_t i = 0; i < stride; ++i) row[i] = i < width ? stored[1 + i] : 0;
    } else {
      std::memmove(row, stored + 1, width);
      std::memset(row + width, 0, stride - width);
    }
    if (filter != png::FILTER_NONE &&
        !unfilter(filter, row, j == 0 ? zeros.data() : row - stride, width, 1))
      return refusal::png_bad_filter;
  }
  // Wide rows through a spare one: memcpy moves them many times faster than a byte swap.
  std::vector<std::uint8_t>& spare = zeros;
  for (std::size_t top = 0, bottom = header.height; top + 1 < bottom; ++top, --bottom) {
    std::uint8_t* upper = rows + top * stride;
    std::uint8_t* lower = rows + (bottom - 1) * stride;
    if (narrow) {
      std::swap_ranges(upper, upper + stride, lower);
      continue;
    }
    std::memcpy(spare.data(), upper, width);
    std::memcpy(upper, lower, width);
    std::memcpy(lower, spare.data(), width);
  }
  return refusal::none;
}

}  // namespace

// Palette and grayscale samples, each U's index as it stands. A stream that the whole route
// cannot take is read again a row at a time, which finds the reason to refuse it.
refusal decode_sample_rows(const png_header& header, std::uint8_t* rows) {
  if (whole_stream_fits(header)) {
    std::size_t length = static_cast<std::size_t>(whole_stream_length(header));
    std::size_t block = std::size_t{header.stride} * header.height +
                        static_cast<std::size_t>(whole_stream_slack(header));
    std::uint8_t* stream = rows + (block - length);
    if (inflate_whole(header.data, stream, length))
      return unfilter_whole_stream(header, rows, stream);
  }
  inflate_stream stream = start_inflate(header.data);
  zero_fill_bytes(header, rows);
  for (const png::stored_pass& p : png::passes_of(header.width, header.height, header.interlace)) {
    refusal fault = decode_pass(stream, header.depth,
                                {rows, header.stride, header.height, p.pass, p.width, p.lines});
    if (fault != refusal::none) return fault;
  }
  return refusal::none;
}
