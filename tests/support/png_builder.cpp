#include "png_builder.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <map>

#include "image/bmp_layout.h"
#include "image/byte_order.h"
#include "image/png_layout.h"
#include "whole_files.h"

namespace {

void put_be32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
  std::uint8_t field[4];
  write_be32(field, value);
  bytes.insert(bytes.end(), field, field + 4);
}

std::uint8_t sample(const png_recipe& recipe, std::uint32_t x, std::uint32_t y) {
  if (y >= recipe.rows.size() || x >= recipe.rows[y].size()) return 0;
  return recipe.rows[y][x];
}

// Sample c of pixel (x, y).
std::uint8_t sample(const png_recipe& recipe, std::uint32_t x, std::uint32_t y, std::uint32_t c) {
  return sample(recipe, x * png_channels(recipe.color_type) + c, y);
}

// One row of a pass, packed at the depth, the leftmost sample in the highest bits.
std::vector<std::uint8_t> packed_row(const png_recipe& recipe, png::adam7_pass pass,
                                     std::uint32_t width, std::uint32_t line) {
  std::uint32_t channels = png_channels(recipe.color_type);
  std::vector<std::uint8_t> row(png::row_bytes(std::uint64_t{width} * channels, recipe.depth), 0);
  // Depths no PNG has, for the refusals, and 16 bits, which are refused too: zero rows.
  if (recipe.depth > 8 || 8 % recipe.depth != 0) return row;
  for (std::uint32_t i = 0; i < width; ++i) {
    for (std::uint32_t c = 0; c < channels; ++c) {
      std::uint8_t value = sample(recipe, pass.x0 + i * pass.dx, pass.y0 + line * pass.dy, c);
      std::size_t bit = (std::size_t{i} * channels + c) * recipe.depth;
      if (recipe.depth == 8) {
        row[bit / 8] = value;
      } else {
        auto shift = static_cast<unsigned>(8 - recipe.depth - bit % 8);
        row[bit / 8] |= static_cast<std::uint8_t>((value & ((1u << recipe.depth) - 1)) << shift);
      }
    }
  }
  return row;
}

int paeth(int a, int b, int c) {
  int p = a + b - c;
  int pa = std::abs(p - a);
  int pb = std::abs(p - b);
  int pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

// `back`: the bytes of a whole pixel, at least 1.
std::vector<std::uint8_t> filtered(std::uint8_t type, const std::vector<std::uint8_t>& row,
                                   const std::vector<std::uint8_t>& above, std::size_t back) {
  std::vector<std::uint8_t> out = {type};
  for (std::size_t i = 0; i < row.size(); ++i) {
    int left = i >= back ? row[i - back] : 0;
    int up = above[i];
    int upper_left = i >= back ? above[i - back] : 0;
    int predicted = type == 1   ? left
                    : type == 2 ? up
                    : type == 3 ? (left + up) / 2
                    : type == 4 ? paeth(left, up, upper_left)
                                : 0;
    out.push_back(static_cast<std::uint8_t>(row[i] - predicted));
  }
  return out;
}

void add_pass(const png_recipe& recipe, png::adam7_pass pass, std::vector<std::uint8_t>& out) {
  std::uint32_t width = png::pass_extent(recipe.width, pass.x0, pass.dx);
  std::uint32_t lines = png::pass_extent(recipe.height, pass.y0, pass.dy);
  if (width == 0 || lines == 0) return;
  std::uint32_t channels = png_channels(recipe.color_type);
  std::vector<std::uint8_t> above(png::row_bytes(std::uint64_t{width} * channels, recipe.depth), 0);
  std::size_t back = std::max<std::size_t>(1, channels * recipe.depth / 8);
  for (std::uint32_t line = 0; line < lines; ++line) {
    std::vector<std::uint8_t> row = packed_row(recipe, pass, width, line);
    std::uint8_t type = recipe.filters[line % recipe.filters.size()];
    std::vector<std::uint8_t> bytes = filtered(type, row, above, back);
    out.insert(out.end(), bytes.begin(), bytes.end());
    above = row;
  }
}

}  // namespace

