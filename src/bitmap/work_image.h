#pragma once
// The per-run record every step works on, in place, and the bitmap steps that build it.

#include <array>
#include <cstdint>

#include "bitmap/bmp_layout.h"

struct work_image {
  // The whole input file. Only the last step writes to it: the pixel transform, which
  // turns its rows into the output's rows in place.
  std::uint8_t* input_bytes = nullptr;
  std::int32_t file_size = 0;
  // The output's headers and palette: OUTPUT_PIXEL_OFFSET bytes.
  std::uint8_t* output_prefix = nullptr;
  // The output's rows, stride x rows bytes: the input's own rows when transformed in place.
  std::uint8_t* output_pixels = nullptr;

  std::int32_t width = 0;
  std::int32_t height = 0;  // as stored: negative for a top-down bitmap
  std::uint32_t rows = 0;   // |height|
  std::uint32_t stride = 0;
  std::uint64_t input_palette_offset = 0;  // may lie past the end of the file
  std::uint32_t input_pixels_offset = 0;
  std::int32_t colors_used = 0;

  int used_count = 0;
  // For every input pixel value k, the value its output pixels hold now: the index clamp
  // followed by every palette swap.
  std::array<std::uint8_t, bmp::PALETTE_ENTRIES> index_map{};
};

// Why an input cannot be processed; each has its own message in the tool.
enum class bitmap_fault {
  none,
  too_short,
  too_large,
  zero_height,
  negative_width,
  pixel_offset_in_headers,
  pixel_offset_past_end,
  negative_colors_used,
  width_exceeds_stride,
  // Forms the tool does not read.
  unsupported_info_size,
  unsupported_bits,
  unsupported_compression,
  compressed_top_down,
  // A decoded form whose 8-bit rows would exceed the size limit.
  decoded_too_large,
};

struct bmp_header;

// Size limits, checked before anything is allocated.

bitmap_fault check_input_size(std::int64_t file_size);

// Reads the header; for an 8-bit uncompressed file also fills width, height, rows, stride,
// colors_used and the input views. Reports a header it cannot use.
bitmap_fault measure_bitmap(work_image& image, bmp_header& header);

// The number of output palette entries in use, catch-all included. May exceed 256.
std::int64_t count_used_colors(const work_image& image);

// 0 while the palette has a free entry for used_count, -1 when it is full.
int check_palette_room(std::int64_t used_count);

// The output's headers and palette: the used entries and the black catch-all.
void assemble_prefix(work_image& image);

// Starts index_map as the index clamp: values from used_count on go to the catch-all.
void clamp_index_map(work_image& image);

std::int32_t output_length(const work_image& image);

// A byte of the input file; bytes past its end read as 0.
std::uint8_t input_byte_or_zero(const work_image& image, std::uint64_t offset);

inline std::uint8_t first_input_pixel(const work_image& image) {
  return input_byte_or_zero(image, image.input_pixels_offset);
}

inline const std::uint8_t* input_pixels(const work_image& image) {
  return image.input_bytes + image.input_pixels_offset;
}

inline std::uint8_t* input_pixels(work_image& image) {
  return image.input_bytes + image.input_pixels_offset;
}
