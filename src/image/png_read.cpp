#include "image/png_read.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "image/bmp_layout.h"
#include "image/byte_order.h"
#include "image/png_layout.h"
#include "image/png_lines.h"
#include "image/png_true_colour.h"
#include "image/png_unfilter.h"

namespace {

struct chunk {
  std::uint32_t length;
  const std::uint8_t* type;
  const std::uint8_t* data;
};

bool is_type(const chunk& c, const char* name) {
  return std::memcmp(c.type, name, 4) == 0;
}

bool letters_only(const chunk& c) {
  for (int i = 0; i < 4; ++i) {
    std::uint8_t b = c.type[i];
    if (!((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'))) return false;
  }
  return true;
}

// The ancillary bit: a chunk with a lower-case first letter may be skipped.
bool is_critical(const chunk& c) {
  return (c.type[0] & 0x20) == 0;
}

bool depth_allowed(std::uint8_t color_type, std::uint8_t depth) {
  switch (color_type) {
    case png::GRAYSCALE:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case png::PALETTE:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case png::TRUE_COLOUR:
    case png::GRAYSCALE_ALPHA:
    case png::TRUE_COLOUR_ALPHA:
      return depth == 8 || depth == 16;
    default:
      return false;
  }
}

std::uint64_t equivalent_stride(std::uint32_t width) {
  return (std::uint64_t{width} + 3) / 4 * 4;
}

refusal read_ihdr(const chunk& c, png_header& header) {
  if (c.length != png::IHDR_LENGTH) return refusal::png_ihdr_length;
  header.width = read_be32(c.data);
  header.height = read_be32(c.data + 4);
  header.depth = c.data[8];
  header.color_type = c.data[9];
  header.interlace = c.data[12];
  if (header.width == 0 || header.width > png::MAX_DIMENSION || header.height == 0 ||
      header.height > png::MAX_DIMENSION)
    return refusal::png_bad_size;
  if (!depth_allowed(header.color_type, header.depth)) return refusal::png_bad_form;
  if (c.data[10] != 0) return refusal::png_bad_compression_method;
  if (c.data[11] != 0) return refusal::png_bad_filter_method;
  if (header.interlace > png::INTERLACE_ADAM7) return refusal::png_bad_interlace_method;
  if (header.depth > 8) return refusal::png_unsupported;
  std::uint64_t stride = equivalent_stride(header.width);
  std::uint64_t room = static_cast<std::uint64_t>(bmp::MAX_INPUT_SIZE) - bmp::OUTPUT_PIXEL_OFFSET;
  if (stride > room / header.height) return refusal::decoded_too_large;
  header.stride = static_cast<std::uint32_t>(stride);
  if (header.color_type == png::GRAYSCALE) {
    header.entries = std::uint32_t{1} << header.depth;
    for (std::uint32_t k = 0; k < header.entries; ++k) {
      auto level = static_cast<std::uint8_t>(k * 255 / (header.entries - 1));
      header.palette[k] = {level, level, level};
    }
  }
  return refusal::none;
}

// What the chunks seen so far allow the next one to be.
struct chunk_order {
  bool palette = false;
  bool transparency = false;
  bool data_started = false;
  bool data_ended = false;
  bool resolution = false;
};

refusal read_plte(const chunk& c, const chunk_order& order, png_header& header) {
  if (header.color_type == png::GRAYSCALE || header.color_type == png::GRAYSCALE_ALPHA)
    return refusal::png_palette_unexpected;
  if (order.palette) return refusal::png_palette_repeated;
  if (order.data_started) return refusal::png_palette_after_data;
  if (c.length == 0) return refusal::png_palette_empty;
  if (c.length % 3 != 0) return refusal::png_palette_not_whole;
  // Depths above 8 are refused before: 2^depth is at most 256 here.
  if (c.length / 3 > (std::uint32_t{1} << header.depth)) return refusal::png_palette_too_long;
  // A true-colour picture's palette only suggests colours for a viewer to quantise to.
  if (is_true_colour(header)) return refusal::none;
  header.entries = c.length / 3;
  for (std::uint32_t k = 0; k < header.entries; ++k)
    header.palette[k] = {c.data[3 * k], c.data[3 * k + 1], c.data[3 * k + 2]};
  return refusal::none;
}

// The bytes a tRNS holds: one a palette entry at most, else one 2-byte sample a channel.
bool transparency_length_fits(const png_header& header, std::uint32_t length) {
  if (header.color_type == png::PALETTE) return length <= header.entries;
  return length == (header.color_type == png::TRUE_COLOUR ? 6u : 2u);
}

refusal read_trns(const chunk& c, const chunk_order& order, png_header& header) {
  // Where every pixel has its alpha, a tRNS has nothing to add.
  if (header.color_type == png::GRAYSCALE_ALPHA || header.color_type == png::TRUE_COLOUR_ALPHA)
    return refusal::none;
  bool palette = header.color_type == png::PALETTE;
  if (palette && !order.palette) return refusal::png_transparency_before_palette;
  if (order.data_started) return refusal::png_transparency_after_data;
  if (order.transparency) return refusal::png_transparency_repeated;
  if (!transparency_length_fits(header, c.length)) return refusal::png_transparency_length;
  if (palette) {
    std::copy(c.data, c.data + c.length, header.alpha.begin());
  } else if (header.color_type == png::TRUE_COLOUR) {
    header.colour_key = true;
    for (std::size_t i = 0; i < header.key.size(); ++i) header.key[i] = read_be16(c.data + 2 * i);
  } else if (std::uint32_t level = read_be16(c.data); level < header.entries) {
    header.alpha[level] = 0;
  }
  return refusal::none;
}

// The resolution counts only in pixels per metre, and only where a bitmap can hold it.
void read_phys(const chunk& c, png_header& header) {
  if (c.length != png::PHYS_LENGTH || c.data[8] != png::PHYS_UNIT_METRE) return;
  std::uint32_t x = read_be32(c.data);
  std::uint32_t y = read_be32(c.data + 4);
  if (x > png::MAX_DIMENSION || y > png::MAX_DIMENSION) return;
  header.x_per_metre = x;
  header.y_per_metre = y;
}

refusal read_chunk(const chunk& c, chunk_order& order, png_header& header) {
  refusal fault = refusal::none;
  if (is_type(c, "IDAT")) {
    if (order.data_ended) return refusal::png_data_apart;
    order.data_started = true;
    header.data.push_back({c.data, c.length});
    return refusal::none;
  }
  if (order.data_started) order.data_ended = true;
  if (is_type(c, "PLTE")) {
    fault = read_plte(c, order, header);
    order.palette = true;
  } else if (is_type(c, "tRNS")) {
    fault = read_trns(c, order, header);
    order.transparency = true;
  } else if (is_type(c, "pHYs")) {
    // As strict as tRNS: a resolution that comes late or twice is no resolution to trust.
    if (order.data_started) return refusal::png_resolution_after_data;
    if (order.resolution) return refusal::png_resolution_repeated;
    read_phys(c, header);
    order.resolution = true;
  } else if (is_critical(c)) {
    fault = refusal::png_unknown_critical;
  }
  return fault;
}

// The chunk at `at`, or none where the file ends inside it.
bool chunk_at(const std::uint8_t* bytes, std::size_t size, std::size_t at, chunk& c) {
  if (size - at < png::CHUNK_OVERHEAD) return false;
  c.length = read_be32(bytes + at);
  c.type = bytes + at + 4;
  c.data = bytes + at + 8;
  return c.length <= png::MAX_CHUNK_LENGTH && c.length <= size - at - png::CHUNK_OVERHEAD;
}

void name_chunk(const chunk& c, png_header& header) {
  std::memcpy(header.chunk, c.type, 4);
  header.chunk[4] = '\0';
}

void count_transparent(png_header& header) {
  for (std::uint32_t k = 0; k < png::MAX_PALETTE_ENTRIES; ++k)
    header.transparent += header.alpha[k] == 0 ? 1 : 0;
}

}  // namespace

bool looks_like_png(const std::uint8_t* bytes, std::size_t size) {
  std::size_t compared = std::min(size, png::SIGNATURE.size());
  return compared > 0 && std::memcmp(bytes, png::SIGNATURE.data(), compared) == 0;
}

refusal read_png_header(const std::uint8_t* bytes, std::size_t size, png_header& header) {
  header = {};
  header.alpha.fill(255);
  if (size < png::SIGNATURE.size()) return refusal::png_cut_short;
  chunk_order order;
  for (std::size_t at = png::SIGNATURE.size();;) {
    chunk c{};
    if (at == size) return refusal::png_no_end;
    if (!chunk_at(bytes, size, at, c)) return refusal::png_cut_short;
    name_chunk(c, header);
    std::uint32_t stored = read_be32(c.data + c.length);
    if (crc32_of(c.type, std::size_t{c.length} + 4) != stored) return refusal::png_bad_crc;
    if (!letters_only(c)) return refusal::png_bad_chunk_type;
    bool first = at == png::SIGNATURE.size();
    if (first != is_type(c, "IHDR"))
      return first ? refusal::png_ihdr_not_first : refusal::png_ihdr_repeated;
    if (is_type(c, "IEND")) {
      if (c.length != 0) return refusal::png_end_with_data;
      break;
    }
    refusal fault = first ? read_ihdr(c, header) : read_chunk(c, order, header);
    if (fault != refusal::none) return fault;
    at += png::CHUNK_OVERHEAD + c.length;
  }
  if (header.color_type == png::PALETTE && !order.palette) return refusal::png_palette_missing;
  if (!order.data_started) return refusal::png_no_data;
  if (!is_true_colour(header)) count_transparent(header);
  return refusal::none;
}

bool is_true_colour(const png_header& header) {
  return header.color_type == png::TRUE_COLOUR || header.color_type == png::GRAYSCALE_ALPHA ||
         header.color_type == png::TRUE_COLOUR_ALPHA;
}

refusal png_stream_refusal(inflate_outcome got) {
  if (got == inflate_outcome::corrupt) return refusal::png_stream_corrupt;
  if (got == inflate_outcome::ended) return refusal::png_stream_short;
  if (got == inflate_outcome::no_memory) return refusal::out_of_memory;
  return refusal::none;
}

std::int32_t png_equivalent_size(const png_header& header) {
  return static_cast<std::int32_t>(bmp::OUTPUT_PIXEL_OFFSET +
                                   std::uint64_t{header.stride} * header.height);
}

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
  return stream > rows ? stream - rows : 0;
}

// Beyond the size limit's room the rows are decoded one at a time instead.
bool whole_stream_fits(const png_header& header) {
  return decodes_whole_stream(header) &&
         static_cast<std::uint64_t>(png_equivalent_size(header)) + whole_stream_slack(header) <=
             static_cast<std::uint64_t>(INT32_MAX);
}

}  // namespace

std::int32_t png_decode_size(const png_header& header) {
  std::uint64_t slack = whole_stream_fits(header) ? whole_stream_slack(header) : 0;
  return static_cast<std::int32_t>(static_cast<std::uint64_t>(png_equivalent_size(header)) + slack);
}

bmp_header png_equivalent_header(const png_header& header) {
  bmp_header equivalent;
  equivalent.info_size = bmp::OUTPUT_INFO_SIZE;
  equivalent.width = static_cast<std::int32_t>(header.width);
  equivalent.height = static_cast<std::int32_t>(header.height);
  equivalent.rows = header.height;
  equivalent.bits = 8;
  equivalent.compression = bmp::COMPRESSION_NONE;
  equivalent.colors_used =
      header.entries < png::MAX_PALETTE_ENTRIES ? static_cast<std::int32_t>(header.entries) : 0;
  equivalent.pixel_offset = bmp::OUTPUT_PIXEL_OFFSET;
  equivalent.palette_offset = bmp::HEADERS_SIZE;
  equivalent.stride = header.stride;
  equivalent.in_place = true;
  return equivalent;
}

namespace {

void write_headers(const png_header& header, std::uint8_t* out) {
  std::memset(out, 0, bmp::OUTPUT_PIXEL_OFFSET);
  bmp_header u = png_equivalent_header(header);
  out[0] = 'B';
  out[1] = 'M';
  write_le32(out + bmp::FILE_SIZE_FIELD, static_cast<std::uint32_t>(png_equivalent_size(header)));
  write_le32(out + bmp::PIXEL_OFFSET_FIELD, bmp::OUTPUT_PIXEL_OFFSET);
  write_le32(out + bmp::INFO_SIZE_FIELD, bmp::OUTPUT_INFO_SIZE);
  write_le32(out + bmp::WIDTH_FIELD, header.width);
  write_le32(out + bmp::HEIGHT_FIELD, header.height);
  write_le16(out + bmp::PLANES_FIELD, 1);
  write_le16(out + bmp::BITS_FIELD, 8);
  write_le32(out + bmp::IMAGE_SIZE_FIELD,
             static_cast<std::uint32_t>(std::uint64_t{u.stride} * u.rows));
  write_le32(out + bmp::X_RESOLUTION_FIELD, header.x_per_metre);
  write_le32(out + bmp::Y_RESOLUTION_FIELD, header.y_per_metre);
  write_le32(out + bmp::COLORS_USED_FIELD, static_cast<std::uint32_t>(u.colors_used));
  std::uint8_t* palette = out + bmp::HEADERS_SIZE;
  for (std::uint32_t k = 0; k < header.entries; ++k) {
    palette[k * bmp::ENTRY_SIZE + bmp::BLUE] = header.palette[k].blue;
    palette[k * bmp::ENTRY_SIZE + bmp::GREEN] = header.palette[k].green;
    palette[k * bmp::ENTRY_SIZE + bmp::RED] = header.palette[k].red;
  }
}

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
  if (depth == 8 && target.pass.dx == 1) {
    std::memcpy(out, row, target.width);
    return;
  }
  const unsigned per_byte = 8u / depth;
  const auto mask = static_cast<std::uint8_t>((1u << depth) - 1);
  for (std::uint32_t i = 0; i < target.width; ++i) {
    unsigned shift = 8 - depth * (i % per_byte + 1);
    out[target.pass.x0 + std::size_t{i} * target.pass.dx] =
        static_cast<std::uint8_t>(row[i / per_byte] >> shift) & mask;
  }
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

// Every pixel is written by the rows or the passes (together they cover the picture): only
// the fill bytes need their zeros, at most three a row, set in place rather than by a call
// a row.
void zero_fill_bytes(const png_header& header, std::uint8_t* rows) {
  for (std::uint32_t y = 0; y < header.height && header.stride > header.width; ++y) {
    std::uint8_t* row = rows + std::size_t{y} * header.stride;
    for (std::size_t x = header.width; x < header.stride; ++x) row[x] = 0;
  }
}

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

}  // namespace

refusal write_png_equivalent(png_header& header, std::uint8_t* equivalent) {
  std::uint8_t* rows = equivalent + bmp::OUTPUT_PIXEL_OFFSET;
  // Sample rows zero their own fill bytes, the whole stream passing through them.
  refusal fault = refusal::none;
  if (is_true_colour(header)) {
    zero_fill_bytes(header, rows);
    fault = number_true_colour_rows(header, rows);
  } else {
    fault = decode_sample_rows(header, rows);
  }
  // After the rows: a true-colour palette comes from its pixels.
  write_headers(header, equivalent);
  return fault;
}