std::vector<std::uint8_t> filtered_rows(const png_recipe& recipe) {
  std::vector<std::uint8_t> out;
  if (recipe.interlace == 0) {
    add_pass(recipe, {0, 0, 1, 1}, out);
  } else {
    for (const png::adam7_pass& pass : png::ADAM7) add_pass(recipe, pass, out);
  }
  return out;
}

std::vector<std::uint8_t> zlib_stream(const std::vector<std::uint8_t>& bytes, int level) {
  uLongf length = compressBound(static_cast<uLong>(bytes.size()));
  std::vector<std::uint8_t> out(length);
  compress2(out.data(), &length, bytes.data(), static_cast<uLong>(bytes.size()), level);
  out.resize(length);
  return out;
}

std::vector<std::uint8_t> zlib_inflated(const std::vector<std::uint8_t>& stream,
                                        std::size_t length) {
  std::vector<std::uint8_t> out(length + 1);
  auto out_length = static_cast<uLongf>(out.size());
  if (uncompress(out.data(), &out_length, stream.data(), static_cast<uLong>(stream.size())) != Z_OK)
    return {};
  out.resize(out_length);
  return out;
}
std::vector<png_chunk> png_chunks(const png_recipe& recipe) {
  std::vector<png_chunk> chunks;
  png_chunk header{"IHDR", {}};
  put_be32(header.data, recipe.width);
  put_be32(header.data, recipe.height);
  header.data.insert(header.data.end(), {recipe.depth, recipe.color_type, 0, 0, recipe.interlace});
  chunks.push_back(header);
  if (!recipe.palette.empty()) {
    png_chunk palette{"PLTE", {}};
    for (rgb color : recipe.palette)
      palette.data.insert(palette.data.end(), {color.red, color.green, color.blue});
    chunks.push_back(palette);
  }
  if (!recipe.transparency.empty()) chunks.push_back({"tRNS", recipe.transparency});
  if (recipe.physical) chunks.push_back({"pHYs", *recipe.physical});
  std::vector<std::uint8_t> stream = zlib_stream(filtered_rows(recipe), recipe.level);
  std::size_t piece = recipe.idat_piece == 0 ? stream.size() : recipe.idat_piece;
  for (std::size_t at = 0; at < stream.size() || at == 0; at += piece) {
    std::size_t end = std::min(stream.size(), at + piece);
    chunks.push_back({"IDAT",
                      {stream.begin() + static_cast<std::ptrdiff_t>(at),
                       stream.begin() + static_cast<std::ptrdiff_t>(end)}});
    if (end == stream.size()) break;
  }
  chunks.push_back({"IEND", {}});
  return chunks;
}

std::vector<std::uint8_t> assemble_png(const std::vector<png_chunk>& chunks) {
  std::vector<std::uint8_t> file(png::SIGNATURE.begin(), png::SIGNATURE.end());
  for (const png_chunk& chunk : chunks) {
    put_be32(file, static_cast<std::uint32_t>(chunk.data.size()));
    std::size_t typed = file.size();
    file.insert(file.end(), chunk.type.begin(), chunk.type.begin() + 4);
    file.insert(file.end(), chunk.data.begin(), chunk.data.end());
    auto crc = static_cast<std::uint32_t>(
        crc32(0, file.data() + typed, static_cast<uInt>(file.size() - typed)));
    put_be32(file, chunk.bad_crc ? crc ^ 1 : crc);
  }
  return file;
}

std::vector<std::uint8_t> build_png(const png_recipe& recipe) {
  return assemble_png(png_chunks(recipe));
}

std::uint32_t png_channels(std::uint8_t color_type) {
  switch (color_type) {
    case 2:
      return 3;
    case 4:
      return 2;
    case 6:
      return 4;
    default:
      return 1;
  }
}

bool is_eight_bit_gray_png(const std::vector<std::uint8_t>& file) {
  // The IHDR's depth and colour type sit at 24 and 25, after the signature, its length
  // and its type, and width and height.
  return file.size() > 25 &&
         std::equal(png::SIGNATURE.begin(), png::SIGNATURE.end(), file.begin()) && file[24] == 8 &&
         file[25] == 0;
}

