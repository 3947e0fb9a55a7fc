#include "image/palette_strip.h"

#include "bitmap_headers.h"
#include "image/bmp_layout.h"

std::vector<std::uint8_t> palette_strip_bmp(const std::array<rgb, 256>& palette, int count) {
  auto row = static_cast<std::size_t>(count) * 3;
  std::size_t stride = (row + 3) / 4 * 4;
  std::vector<std::uint8_t> bytes(bmp::HEADERS_SIZE + stride, 0);
  bitmap_fields fields;
  fields.file_size = static_cast<std::uint32_t>(bytes.size());
  fields.pixel_offset = bmp::HEADERS_SIZE;
  fields.width = count;
  fields.height = 1;
  fields.bits = 24;
  write_bitmap_headers(fields, bytes.data());
  for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
    std::uint8_t* pixel = bytes.data() + bmp::HEADERS_SIZE + 3 * i;
    pixel[0] = palette[i].blue;
    pixel[1] = palette[i].green;
    pixel[2] = palette[i].red;
  }
  return bytes;
}

std::array<rgb, 256> palette_colors(const std::uint8_t* entries) {
  std::array<rgb, 256> palette;
  for (std::size_t i = 0; i < palette.size(); ++i) {
    const std::uint8_t* entry = entries + i * bmp::ENTRY_SIZE;
    palette[i] = {entry[bmp::RED], entry[bmp::GREEN], entry[bmp::BLUE]};
  }
  return palette;
}
