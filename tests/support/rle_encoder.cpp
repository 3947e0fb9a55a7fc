#include <algorithm>
#include <random>

#include "bmp_builder.h"

namespace {

struct rle_writer {
  const std::vector<std::vector<std::uint8_t>>& rows;
  std::size_t width;
  std::size_t row_count;
  bool nibbles;
  std::mt19937 random;
  std::vector<std::uint8_t> out;

  std::uint8_t pixel(std::size_t y, std::size_t x) const {
    if (y >= rows.size() || x >= rows[y].size()) return 0;
    return rows[y][x];
  }
  bool chance(int in) { return std::uniform_int_distribution<int>(0, in - 1)(random) == 0; }
  bool zero_from(std::size_t y, std::size_t x) const {
    for (; x < width; ++x)
      if (pixel(y, x) != 0) return false;
    return true;
  }
  bool image_zero_from(std::size_t y, std::size_t x) const {
    if (!zero_from(y, x)) return false;
    for (++y; y < row_count; ++y)
      if (!zero_from(y, 0)) return false;
    return true;
  }
  // The pixels from x that one encoded pair can repeat: one value, or two in turn for RLE4.
  std::size_t repeatable(std::size_t y, std::size_t x) const {
    std::size_t n = 1;
    while (x + n < width && n < 255 && pixel(y, x + n) == pixel(y, x + (nibbles ? n % 2 : 0))) ++n;
    return n;
  }
  void put_run(std::size_t y, std::size_t x, std::size_t n) {
    // A run that reaches the row's end may claim pixels past it: they are dropped.
    if (x + n == width && chance(3)) n = std::min<std::size_t>(255, n + 1 + random() % 40);
    std::uint8_t value = pixel(y, x);
    if (nibbles) value = static_cast<std::uint8_t>(value << 4 | pixel(y, x + 1));
    out.push_back(static_cast<std::uint8_t>(n));
    out.push_back(value);
  }
  void put_literal(std::size_t y, std::size_t x, std::size_t n) {
    out.push_back(0);
    out.push_back(static_cast<std::uint8_t>(n));
    std::size_t bytes = nibbles ? (n + 1) / 2 : n;
    for (std::size_t i = 0; i < bytes; ++i) {
      out.push_back(nibbles
                        ? static_cast<std::uint8_t>(pixel(y, x + 2 * i) << 4 |
                                                    (2 * i + 1 < n ? pixel(y, x + 2 * i + 1) : 0))
                        : pixel(y, x + i));
    }
    if (bytes % 2 != 0) out.push_back(0);
  }
  void put_escape(std::uint8_t code) { out.insert(out.end(), {0, code}); }
  void put_delta(std::uint8_t dx, std::uint8_t dy) { out.insert(out.end(), {0, 2, dx, dy}); }

  std::size_t zeros_from(std::size_t y, std::size_t x) const {
    std::size_t n = 0;
    while (x + n < width && n < 255 && pixel(y, x + n) == 0) ++n;
    return n;
  }
  // One step within a row; returns the new column.
  std::size_t step(std::size_t y, std::size_t x) {
    std::size_t zeros = zeros_from(y, x);
    if (zeros > 0 && chance(2)) {
      put_delta(static_cast<std::uint8_t>(zeros), 0);
      return x + zeros;
    }
    std::size_t left = std::min<std::size_t>(width - x, 255);
    if (left >= 3 && chance(3)) {
      std::size_t n = 3 + random() % (left - 2);
      put_literal(y, x, n);
      return x + n;
    }
    std::size_t n = 1 + random() % repeatable(y, x);
    put_run(y, x, n);
    return x + n;
  }
  void encode() {
    for (std::size_t y = 0; y < row_count; ++y) {
      if (image_zero_from(y, 0) && chance(2)) {
        // Past the last row: as good as the end marker.
        if (chance(2)) put_delta(0, 255);
        break;
      }
      if (zero_from(y, 0) && width > 0 && chance(2)) {
        put_delta(0, 1);
        continue;
      }
      for (std::size_t x = 0; x < width && !(zero_from(y, x) && chance(3));) x = step(y, x);
      put_escape(0);
    }
    // A stream may also just stop.
    if (!chance(4)) put_escape(1);
  }
};

}  // namespace

std::vector<std::uint8_t> encode_rle(const std::vector<std::vector<std::uint8_t>>& rows,
                                     std::int32_t width, std::uint32_t row_count, bool nibbles,
                                     std::uint32_t seed) {
  rle_writer writer{rows, static_cast<std::size_t>(width), row_count, nibbles, std::mt19937(seed),
                    {}};
  writer.encode();
  return writer.out;
}