namespace {

bool is_true_colour_recipe(const png_recipe& recipe) {
  return recipe.color_type == 2 || recipe.color_type == 4 || recipe.color_type == 6;
}

// The colour of pixel (x, y) as (red, green, blue, alpha), straight from the samples.
std::array<std::uint8_t, 4> rgba_at(const png_recipe& recipe, std::uint32_t x, std::uint32_t y) {
  auto at = [&](std::uint32_t c) { return sample(recipe, x, y, c); };
  switch (recipe.color_type) {
    case 4:
      return {at(0), at(0), at(0), at(1)};
    case 6:
      return {at(0), at(1), at(2), at(3)};
    default: {
      bool keyed = recipe.transparency.size() == 6;
      for (std::uint32_t c = 0; keyed && c < 3; ++c)
        keyed = read_be16(recipe.transparency.data() + 2 * c) == at(c);
      return {at(0), at(1), at(2), static_cast<std::uint8_t>(keyed ? 0 : 255)};
    }
  }
}

// U of a true-colour recipe: numbered by first appearance from U's first stored row, the
// picture's last; every clear pixel one colour, shown as the first clear pixel met.
void number_true_colour(const png_recipe& recipe, std::uint32_t stride, png_equivalent& u) {
  std::map<std::array<std::uint8_t, 4>, std::size_t> numbers;
  for (std::uint32_t r = 0; r < recipe.height; ++r) {
    std::uint32_t y = recipe.height - 1 - r;
    for (std::uint32_t x = 0; x < recipe.width; ++x) {
      std::array<std::uint8_t, 4> colour = rgba_at(recipe, x, y);
      std::array<std::uint8_t, 4> key = colour[3] == 0 ? std::array<std::uint8_t, 4>{} : colour;
      auto [found, added] = numbers.try_emplace(key, numbers.size());
      if (found->second > 255) {
        u.too_many = true;
        return;
      }
      if (added) {
        std::size_t k = found->second;
        u.bytes[54 + 4 * k] = colour[2];
        u.bytes[54 + 4 * k + 1] = colour[1];
        u.bytes[54 + 4 * k + 2] = colour[0];
        u.alpha[k] = colour[3];
      }
      u.bytes[1078 + std::size_t{r} * stride + x] = static_cast<std::uint8_t>(found->second);
    }
  }
  patch_le32(u.bytes, 46, numbers.size() < 256 ? static_cast<std::uint32_t>(numbers.size()) : 0);
}

}  // namespace

png_equivalent expected_equivalent(const png_recipe& recipe) {
  std::uint32_t stride = (recipe.width + 3) / 4 * 4;
  std::vector<std::uint8_t> u(1078 + std::size_t{stride} * recipe.height, 0);
  std::uint32_t n = recipe.color_type == 0 ? 1u << recipe.depth
                                           : static_cast<std::uint32_t>(recipe.palette.size());
  u[0] = 'B';
  u[1] = 'M';
  patch_le32(u, 2, static_cast<std::uint32_t>(u.size()));
  patch_le32(u, 10, 1078);
  patch_le32(u, 14, 40);
  patch_le32(u, 18, recipe.width);
  patch_le32(u, 22, recipe.height);
  patch_le16(u, 26, 1);
  patch_le16(u, 28, 8);
  patch_le32(u, 34, stride * recipe.height);
  if (recipe.physical && recipe.physical->size() == 9 && (*recipe.physical)[8] == 1) {
    std::uint32_t x = read_be32(recipe.physical->data());
    std::uint32_t y = read_be32(recipe.physical->data() + 4);
    if (x <= 0x7FFFFFFF && y <= 0x7FFFFFFF) {
      patch_le32(u, 38, x);
      patch_le32(u, 42, y);
    }
  }
  patch_le32(u, 46, n < 256 ? n : 0);
  png_equivalent result{u, std::vector<std::uint8_t>(256, 255)};
  if (is_true_colour_recipe(recipe)) {
    number_true_colour(recipe, stride, result);
    return result;
  }
  for (std::uint32_t k = 0; k < n; ++k) {
    rgb color = recipe.color_type == 3 ? recipe.palette[k] : rgb{};
    if (recipe.color_type == 0) {
      auto level = static_cast<std::uint8_t>(k * 255 / (n - 1));
      color = {level, level, level};
    }
    result.bytes[54 + 4 * k] = color.blue;
    result.bytes[54 + 4 * k + 1] = color.green;
    result.bytes[54 + 4 * k + 2] = color.red;
  }
  if (recipe.color_type == 3) {
    for (std::size_t k = 0; k < recipe.transparency.size(); ++k)
      result.alpha[k] = recipe.transparency[k];
  } else if (recipe.transparency.size() == 2) {
    std::uint32_t level = read_be16(recipe.transparency.data());
    if (level < n) result.alpha[level] = 0;
  }
  for (std::uint32_t y = 0; y < recipe.height; ++y) {
    for (std::uint32_t x = 0; x < recipe.width; ++x)
      result.bytes[1078 + std::size_t{recipe.height - 1 - y} * stride + x] = sample(recipe, x, y);
  }
  return result;
}

