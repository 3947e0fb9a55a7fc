#pragma once
// Reads the PNG screenshots a headless browser takes, for the report page's tests, through
// the reference decoder (spng_reference.h).

#include <cstdint>
#include <string>
#include <vector>

#include "image/palette_entry.h"

struct png_picture {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<rgb> pixels;  // row by row from the top
  rgb at(std::uint32_t x, std::uint32_t y) const { return pixels[std::size_t{y} * width + x]; }
};

// False for a file that is not such a PNG.
bool read_png(const std::string& path, png_picture& picture);
