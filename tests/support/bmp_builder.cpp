#include "bmp_builder.h"

#include <cstdlib>
#include <utility>

#include "image/bmp_header.h"
#include "image/work_image.h"
#include "palette/translation.h"
#include "whole_files.h"

std::uint32_t padded_stride(std::int32_t width) {
  return static_cast<std::uint32_t>((static_cast<std::int64_t>(width) + 3) / 4 * 4);
}

namespace {

std::size_t stored_row_length(const bmp_recipe& recipe) {
  if (recipe.bits == 1 || recipe.bits == 4)
    return (static_cast<std::size_t>(recipe.width) * recipe.bits + 31) / 32 * 4;
  return padded_stride(recipe.width);
}

// Packs the rows as stored: 1 or 4 bits a pixel, leftmost pixel in the highest bits.
std::vector<std::uint8_t> stored_pixels(const bmp_recipe& recipe) {
  auto rows = static_cast<std::uint32_t>(std::llabs(recipe.height));
  if (recipe.compression == 1 || recipe.compression == 2)
    return encode_rle(recipe.rows, recipe.width, rows, recipe.compression == 2, recipe.rle_seed);
  std::size_t length = stored_row_length(recipe);
  std::vector<std::uint8_t> bytes(length * rows);
  bool packed = recipe.bits == 1 || recipe.bits == 4;
  for (std::size_t row = 0; row < recipe.rows.size() && row < rows; ++row) {
    for (std::size_t col = 0; col < recipe.rows[row].size(); ++col) {
      std::uint8_t value = recipe.rows[row][col];
      if (!packed) {
        if (col < length) bytes[row * length + col] = value;
        continue;
      }
      std::size_t bit = col * recipe.bits;
      if (bit / 8 >= length) continue;
      auto shift = static_cast<int>(8 - recipe.bits - bit % 8);
      bytes[row * length + bit / 8] |=
          static_cast<std::uint8_t>((value & ((1 << recipe.bits) - 1)) << shift);
    }
  }
  return bytes;
}

void put_core_header(std::vector<std::uint8_t>& bytes, const bmp_recipe& recipe) {
  patch_le16(bytes, 18, static_cast<std::uint16_t>(recipe.width));
  patch_le16(bytes, 20, static_cast<std::uint16_t>(recipe.height));
  patch_le16(bytes, 22, 1);
  patch_le16(bytes, 24, recipe.bits);
}

void put_info_header(std::vector<std::uint8_t>& bytes, const bmp_recipe& recipe,
                     std::size_t pixel_bytes) {
  patch_le32(bytes, 18, static_cast<std::uint32_t>(recipe.width));
  patch_le32(bytes, 22, static_cast<std::uint32_t>(recipe.height));
  patch_le16(bytes, 26, 1);
  patch_le16(bytes, 28, recipe.bits);
  patch_le32(bytes, 30, recipe.compression);
  patch_le32(bytes, 34, static_cast<std::uint32_t>(pixel_bytes));
  patch_le32(bytes, 38, 2835);
  patch_le32(bytes, 42, 2835);
  patch_le32(bytes, 46, static_cast<std::uint32_t>(recipe.colors_used));
}

}  // namespace

