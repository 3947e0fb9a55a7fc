#include "bitmap/byte_order.h"
#include "bitmap/work_image.h"

bitmap_fault check_input_size(std::int64_t file_size) {
  if (file_size < static_cast<std::int64_t>(bmp::HEADERS_SIZE)) return bitmap_fault::too_short;
  if (file_size > bmp::MAX_INPUT_SIZE) return bitmap_fault::too_large;
  return bitmap_fault::none;
}

bool validate_bitmap(const work_image& image) {
  if (read_le32(image.input_bytes + bmp::COMPRESSION_FIELD) != 0) return false;
  return read_le16(image.input_bytes + bmp::BITS_FIELD) == 8;
}

std::uint8_t input_byte_or_zero(const work_image& image, std::uint64_t offset) {
  if (offset >= static_cast<std::uint64_t>(image.file_size)) return 0;
  return image.input_bytes[offset];
}
