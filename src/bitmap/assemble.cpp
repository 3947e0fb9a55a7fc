#include <algorithm>
#include <cstring>

#include "bitmap/byte_order.h"
#include "bitmap/work_image.h"

namespace {

void copy_headers(work_image& image) {
  std::memcpy(image.output_bytes, image.input_bytes, bmp::HEADERS_SIZE);
  write_le32(image.output_bytes + bmp::FILE_SIZE_FIELD,
             static_cast<std::uint32_t>(output_length(image)));
  write_le32(image.output_bytes + bmp::PIXEL_OFFSET_FIELD, bmp::OUTPUT_PIXEL_OFFSET);
  write_le32(image.output_bytes + bmp::INFO_SIZE_FIELD, bmp::OUTPUT_INFO_SIZE);
  write_le32(image.output_bytes + bmp::COLORS_USED_FIELD, bmp::OUTPUT_COLORS_USED);
}

// Entries 0 .. used_count - 2, reserved bytes included; the next one stays black as the
// catch-all. The input palette may run past the end of the file.
void copy_used_palette(work_image& image) {
  std::uint8_t* palette = image.output_bytes + bmp::HEADERS_SIZE;
  std::memset(palette, 0, bmp::PALETTE_SIZE);
  std::size_t length = static_cast<std::size_t>(image.used_count - 1) * bmp::ENTRY_SIZE;
  for (std::size_t i = 0; i < length; ++i)
    palette[i] = input_byte_or_zero(image, image.input_palette_offset + i);
}

void copy_pixel_rows(work_image& image) {
  std::uint8_t* out = output_pixels(image);
  std::memcpy(out, input_pixels(image), std::size_t{image.stride} * image.rows);
  std::size_t width = static_cast<std::size_t>(image.width);
  for (std::size_t row = 0; row < image.rows; ++row) {
    std::uint8_t* line = out + row * image.stride;
    std::fill(line + width, line + image.stride, std::uint8_t{0});
  }
}

}  // namespace

void assemble_output(work_image& image) {
  copy_headers(image);
  copy_used_palette(image);
  copy_pixel_rows(image);
}

void normalize_indices(work_image& image) {
  auto catch_all = static_cast<std::uint8_t>(image.used_count - 1);
  for (int k = 0; k < bmp::PALETTE_ENTRIES; ++k) {
    image.index_map[static_cast<std::size_t>(k)] =
        k < image.used_count ? static_cast<std::uint8_t>(k) : catch_all;
  }
  std::uint8_t* out = output_pixels(image);
  std::size_t width = static_cast<std::size_t>(image.width);
  for (std::size_t row = 0; row < image.rows; ++row) {
    std::uint8_t* line = out + row * image.stride;
    for (std::size_t col = 0; col < width; ++col) line[col] = std::min(line[col], catch_all);
  }
}
