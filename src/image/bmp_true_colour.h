#pragma once
// True-colour bitmaps (16, 24 and 32 bits a pixel, bmp_header.h) into U's rows, numbered
// straight from the file's rows in their stored order, which is U's own.

#include <array>
#include <cstdint>

#include "image/bmp_header.h"

// Writes U's pixel rows and palette (`palette`: 1024 bytes) and the alpha of each entry;
// fills in header.colours, and refuses more than 256 colours.
refusal number_bitmap_rows(const std::uint8_t* bytes, std::uint64_t size, bmp_header& header,
                           std::uint8_t* pixels, std::uint8_t* palette,
                           std::array<std::uint8_t, bmp::PALETTE_ENTRIES>& alpha);