void fix_png_crcs(std::vector<std::uint8_t>& file) {
  if (file.size() < 8) return;
  for (std::size_t at = 8; at + 12 <= file.size();) {
    std::uint32_t length = read_be32(file.data() + at);
    if (length > file.size() - at - 12) return;
    auto crc = static_cast<std::uint32_t>(crc32(0, file.data() + at + 4, length + 4));
    write_be32(file.data() + at + 8 + length, crc);
    at += 12 + std::size_t{length};
  }
}

namespace {

// How the rows are stored: the filters in turn, the IDAT pieces, the deflate level.
void pick_stream(std::mt19937& random, png_recipe& recipe) {
  recipe.filters.clear();
  for (int i = pick(random, 1, 6); i > 0; --i)
    recipe.filters.push_back(static_cast<std::uint8_t>(pick(random, 0, 4)));
  recipe.idat_piece = static_cast<std::size_t>(pick(random, 0, 1) * pick(random, 1, 40));
  recipe.level = pick(random, 0, 9);
}

// A true-colour picture of a few colours, now and then of about 256, with clear pixels of
// several stored colours and, for RGB, a tRNS key that one of its colours meets.
png_recipe random_true_colour_recipe(std::mt19937& random) {
  png_recipe recipe;
  const std::uint8_t types[] = {2, 4, 6};
  recipe.color_type = types[pick(random, 0, 2)];
  std::uint32_t channels = png_channels(recipe.color_type);
  bool crowded = pick(random, 0, 7) == 0;
  recipe.width = static_cast<std::uint32_t>(crowded ? pick(random, 40, 140) : pick(random, 1, 12));
  recipe.height = static_cast<std::uint32_t>(crowded ? pick(random, 8, 11) : pick(random, 1, 11));
  recipe.interlace = static_cast<std::uint8_t>(pick(random, 0, 1));
  int colours = crowded ? pick(random, 250, 262) : pick(random, 1, 12);
  std::vector<std::vector<std::uint8_t>> pool;
  for (int k = 0; k < colours; ++k) {
    std::vector<std::uint8_t> pixel;
    for (std::uint32_t c = 0; c < channels; ++c)
      pixel.push_back(
          static_cast<std::uint8_t>(pick(random, 0, crowded ? 255 : 3) * (crowded ? 1 : 85)));
    // Alpha: clear, opaque or between.
    if (channels % 2 == 0)
      pixel.back() = static_cast<std::uint8_t>(pick(random, 0, 2) * 127 + pick(random, 0, 1));
    pool.push_back(pixel);
  }
  if (recipe.color_type == 2 && pick(random, 0, 1) == 0) {
    const std::vector<std::uint8_t>& keyed =
        pool[static_cast<std::size_t>(pick(random, 0, colours - 1))];
    recipe.transparency = {0, keyed[0], 0, keyed[1], 0, keyed[2]};
  }
  int run = crowded ? 1 : pick(random, 1, 5);
  for (std::uint32_t y = 0; y < recipe.height; ++y) {
    std::vector<std::uint8_t> row;
    std::size_t k = 0;
    for (std::uint32_t x = 0; x < recipe.width; ++x) {
      if (x % static_cast<std::uint32_t>(run) == 0)
        k = static_cast<std::size_t>(
            crowded ? (y * recipe.width + x) % static_cast<std::uint32_t>(colours)
                    : static_cast<std::uint32_t>(pick(random, 0, colours - 1)));
      row.insert(row.end(), pool[k].begin(), pool[k].end());
    }
    recipe.rows.push_back(row);
  }
  pick_stream(random, recipe);
  return recipe;
}

}  // namespace

