#include "bmp_true_colour.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "byte_order.h"
#include "colour_table.h"

namespace {

constexpr std::uint32_t OPAQUE = 0xFF000000;

// A big picture's rows are read from the file this much at a time: small enough to stay
// in the caches, big enough that each read costs little.
constexpr std::uint64_t BAND = std::uint64_t{1} << 20;
// Rows longer than a band, or cut by the end of the file, are taken this many pixels at a
// time.
constexpr std::uint32_t PIECE = 1024;

// The bytes of a stretch of the file: straight from memory, or from a band read through
// read_part, read again from the stretch asked for whenever it falls outside.
struct band_reader {
  stored_file file;
  std::vector<std::uint8_t> band;
  std::uint64_t band_start = 0;
  std::uint64_t band_length = 0;

  // `length` bytes (at most BAND) from `offset`, all inside the file; null when the read
  // failed.
  const std::uint8_t* bytes_at(std::uint64_t offset, std::uint64_t length) {
    if (file.read_part == nullptr) return file.bytes + offset;
    if (offset >= band_start && offset + length <= band_start + band_length)
      return band.data() + (offset - band_start);
    band.resize(static_cast<std::size_t>(std::min(BAND, file.size)));
    band_start = offset;
    band_length = std::min(BAND, file.size - offset);
    bool read = (*file.read_part)(offset, band.data(), static_cast<std::uint32_t>(band_length));
    return read ? band.data() : nullptr;
  }
};

// A mask's field as an 8-bit component, for every value the field can hold.
struct channel {
  std::uint32_t mask = 0;
  int shift = 0;
  std::array<std::uint8_t, 256> level{};
};

channel channel_of(std::uint32_t mask) {
  channel c;
  c.mask = mask;
  if (mask == 0) return c;
  c.shift = std::countr_zero(mask);
  std::uint32_t top = mask >> c.shift;  // 2^k - 1
  for (std::uint32_t v = 0; v <= top; ++v)
    c.level[v] = static_cast<std::uint8_t>((v * 255 + top / 2) / top);
  return c;
}

struct channels {
  std::array<channel, 4> of;  // red, green, blue, alpha
  std::uint8_t field(std::size_t i, std::uint32_t pixel) const {
    return of[i].level[(pixel & of[i].mask) >> of[i].shift];
  }
  std::uint32_t rgba(std::uint32_t pixel) const {
    std::uint32_t alpha = of[3].mask == 0 ? 255 : field(3, pixel);
    return field(0, pixel) | (std::uint32_t{field(1, pixel)} << 8) |
           (std::uint32_t{field(2, pixel)} << 16) | (alpha << 24);
  }
};

// `width` pixels of a stored row from `row` on.
bool number_stored_row(colour_table& table, const bmp_header& header, const channels& masks,
                       const std::uint8_t* row, std::uint32_t width, std::uint8_t* out,
                       std::uint64_t at) {
  switch (header.bits) {
    case 16:
      return number_row<2>(table, row, width, out, 1, at, 1,
                           [&masks](const std::uint8_t* p) { return masks.rgba(read_le16(p)); });
    case 24:
      return number_row<3>(table, row, width, out, 1, at, 1, [](const std::uint8_t* p) {
        return p[2] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[0]} << 16) | OPAQUE;
      });
    default:
      return number_row<4>(table, row, width, out, 1, at, 1,
                           [&masks](const std::uint8_t* p) { return masks.rgba(read_le32(p)); });
  }
}

enum class numbered { yes, too_many_colours, unreadable };

// The piece from `from` that the end of the file cuts, its missing bytes 0; null when the
// read failed.
const std::uint8_t* cut_piece(band_reader& reader, std::uint64_t from,
                              std::uint8_t (&piece)[PIECE * 4]) {
  std::memset(piece, 0, sizeof piece);
  const std::uint64_t size = reader.file.size;
  if (from >= size) return piece;
  const std::uint8_t* held = reader.bytes_at(from, size - from);
  if (held == nullptr) return nullptr;
  std::memcpy(piece, held, static_cast<std::size_t>(size - from));
  return piece;
}

