#include "png_builder.h"

#ifdef __EMSCRIPTEN__
#include "image/compression.h"
#else
#include <zlib.h>
#endif

#include <algorithm>
#include <cstdlib>

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

// One row of a pass, packed at the depth, the leftmost sample in the highest bits.
std::vector<std::uint8_t> packed_row(const png_recipe& recipe, png::adam7_pass pass,
                                     std::uint32_t width, std::uint32_t line) {
  std::vector<std::uint8_t> row(png::row_bytes(width, recipe.depth), 0);
  // Depths no PNG has, for the refusals, and 16 bits, which are refused too: zero rows.
  if (recipe.depth > 8 || 8 % recipe.depth != 0) return row;
  for (std::uint32_t i = 0; i < width; ++i) {
    std::uint8_t value = sample(recipe, pass.x0 + i * pass.dx, pass.y0 + line * pass.dy);
    std::size_t bit = std::size_t{i} * recipe.depth;
    if (recipe.depth == 8) {
      row[bit / 8] = value;
    } else {
      auto shift = static_cast<unsigned>(8 - recipe.depth - bit % 8);
      row[bit / 8] |= static_cast<std::uint8_t>((value & ((1u << recipe.depth) - 1)) << shift);
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

std::vector<std::uint8_t> filtered(std::uint8_t type, const std::vector<std::uint8_t>& row,
                                   const std::vector<std::uint8_t>& above) {
  std::vector<std::uint8_t> out = {type};
  for (std::size_t i = 0; i < row.size(); ++i) {
    int left = i > 0 ? row[i - 1] : 0;
    int up = above[i];
    int upper_left = i > 0 ? above[i - 1] : 0;
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
  std::vector<std::uint8_t> above(png::row_bytes(width, recipe.depth), 0);
  for (std::uint32_t line = 0; line < lines; ++line) {
    std::vector<std::uint8_t> row = packed_row(recipe, pass, width, line);
    std::uint8_t type = recipe.filters[line % recipe.filters.size()];
    std::vector<std::uint8_t> bytes = filtered(type, row, above);
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

#ifdef __EMSCRIPTEN__
// The web build has no zlib: the same calls through the core's seam, served by fflate.
namespace {

using uInt = unsigned;

std::uint32_t crc32(std::uint32_t crc, const std::uint8_t* bytes, uInt length) {
  return crc32_of(bytes, length, crc);
}

}  // namespace

std::vector<std::uint8_t> zlib_stream(const std::vector<std::uint8_t>& bytes, int level) {
  std::vector<std::uint8_t> out;
  deflate_all({bytes.size(),
               [&](std::size_t from, std::size_t to, std::uint8_t* dest) {
                 std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                           bytes.begin() + static_cast<std::ptrdiff_t>(to), dest);
               }},
              level, 1, out);
  return out;
}

std::vector<std::uint8_t> zlib_inflated(const std::vector<std::uint8_t>& stream,
                                        std::size_t length) {
  inflate_stream reading = start_inflate({{stream.data(), stream.size()}});
  std::vector<std::uint8_t> out(length);
  std::uint8_t past = 0;
  if (inflate_next(reading, out.data(), length) != inflate_outcome::filled ||
      inflate_next(reading, &past, 1) == inflate_outcome::filled)
    return {};
  return out;
}
#else
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
#endif

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

png_recipe random_png_recipe(std::mt19937& random) {
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
  recipe.filters.clear();
  for (int i = pick(random, 1, 6); i > 0; --i)
    recipe.filters.push_back(static_cast<std::uint8_t>(pick(random, 0, 4)));
  recipe.idat_piece = static_cast<std::size_t>(pick(random, 0, 1) * pick(random, 1, 40));
  recipe.level = pick(random, 0, 9);
  return recipe;
}
