#pragma once
// An output palette as a picture the report page shows: its entries in a row, one pixel
// each, as a 24-bit bitmap.

#include <array>
#include <cstdint>
#include <vector>

#include "image/colour.h"

// The colours of 256 palette entries stored from `entries` on (blue, green, red, reserved).
std::array<rgb, 256> palette_colors(const std::uint8_t* entries);

// Entries 0 .. count - 1 as a count x 1 24-bit bitmap.
std::vector<std::uint8_t> palette_strip_bmp(const std::array<rgb, 256>& palette, int count);
