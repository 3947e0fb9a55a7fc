#pragma once
// True-colour bitmaps (16, 24 and 32 bits a pixel, bmp_header.h) into U's rows, numbered
// straight from the file's rows in their stored order, which is U's own.

#include <array>
#include <cstdint>

#include "image/bmp_header.h"
#include "image/file_part.h"

// A file as its rows are numbered: held whole in memory, or only its head, with its rows
// read a band at a time so that a big picture never needs the whole file in memory.
struct stored_file {
  const std::uint8_t* bytes = nullptr;  // the whole file, or its head where read_part is set
  std::uint64_t size = 0;               // of the whole file
  const read_file_part* read_part = nullptr;
};

// Writes U's pixel rows and palette (`palette`: 1024 bytes) and the alpha of each entry;
// fills in header.colours, and refuses more than 256 colours, or a read that failed.
refusal number_bitmap_rows(stored_file file, bmp_header& header, std::uint8_t* pixels,
                           std::uint8_t* palette,
                           std::array<std::uint8_t, bmp::PALETTE_ENTRIES>& alpha);
