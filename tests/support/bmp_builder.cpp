#include "bmp_builder.h"

#include <cstdlib>
#include <utility>

#include "bitmap/byte_order.h"

namespace {

void put16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = static_cast<std::uint8_t>(value);
  bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  write_le32(bytes.data() + at, value);
}

}  // namespace

std::uint32_t padded_stride(std::int32_t width) {
  return static_cast<std::uint32_t>((static_cast<std::int64_t>(width) + 3) / 4 * 4);
}

std::vector<std::uint8_t> build_bmp(const bmp_recipe& recipe) {
  std::size_t palette_at = 14 + recipe.info_size;
  std::size_t pixels_at = palette_at + recipe.palette.size() * 4;
  std::size_t stride = padded_stride(recipe.width);
  std::size_t rows = static_cast<std::size_t>(std::llabs(recipe.height));
  std::vector<std::uint8_t> bytes(
      std::max<std::size_t>(pixels_at + stride * rows + recipe.trailing_bytes, 54));

  bytes[0] = 'B';
  bytes[1] = 'M';
  put32(bytes, 2, recipe.file_size_field.value_or(static_cast<std::uint32_t>(bytes.size())));
  put32(bytes, 10, recipe.pixel_offset.value_or(static_cast<std::uint32_t>(pixels_at)));
  put32(bytes, 14, recipe.info_size);
  put32(bytes, 18, static_cast<std::uint32_t>(recipe.width));
  put32(bytes, 22, static_cast<std::uint32_t>(recipe.height));
  put16(bytes, 26, 1);
  put16(bytes, 28, recipe.bits);
  put32(bytes, 30, recipe.compression);
  put32(bytes, 34, static_cast<std::uint32_t>(stride * rows));
  put32(bytes, 38, 2835);
  put32(bytes, 42, 2835);
  put32(bytes, 46, static_cast<std::uint32_t>(recipe.colors_used));
  for (std::size_t i = 0; i < recipe.palette.size(); ++i) {
    std::uint8_t* entry = bytes.data() + palette_at + 4 * i;
    entry[0] = recipe.palette[i].blue;
    entry[1] = recipe.palette[i].green;
    entry[2] = recipe.palette[i].red;
    entry[3] = recipe.reserved;
  }
  for (std::size_t row = 0; row < recipe.rows.size() && row < rows; ++row) {
    for (std::size_t col = 0; col < recipe.rows[row].size() && col < stride; ++col) {
      bytes[pixels_at + row * stride + col] = recipe.rows[row][col];
    }
  }
  return bytes;
}

std::vector<rgb> distinct_palette(int n) {
  std::vector<rgb> palette;
  for (int i = 0; i < n; ++i) {
    palette.push_back({static_cast<std::uint8_t>(1 + i % 250),
                       static_cast<std::uint8_t>(i * 7 % 256),
                       static_cast<std::uint8_t>(i / 250 + 2)});
  }
  return palette;
}

bmp_recipe image_with(std::vector<rgb> palette, std::int32_t colors_used,
                      std::vector<std::vector<std::uint8_t>> rows) {
  bmp_recipe recipe;
  recipe.width = static_cast<std::int32_t>(rows[0].size());
  recipe.height = static_cast<std::int32_t>(rows.size());
  recipe.palette = std::move(palette);
  recipe.colors_used = colors_used;
  recipe.rows = std::move(rows);
  return recipe;
}
