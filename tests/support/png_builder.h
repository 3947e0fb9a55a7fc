#pragma once
// Builds PNG files in memory for the tests, as any encoder may write them: every filter
// type, the image data split over IDAT chunks of any size, interlaced or not, at any
// depth; and, for the refusals, chunks in any order, with any content and CRC.

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "image/palette_entry.h"

struct png_recipe {
  std::uint32_t width = 1;
  std::uint32_t height = 1;
  std::uint8_t depth = 8;
  std::uint8_t color_type = 3;  // 0 grayscale, 2 RGB, 3 palette, 4 gray and alpha, 6 RGBA
  std::uint8_t interlace = 0;
  std::vector<rgb> palette;                           // the PLTE chunk; none where empty
  std::vector<std::uint8_t> transparency;             // the tRNS chunk's bytes; none where empty
  std::optional<std::vector<std::uint8_t>> physical;  // the pHYs chunk's bytes
  // Samples, top row first, each `width` x channels of them (a pixel's samples together);
  // missing ones are 0.
  std::vector<std::vector<std::uint8_t>> rows;
  // The filter type of each row in turn, from the first row of each pass (repeated).
  std::vector<std::uint8_t> filters = {0};
  std::size_t idat_piece = 0;  // the stream split into IDAT chunks of this size; 0: one
  int level = 6;
};

struct png_chunk {
  std::string type;
  std::vector<std::uint8_t> data;
  bool bad_crc = false;
};

// The chunks of the recipe's file: IHDR, PLTE, tRNS, pHYs, the IDATs, IEND.
std::vector<png_chunk> png_chunks(const png_recipe& recipe);

// The signature and the chunks, each with its length and CRC.
std::vector<std::uint8_t> assemble_png(const std::vector<png_chunk>& chunks);

std::vector<std::uint8_t> build_png(const png_recipe& recipe);

// The filtered rows (every pass of an interlaced picture in turn), before deflate.
std::vector<std::uint8_t> filtered_rows(const png_recipe& recipe);

// A zlib stream of the bytes.
std::vector<std::uint8_t> zlib_stream(const std::vector<std::uint8_t>& bytes, int level = 6);

// The first `length` bytes a zlib stream inflates to, as zlib reads it with its checksum
// (empty where zlib refuses the stream).
std::vector<std::uint8_t> zlib_inflated(const std::vector<std::uint8_t>& stream,
                                        std::size_t length);

// The recipe's 8-bit equivalent U, built straight from the rules (png_read.h), and the
// alpha of each palette entry.
struct png_equivalent {
  std::vector<std::uint8_t> bytes;
  std::vector<std::uint8_t> alpha;  // 256 entries
  bool too_many = false;            // a true-colour picture of more than 256 colours
};

// The samples a pixel of the colour type has.
std::uint32_t png_channels(std::uint8_t color_type);

// Whether the file is an 8-bit grayscale PNG, which the translation always compacts.
bool is_eight_bit_gray_png(const std::vector<std::uint8_t>& file);
png_equivalent expected_equivalent(const png_recipe& recipe);

// A random palette or grayscale picture at any depth, interlaced or not, with random
// filters, IDAT pieces, tRNS and pHYs, now and then a sample past the palette; or a
// true-colour one of a few colours or of about 256, its clear pixels of several colours.
png_recipe random_png_recipe(std::mt19937& random);

// An RGBA strip of `colours` distinct colours on a clear background, 2 rows high: the
// background row first (so the lower-left pixel is one of the colours), none of them a
// marker colour.
png_recipe rgba_strip(int colours);

// Sets every chunk's CRC right, for fuzzers whose mutations would break them: the file
// is left as it is past a chunk that runs out of it.
void fix_png_crcs(std::vector<std::uint8_t>& file);
