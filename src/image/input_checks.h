#pragma once
// The input's sizes and the reads of its bytes that every step shares.

#include <cstdint>

#include "image/work_image.h"

// The size limit, checked before anything is read or allocated.
refusal check_input_size(std::int64_t file_size);

// A byte of the input file; bytes past its end read as 0.
std::uint8_t input_byte_or_zero(const work_image& image, std::uint64_t offset);

// Byte `offset` (below PALETTE_SIZE) of the input palette as the translation reads it.
std::uint8_t input_palette_byte(const work_image& image, std::size_t offset);

std::int32_t output_length(const work_image& image);

// The alpha of input palette entry k as the translation reads it.
inline std::uint8_t input_alpha_of(const work_image& image, std::size_t k) {
  return image.compaction.active ? image.compaction.alpha[k] : image.input_alpha[k];
}

inline std::uint8_t first_input_pixel(const work_image& image) {
  if (image.compaction.active) return image.compaction.first_pixel;
  return input_byte_or_zero(image, image.header.pixel_offset);
}