png_recipe random_png_recipe(std::mt19937& random) {
  if (pick(random, 0, 3) == 0) return random_true_colour_recipe(random);
  png_recipe recipe;
  recipe.color_type = pick(random, 0, 2) == 0 ? 0 : 3;
  const std::uint8_t depths[] = {1, 2, 4, 8};
  recipe.depth = depths[pick(random, 0, 3)];
  recipe.width = static_cast<std::uint32_t>(pick(random, 0, 4) == 0 ? pick(random, 40, 140)
                                                                    : pick(random, 1, 12));
  recipe.height = static_cast<std::uint32_t>(pick(random, 1, 11));
  recipe.interlace = static_cast<std::uint8_t>(pick(random, 0, 1));
  int levels = 1 << recipe.depth;
  int entries = pick(random, 1, levels);
  if (recipe.color_type == 3) {
    for (int k = 0; k < entries; ++k) {
      recipe.palette.push_back({static_cast<std::uint8_t>(pick(random, 0, 255)),
                                static_cast<std::uint8_t>(pick(random, 0, 255)),
                                static_cast<std::uint8_t>(pick(random, 0, 255))});
    }
    if (pick(random, 0, 1) == 0) {
      for (int k = pick(random, 1, entries); k > 0; --k)
        recipe.transparency.push_back(static_cast<std::uint8_t>(pick(random, 0, 2) * 127));
    }
  } else if (pick(random, 0, 1) == 0) {
    int level = pick(random, 0, levels + 2);  // one past the levels names none
    recipe.transparency = {static_cast<std::uint8_t>(level >> 8), static_cast<std::uint8_t>(level)};
  }
  if (pick(random, 0, 2) == 0) {
    std::uint8_t unit = static_cast<std::uint8_t>(pick(random, 0, 1));
    recipe.physical = std::vector<std::uint8_t>{0, 0, 11, 19, 0, 0, 11, 20, unit};
  }
  // Samples mostly within the palette; now and then one past it, kept as it is.
  int top = recipe.color_type == 3 && pick(random, 0, 4) == 0 ? levels - 1 : entries - 1;
  int run = pick(random, 1, 9);
  for (std::uint32_t y = 0; y < recipe.height; ++y) {
    std::vector<std::uint8_t> row;
    for (std::uint32_t x = 0; x < recipe.width; ++x) {
      row.push_back(x % static_cast<std::uint32_t>(run) != 0 && !row.empty()
                        ? row.back()
                        : static_cast<std::uint8_t>(pick(random, 0, top)));
    }
    recipe.rows.push_back(row);
  }
  pick_stream(random, recipe);
  return recipe;
}

png_recipe rgba_strip(int colours) {
  png_recipe recipe;
  recipe.color_type = 6;
  recipe.width = static_cast<std::uint32_t>(colours);
  recipe.height = 2;
  recipe.rows = {std::vector<std::uint8_t>(4 * recipe.width, 0), {}};
  for (int k = 0; k < colours; ++k)
    recipe.rows[1].insert(recipe.rows[1].end(), {static_cast<std::uint8_t>(k), 77,
                                                 static_cast<std::uint8_t>(k / 256), 255});
  return recipe;
}
