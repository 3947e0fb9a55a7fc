#pragma once
// The chunks of a PNG (png_layout.h), read into the record every later step works from:
// the signature, then chunks of a length, a four-letter type, the data and a CRC over the
// type and data. IHDR comes first and once; PLTE once, before the first IDAT, never in a
// gray picture; tRNS and pHYs once each, before the first IDAT, a palette picture's tRNS
// after its PLTE; the IDAT chunks one after another; IEND last, empty. A critical chunk
// the tool does not know is refused; other ancillary chunks are skipped, and so is
// whatever follows IEND.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/compression.h"
#include "image/palette_entry.h"
#include "image/refusal.h"

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

// Whether the bytes begin as a PNG does: the whole signature, or as much of it as there is.
bool looks_like_png(const std::uint8_t* bytes, std::size_t size);

// Reads and checks every chunk of a file that looks like a PNG, and that U's size stays
// within the input size limit. Fills in as much of the header as it read.
refusal read_png_header(const std::uint8_t* bytes, std::size_t size, png_header& header);
