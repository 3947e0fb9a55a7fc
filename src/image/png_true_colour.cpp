#include "image/png_true_colour.h"

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "image/byte_order.h"
#include "image/colour_table.h"
#include "image/png_layout.h"
#include "image/png_unfilter.h"

namespace {

constexpr std::uint32_t OPAQUE = 0xFF000000;

std::size_t channels(std::uint8_t color_type) {
  switch (color_type) {
    case png::TRUE_COLOUR:
      return 3;
    case png::GRAYSCALE_ALPHA:
      return 2;
    default:
      return 4;
  }
}

struct picture {
  const png_header& header;
  std::uint8_t* rows;
  colour_table& table;
};

bool number_line(const picture& into, const png::stored_pass& pass, std::uint32_t line,
                 const std::uint8_t* samples) {
  const png_header& header = into.header;
  std::uint64_t u_row = header.height - 1 - (pass.pass.y0 + std::uint64_t{line} * pass.pass.dy);
  std::uint8_t* out = into.rows + u_row * header.stride + pass.pass.x0;
  std::uint64_t at = u_row * header.width + pass.pass.x0;
  const std::uint32_t dx = pass.pass.dx;
  switch (header.color_type) {
    case png::TRUE_COLOUR: {
      const bool keyed = header.colour_key;
      const std::array<std::uint16_t, 3> key = header.key;
      return number_row<3>(
          into.table, samples, pass.width, out, dx, at, dx, [keyed, key](const std::uint8_t* p) {
            bool clear = keyed && p[0] == key[0] && p[1] == key[1] && p[2] == key[2];
            std::uint32_t rgb = p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16);
            return clear ? rgb : rgb | OPAQUE;
          });
    }
    case png::GRAYSCALE_ALPHA:
      return number_row<2>(into.table, samples, pass.width, out, dx, at, dx,
                           [](const std::uint8_t* p) {
                             std::uint32_t gray = p[0];
                             return gray | (gray << 8) | (gray << 16) | (std::uint32_t{p[1]} << 24);
                           });
    default:
      return number_row<4>(into.table, samples, pass.width, out, dx, at, dx,
                           [](const std::uint8_t* p) { return read_le32(p); });
  }
}

// A band of a pass's lines, each its filter byte first, and the line above the band.
bool take_lines(std::vector<std::uint8_t>& band, std::vector<std::uint8_t>& above,
                std::size_t band_length, std::size_t line_length) {
  try {
    band.assign(band_length, 0);
    above.assign(line_length, 0);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// Lines are inflated a band at a time: zlib copies what each call gives into its window,
// which a line at a time would cost every byte once more.
constexpr std::size_t BAND_BYTES = std::size_t{1} << 20;

refusal number_pass(inflate_stream& stream, const picture& into, const png::stored_pass& pass) {
  std::size_t pixel_bytes = channels(into.header.color_type);
  std::size_t length = std::size_t{pass.width} * pixel_bytes;
  std::size_t line_length = 1 + length;
  std::size_t band_lines = std::clamp<std::size_t>(BAND_BYTES / line_length, 1, pass.lines);
  std::vector<std::uint8_t> band;
  std::vector<std::uint8_t> above;
  if (!take_lines(band, above, band_lines * line_length, line_length))
    return refusal::out_of_memory;
  for (std::uint32_t first = 0; first < pass.lines;
       first += static_cast<std::uint32_t>(band_lines)) {
    std::size_t lines = std::min<std::size_t>(band_lines, pass.lines - first);
    std::size_t produced = 0;
    refusal fault =
        png_stream_refusal(inflate_next(stream, band.data(), lines * line_length, produced));
    // The whole lines that came out are taken before a short or corrupt stream is refused,
    // as a line at a time would.
    std::size_t whole = fault == refusal::none ? lines : produced / line_length;
    for (std::size_t k = 0; k < whole; ++k) {
      std::uint8_t* line = band.data() + k * line_length;
      const std::uint8_t* prior = k == 0 ? above.data() : line - line_length;
      if (!unfilter(line[0], line + 1, prior + 1, length, pixel_bytes))
        return refusal::png_bad_filter;
      if (!number_line(into, pass, first + static_cast<std::uint32_t>(k), line + 1))
        return refusal::too_many_colours;
    }
    if (fault != refusal::none) return fault;
    std::copy_n(band.data() + (lines - 1) * line_length, line_length, above.data());
  }
  return refusal::none;
}

// Each pass's pixels land from (x0, y0) every dx columns and dy rows of the picture, whose
// last row is U's first.
refusal number_passes(const picture& into) {
  const png_header& header = into.header;
  inflate_stream stream = start_inflate(header.data);
  for (const png::stored_pass& pass :
       png::passes_of(header.width, header.height, header.interlace)) {
    refusal fault = number_pass(stream, into, pass);
    if (fault != refusal::none) return fault;
  }
  return refusal::none;
}

// The numbers were handed out top row first; U's order starts from the bottom row.
void renumber(const png_header& header, std::uint8_t* rows,
              const std::array<std::uint8_t, bmp::PALETTE_ENTRIES>& to) {
  for (std::uint64_t y = 0; y < header.height; ++y) {
    std::uint8_t* row = rows + y * header.stride;
    for (std::uint32_t x = 0; x < header.width; ++x) row[x] = to[row[x]];
  }
}

void take_palette(const colour_table& table,
                  const std::array<std::uint8_t, bmp::PALETTE_ENTRIES>& to, png_header& header) {
  numbered_palette palette = palette_in_order(table, to);
  header.entries = static_cast<std::uint32_t>(table.count);
  header.transparent = 0;
  for (std::uint32_t k = 0; k < header.entries; ++k) {
    header.palette[k] = palette.colour[k];
    header.alpha[k] = palette.alpha[k];
    header.transparent += header.alpha[k] == 0 ? 1 : 0;
  }
}

}  // namespace

refusal number_true_colour_rows(png_header& header, std::uint8_t* rows) {
  colour_table table;
  refusal fault = number_passes({header, rows, table});
  header.colours = colours_counted(table);
  if (fault != refusal::none) return fault;
  std::array<std::uint8_t, bmp::PALETTE_ENTRIES> to{};
  if (settle_order(table, to)) renumber(header, rows, to);
  take_palette(table, to, header);
  return refusal::none;
}