// A row a piece at a time: a row longer than a band, or one the end of the file cuts, whose
// missing bytes read as 0. No row-sized buffer is needed for a header that claims a huge
// width.
numbered number_row_in_pieces(colour_table& table, const bmp_header& header, const channels& masks,
                              band_reader& reader, std::uint64_t start, std::uint8_t* out,
                              std::uint64_t at) {
  std::uint8_t piece[PIECE * 4];
  const std::uint64_t pixel_bytes = header.bits / 8u;
  auto width = static_cast<std::uint64_t>(header.width);
  for (std::uint64_t x = 0; x < width; x += PIECE) {
    auto count = static_cast<std::uint32_t>(std::min<std::uint64_t>(PIECE, width - x));
    std::uint64_t from = start + x * pixel_bytes;
    std::uint64_t length = count * pixel_bytes;
    const std::uint8_t* pixels = from + length <= reader.file.size ? reader.bytes_at(from, length)
                                                                   : cut_piece(reader, from, piece);
    if (pixels == nullptr) return numbered::unreadable;
    if (!number_stored_row(table, header, masks, pixels, count, out + x, at + x))
      return numbered::too_many_colours;
  }
  return numbered::yes;
}

numbered number_whole_row(colour_table& table, const bmp_header& header, const channels& masks,
                          band_reader& reader, std::uint64_t start, std::uint64_t row_length,
                          std::uint8_t* out, std::uint64_t at) {
  const std::uint8_t* row = reader.bytes_at(start, row_length);
  if (row == nullptr) return numbered::unreadable;
  auto width = static_cast<std::uint32_t>(header.width);
  return number_stored_row(table, header, masks, row, width, out, at) ? numbered::yes
                                                                      : numbered::too_many_colours;
}

refusal number_rows(stored_file file, const bmp_header& header, std::uint8_t* pixels,
                    colour_table& table) {
  channels masks{{channel_of(header.masks[0]), channel_of(header.masks[1]),
                  channel_of(header.masks[2]), channel_of(header.masks[3])}};
  band_reader reader{file, {}, 0, 0};
  auto width = static_cast<std::uint32_t>(header.width);
  std::uint64_t row_length = (std::uint64_t{width} * header.bits + 31) / 32 * 4;
  for (std::uint64_t r = 0; r < header.rows; ++r) {
    std::uint64_t start = header.pixel_offset + r * row_length;
    std::uint8_t* out = pixels + r * header.stride;
    std::uint64_t at = r * width;
    bool whole = start + row_length <= file.size && row_length <= BAND;
    numbered done = whole
                        ? number_whole_row(table, header, masks, reader, start, row_length, out, at)
                        : number_row_in_pieces(table, header, masks, reader, start, out, at);
    if (done == numbered::too_many_colours) return refusal::too_many_colours;
    if (done == numbered::unreadable) return refusal::read_failed;
  }
  return refusal::none;
}

}  // namespace

refusal number_bitmap_rows(stored_file file, bmp_header& header, std::uint8_t* pixels,
                           std::uint8_t* palette,
                           std::array<std::uint8_t, bmp::PALETTE_ENTRIES>& alpha) {
  colour_table table;
  refusal fault = header.width == 0 ? refusal::none : number_rows(file, header, pixels, table);
  header.colours = colours_counted(table);
  if (fault != refusal::none) return fault;
  // Stored order is U's order: the numbers are already U's palette indices.
  std::array<std::uint8_t, bmp::PALETTE_ENTRIES> to{};
  settle_order(table, to);
  numbered_palette colours = palette_in_order(table, to);
  for (std::size_t k = 0; k < static_cast<std::size_t>(table.count); ++k) {
    std::uint8_t* entry = palette + k * bmp::ENTRY_SIZE;
    entry[bmp::RED] = colours.colour[k].red;
    entry[bmp::GREEN] = colours.colour[k].green;
    entry[bmp::BLUE] = colours.colour[k].blue;
    alpha[k] = colours.alpha[k];
  }
  return refusal::none;
}
