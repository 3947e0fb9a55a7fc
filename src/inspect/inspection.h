#pragma once
// What palette-inspect finds in a bitmap: the header fields the translation reads, what the
// translation would make of them, and the palette with the use and role of every entry.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "bitmap/palette_entry.h"
#include "bitmap/work_image.h"

struct palette_row {
  rgb color;
  std::uint64_t pixels = 0;
  std::string role;  // empty, or what a fixed slot or gray ramp entry stands for
};

struct inspection {
  std::int64_t file_size = 0;
  bool has_headers = false;  // false: too short or too large, nothing else is filled in
  std::uint32_t size_field = 0;
  std::uint32_t pixel_offset = 0;
  std::uint32_t info_size = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint16_t bits = 0;
  std::uint32_t compression = 0;
  std::int32_t colors_used = 0;

  bool supported = false;  // an uncompressed 8-bit bitmap
  bitmap_fault fault = bitmap_fault::none;

  // Filled in when supported and fault is none:
  std::uint32_t stride = 0;
  std::uint32_t rows = 0;
  std::int64_t used_count = 0;
  int first_pixel = 0;
  std::array<palette_row, bmp::PALETTE_ENTRIES> palette{};

  bool usable() const { return has_headers && supported && fault == bitmap_fault::none; }
};

// Reads only; the bytes are the whole file.
inspection inspect_bitmap(const std::vector<std::uint8_t>& file);