std::vector<std::uint8_t> build_bmp(const bmp_recipe& recipe) {
  bool core = recipe.info_size == 12;
  std::size_t entry_size = core ? 3 : 4;
  std::size_t palette_at = 14 + recipe.info_size;
  std::size_t pixels_at = palette_at + recipe.palette.size() * entry_size;
  std::vector<std::uint8_t> pixels = stored_pixels(recipe);
  std::vector<std::uint8_t> bytes(
      std::max<std::size_t>(pixels_at + pixels.size() + recipe.trailing_bytes, core ? 26 : 54));

  bytes[0] = 'B';
  bytes[1] = 'M';
  patch_le32(bytes, 2, recipe.file_size_field.value_or(static_cast<std::uint32_t>(bytes.size())));
  patch_le32(bytes, 10, recipe.pixel_offset.value_or(static_cast<std::uint32_t>(pixels_at)));
  patch_le32(bytes, 14, recipe.info_size);
  if (core) {
    put_core_header(bytes, recipe);
  } else {
    put_info_header(bytes, recipe, pixels.size());
  }
  for (std::size_t i = 0; i < recipe.palette.size(); ++i) {
    std::uint8_t* entry = bytes.data() + palette_at + entry_size * i;
    entry[0] = recipe.palette[i].blue;
    entry[1] = recipe.palette[i].green;
    entry[2] = recipe.palette[i].red;
    if (!core) entry[3] = recipe.reserved;
  }
  std::copy(pixels.begin(), pixels.end(), bytes.begin() + static_cast<std::ptrdiff_t>(pixels_at));
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

bmp_recipe full_palette_image(std::vector<std::vector<std::uint8_t>> rows) {
  return image_with(distinct_palette(256), 0, std::move(rows));
}

std::vector<std::uint8_t> compacted_file(const std::vector<std::uint8_t>& file) {
  eight_bit_form form = compacted_form(file);
  return form.refused == refusal::none ? form.bytes : file;
}

eight_bit_form compacted_form(const std::vector<std::uint8_t>& file) {
  eight_bit_form form = read_eight_bit_form(file);
  if (form.refused != refusal::none) return form;
  const std::vector<std::uint8_t>& eight = form.bytes;
  const bmp_header& header = form.header;
  auto at = [&](std::uint64_t offset) -> std::uint8_t {
    return offset < eight.size() ? eight[offset] : 0;
  };
  auto pixel_at = [&](std::size_t row, std::size_t col) {
    return eight[header.pixel_offset + row * header.stride + col];
  };
  std::vector<bool> occurs(256);
  for (std::size_t row = 0; row < header.rows && header.width > 0; ++row) {
    for (std::size_t col = 0; col < static_cast<std::size_t>(header.width); ++col)
      occurs[pixel_at(row, col)] = true;
  }
  std::vector<std::uint8_t> rank(256);
  std::vector<std::size_t> values;
  for (std::size_t v = 0; v < 256; ++v) {
    if (!occurs[v]) continue;
    rank[v] = static_cast<std::uint8_t>(values.size());
    values.push_back(v);
  }
  std::int32_t colors_used = header.colors_used;
  std::size_t stored = colors_used > 0 && colors_used < 256 ? std::size_t(colors_used) : 256;
  std::vector<std::uint8_t> out(1078 + std::size_t{header.stride} * header.rows, 0);
  std::copy(eight.begin(), eight.begin() + 54, out.begin());
  patch_le32(out, 10, 1078);
  patch_le32(out, 14, 40);
  patch_le32(out, 46, static_cast<std::uint32_t>(values.size()));
  for (std::size_t i = 0; i < values.size(); ++i) {
    for (std::size_t byte = 0; byte < 4 && values[i] < stored; ++byte)
      out[54 + 4 * i + byte] = at(header.palette_offset + 4 * values[i] + byte);
  }
  for (std::size_t row = 0; row < header.rows && header.width > 0; ++row) {
    for (std::size_t col = 0; col < static_cast<std::size_t>(header.width); ++col)
      out[1078 + row * header.stride + col] = rank[pixel_at(row, col)];
  }
  eight_bit_form compacted = read_eight_bit_form(out);
  compacted.alpha = opaque();
  for (std::size_t i = 0; i < values.size(); ++i) compacted.alpha[i] = form.alpha[values[i]];
  return compacted;
}

std::vector<std::uint8_t> build_true_colour_bmp(const true_colour_bmp& recipe) {
  bool masks_after = recipe.compression == 3 && recipe.info_size == 40;
  std::uint32_t offset = 14 + recipe.info_size + (masks_after ? 12 : 0);
  std::size_t pixel_bytes = recipe.bits / 8u;
  std::size_t row_length = (static_cast<std::size_t>(recipe.width) * recipe.bits + 31) / 32 * 4;
  std::vector<std::uint8_t> file(offset + row_length * recipe.rows.size(), 0);
  file[0] = 'B';
  file[1] = 'M';
  patch_le32(file, 2, static_cast<std::uint32_t>(file.size()));
  patch_le32(file, 10, offset);
  patch_le32(file, 14, recipe.info_size);
  patch_le32(file, 18, static_cast<std::uint32_t>(recipe.width));
  patch_le32(file, 22, static_cast<std::uint32_t>(recipe.height));
  patch_le16(file, 26, 1);
  patch_le16(file, 28, recipe.bits);
  patch_le32(file, 30, recipe.compression);
  if (recipe.compression == 3) {
    for (std::size_t i = 0; i < 4 && 54 + 4 * i + 4 <= offset; ++i)
      patch_le32(file, 54 + 4 * i, recipe.masks[i]);
  }
  for (std::size_t r = 0; r < recipe.rows.size(); ++r) {
    for (std::size_t x = 0; x < recipe.rows[r].size(); ++x) {
      for (std::size_t b = 0; b < pixel_bytes; ++b)
        file[offset + r * row_length + x * pixel_bytes + b] =
            static_cast<std::uint8_t>(recipe.rows[r][x] >> (8 * b));
    }
  }
  file.resize(file.size() - recipe.cut_by);
  return file;
}
