#include "input_checks.h"

// Only the size can be judged before a byte is read: how short is too short depends on the
// form, which the first bytes tell.
refusal check_input_size(std::int64_t file_size) {
  // Said as such, whatever the name: neither form's own complaint fits nothing at all.
  if (file_size == 0) return refusal::empty;
  if (file_size > bmp::MAX_INPUT_SIZE) return refusal::too_large;
  return refusal::none;
}

std::uint8_t input_byte_or_zero(const work_image& image, std::uint64_t offset) {
  if (offset >= static_cast<std::uint64_t>(image.file_size)) return 0;
  return image.input_bytes[offset];
}

std::uint8_t input_palette_byte(const work_image& image, std::size_t offset) {
  if (image.compaction.active) return image.compaction.palette[offset];
  return input_byte_or_zero(image, image.header.palette_offset + offset);
}

std::int32_t output_length(const work_image& image) {
  // The header checks keep stride x rows within the input's pixel bytes, so this fits.
  std::uint64_t pixel_bytes = std::uint64_t{image.header.stride} * image.header.rows;
  return static_cast<std::int32_t>(bmp::OUTPUT_PIXEL_OFFSET + pixel_bytes);
}
