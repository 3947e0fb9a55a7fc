#pragma once
// What a PNG's chunks say (png_chunks.h reads them): its geometry, its colours and where
// its compressed rows lie.

#include <array>
#include <cstdint>
#include <vector>

#include "image/byte_span.h"
#include "image/colour.h"

struct png_header {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint8_t depth = 0;
  std::uint8_t color_type = 0;
  std::uint8_t interlace = 0;
  std::uint32_t entries = 0;              // n: PLTE entries, or 2^depth gray levels
  std::array<rgb, 256> palette{};         // entries 0 .. n - 1
  std::array<std::uint8_t, 256> alpha{};  // of every entry
  std::uint32_t transparent = 0;          // entries whose alpha is 0
  std::uint32_t x_per_metre = 0;          // from pHYs, as U takes them
  std::uint32_t y_per_metre = 0;
  bool colour_key = false;             // a true-colour tRNS: the clear colour
  std::array<std::uint16_t, 3> key{};  // its red, green and blue samples
  std::uint32_t colours = 0;    // of a true-colour picture: its distinct colours, 257 for more
  std::uint32_t stride = 0;     // of U's rows
  std::vector<byte_span> data;  // the IDAT chunks' data, in order
  char chunk[5] = "";           // the chunk a refusal names
};

// What a colour type stands for, for a message: "palette", "true colour with alpha" ...
const char* png_color_type_name(std::uint8_t color_type);

// Colour types 2, 4 and 6: colours stored whole, which U numbers.
bool is_true_colour(const png_header& header);
