#pragma once
// Builds 8-bit palette BMP files in memory for the tests and the sample generator.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "image/palette_entry.h"
#include "palette/translation.h"

struct bmp_recipe {
  std::int32_t width = 1;
  std::int32_t height = 1;
  // Rows are stored packed at 1 or 4 bits, RLE-encoded with compression 1 or 2 (at 8 or 4
  // bits), and one byte a pixel otherwise, whatever the header says.
  std::uint16_t bits = 8;
  std::uint32_t compression = 0;
  std::int32_t colors_used = 0;
  std::uint32_t info_size = 40;  // 12: the core header, 3-byte palette entries
  // Steers the RLE encoder's choice among the equivalent ways to store the rows.
  std::uint32_t rle_seed = 0;
  std::vector<rgb> palette;
  std::uint8_t reserved = 0;  // the fourth byte of every palette entry
  // Pixel rows in stored order, each width bytes; missing rows or bytes are 0.
  std::vector<std::vector<std::uint8_t>> rows;
  std::size_t trailing_bytes = 0;
  std::optional<std::uint32_t> pixel_offset;  // default: right after the palette
  std::optional<std::uint32_t> file_size_field;
};

// A true-colour bitmap: each pixel the number its bits store (blue in the low byte at 24
// bits), rows in stored order; bitfields masks after a 40-byte header or in a larger one.
struct true_colour_bmp {
  std::int32_t width = 1;
  std::int32_t height = 1;  // negative: top-down
  std::uint16_t bits = 24;
  std::uint32_t compression = 0;
  std::uint32_t info_size = 40;
  std::array<std::uint32_t, 4> masks{};  // red, green, blue, alpha: written for bitfields
  std::vector<std::vector<std::uint32_t>> rows;
  std::size_t cut_by = 0;  // bytes dropped from the end of the file
};

std::vector<std::uint8_t> build_true_colour_bmp(const true_colour_bmp& recipe);

// The padded BMP row length of a width.
std::uint32_t padded_stride(std::int32_t width);

std::vector<std::uint8_t> build_bmp(const bmp_recipe& recipe);

// The rows as an RLE stream (RLE4 when nibbles), ending with the end-of-bitmap marker.
// The seed picks among runs, literal runs, deltas over background, early line ends and
// runs that spill past the row's end: all decode to the same picture.
std::vector<std::uint8_t> encode_rle(const std::vector<std::vector<std::uint8_t>>& rows,
                                     std::int32_t width, std::uint32_t row_count, bool nibbles,
                                     std::uint32_t seed);

// An image whose size follows its rows (all of one width), with the given palette.
bmp_recipe image_with(std::vector<rgb> palette, std::int32_t colors_used,
                      std::vector<std::vector<std::uint8_t>> rows);

// The file as compaction takes it, built literally: its 8-bit form (the equivalent of a
// decoded form) with a 40-byte header, the palette of the values its pixels use in
// ascending order, each pixel renumbered by rank, fill bytes 0 and colours used |S|. A file
// the header check refuses comes back unchanged.
std::vector<std::uint8_t> compacted_file(const std::vector<std::uint8_t>& file);

// The same as the 8-bit form a reader takes it in, with the alpha of each compacted entry
// the alpha of the file's entry for its value.
eight_bit_form compacted_form(const std::vector<std::uint8_t>& file);

// A picture drawn in a full 256-colour palette, as games and editors store them: every
// entry counts as used, however few of them the pixels use.
bmp_recipe full_palette_image(std::vector<std::vector<std::uint8_t>> rows);

// A palette of n distinct colours with a component other than 0 and 255 in every entry.
std::vector<rgb> distinct_palette(int n);
