#include <algorithm>
#include <cstdlib>

#include "bitmap/byte_order.h"
#include "bitmap/work_image.h"

namespace {

std::uint32_t row_count(std::int32_t height) {
  // Negating in 64 bits keeps -2^31 from overflowing.
  return static_cast<std::uint32_t>(std::abs(static_cast<std::int64_t>(height)));
}

// The padded BMP row length of the width, capped by what the file holds per row, so that
// trailing bytes after the rows never widen it.
std::uint32_t row_stride(std::int32_t width, std::uint64_t pixel_bytes, std::uint32_t rows) {
  std::uint64_t padded = (static_cast<std::uint64_t>(width) + 3) / 4 * 4;
  return static_cast<std::uint32_t>(std::min(padded, pixel_bytes / rows));
}

bitmap_fault check_pixel_offset(std::uint32_t offset, std::int32_t file_size) {
  if (offset < bmp::HEADERS_SIZE) return bitmap_fault::pixel_offset_in_headers;
  if (offset > static_cast<std::uint32_t>(file_size)) return bitmap_fault::pixel_offset_past_end;
  return bitmap_fault::none;
}

}  // namespace

bitmap_fault measure_bitmap(work_image& image) {
  const std::uint8_t* header = image.input_bytes;
  image.width = read_le32_signed(header + bmp::WIDTH_FIELD);
  image.height = read_le32_signed(header + bmp::HEIGHT_FIELD);
  image.rows = row_count(image.height);
  image.input_pixels_offset = read_le32(header + bmp::PIXEL_OFFSET_FIELD);
  image.input_palette_offset =
      bmp::FILE_HEADER_SIZE + std::uint64_t{read_le32(header + bmp::INFO_SIZE_FIELD)};

  if (image.height == 0) return bitmap_fault::zero_height;
  if (image.width < 0) return bitmap_fault::negative_width;
  bitmap_fault offset_fault = check_pixel_offset(image.input_pixels_offset, image.file_size);
  if (offset_fault != bitmap_fault::none) return offset_fault;
  if (read_le32_signed(header + bmp::COLORS_USED_FIELD) < 0)
    return bitmap_fault::negative_colors_used;

  std::uint64_t pixel_bytes =
      static_cast<std::uint32_t>(image.file_size) - image.input_pixels_offset;
  image.stride = row_stride(image.width, pixel_bytes, image.rows);
  if (static_cast<std::uint32_t>(image.width) > image.stride)
    return bitmap_fault::width_exceeds_stride;
  return bitmap_fault::none;
}

std::int32_t output_length(const work_image& image) {
  // measure_bitmap keeps stride x rows within the input's pixel bytes, so this fits.
  std::uint64_t pixel_bytes = std::uint64_t{image.stride} * image.rows;
  return static_cast<std::int32_t>(bmp::OUTPUT_PIXEL_OFFSET + pixel_bytes);
}
