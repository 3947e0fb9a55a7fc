#pragma once
// The two headers in front of every bitmap the tool makes (the 8-bit equivalent U, the
// output, the report page's palette strip): the 14-byte file header and the 40-byte info
// header of bmp_layout.h, every field written, the signature "BM" first. One writer for
// all of them, so that no maker forgets a field another one sets.

#include <cstdint>

struct bitmap_fields {
  std::uint32_t file_size = 0;
  std::uint32_t reserved = 0;  // the file header's two reserved fields, as one value
  std::uint32_t pixel_offset = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;  // negative: rows stored top-down
  std::uint16_t planes = 1;
  std::uint16_t bits = 8;
  std::uint32_t compression = 0;
  std::uint32_t image_size = 0;
  std::uint32_t x_per_metre = 0;
  std::uint32_t y_per_metre = 0;
  std::uint32_t colors_used = 0;
  std::uint32_t colors_important = 0;
};

// Writes both headers into the first 54 bytes of `out`.
void write_bitmap_headers(const bitmap_fields& fields, std::uint8_t* out);

// The fields of 54 bytes of headers with a 40-byte info header, as written.
bitmap_fields read_bitmap_fields(const std::uint8_t* headers);
