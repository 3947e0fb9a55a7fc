#include "png_true_colour.h"

#include <utility>
#include <vector>

#include "byte_order.h"
#include "colour_table.h"
#include "png_layout.h"
#include "png_lines.h"

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

refusal number_pass(inflate_stream& stream, const picture& into, const png::stored_pass& pass) {
  std::size_t pixel_bytes = channels(into.header.color_type);
  return take_lines(stream, pass.lines, std::size_t{pass.width} * pixel_bytes, pixel_bytes,
                    [&](std::uint32_t line, const std::uint8_t* samples) {
                      return number_line(into, pass, line, samples) ? refusal::none
                                                                    : refusal::too_many_colours;
                    });
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
