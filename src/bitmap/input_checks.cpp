#include "bitmap/bmp_header.h"
#include "bitmap/work_image.h"

// The shortest file that can hold any header is one with the 12-byte core header; the
// header check asks for 54 bytes of every other kind.
bitmap_fault check_input_size(std::int64_t file_size) {
  if (file_size < static_cast<std::int64_t>(bmp::CORE_HEADERS_SIZE)) return bitmap_fault::too_short;
  if (file_size > bmp::MAX_INPUT_SIZE) return bitmap_fault::too_large;
  return bitmap_fault::none;
}

std::uint8_t input_byte_or_zero(const work_image& image, std::uint64_t offset) {
  if (offset >= static_cast<std::uint64_t>(image.file_size)) return 0;
  return image.input_bytes[offset];
}
