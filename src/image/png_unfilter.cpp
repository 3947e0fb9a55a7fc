#include "png_unfilter.h"

#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "png_layout.h"

namespace {

int paeth(int a, int b, int c) {
  int p = a + b - c;
  int pa = std::abs(p - a);
  int pb = std::abs(p - b);
  int pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

// Four bytes added lane by lane, no carry crossing a byte: the low seven bits of each
// byte add apart and the top bit is put back by exclusive or.
std::uint32_t add_bytes(std::uint32_t a, std::uint32_t b) {
  constexpr std::uint32_t LOW = 0x7F7F7F7F;
  return ((a & LOW) + (b & LOW)) ^ ((a ^ b) & ~LOW);
}

// Sub on four-byte pixels, a pixel at a time: the byte loop's chain through memory costs
// four times as many steps.
void unfilter_sub_four(std::uint8_t* row, std::size_t length) {
  std::uint32_t left = 0;
  for (std::size_t i = 0; i + 4 <= length; i += 4) {
    std::uint32_t pixel;
    std::memcpy(&pixel, row + i, 4);
    left = add_bytes(pixel, left);
    std::memcpy(row + i, &left, 4);
  }
}

// Average and Paeth on pixels of N bytes, a pixel at a time: the left and upper-left
// samples stay in registers instead of coming back from the row just written.
template <std::size_t N>
void unfilter_average_pixels(std::uint8_t* row, const std::uint8_t* above, std::size_t length) {
  int left[N] = {};
  for (std::size_t i = 0; i + N <= length; i += N) {
    for (std::size_t k = 0; k < N; ++k) {
      left[k] = (row[i + k] + (left[k] + above[i + k]) / 2) & 0xFF;
      row[i + k] = static_cast<std::uint8_t>(left[k]);
    }
  }
}

template <std::size_t N>
void unfilter_paeth_pixels(std::uint8_t* row, const std::uint8_t* above, std::size_t length) {
  int left[N] = {};
  int upper_left[N] = {};
  for (std::size_t i = 0; i + N <= length; i += N) {
    for (std::size_t k = 0; k < N; ++k) {
      int upper = above[i + k];
      left[k] = (row[i + k] + paeth(left[k], upper, upper_left[k])) & 0xFF;
      upper_left[k] = upper;
      row[i + k] = static_cast<std::uint8_t>(left[k]);
    }
  }
}

// Runs `pass` with the pixel size as a constant, for pixels of 3 or 4 bytes; false for
// other sizes, which go a byte at a time.
template <typename Pass>
bool by_whole_pixels(std::size_t pixel_bytes, Pass pass) {
  if (pixel_bytes == 4) pass(std::integral_constant<std::size_t, 4>{});
  if (pixel_bytes == 3) pass(std::integral_constant<std::size_t, 3>{});
  return pixel_bytes == 3 || pixel_bytes == 4;
}

}  // namespace

bool unfilter(std::uint8_t type, std::uint8_t* row, const std::uint8_t* above, std::size_t length,
              std::size_t pixel_bytes) {
  const std::size_t n = pixel_bytes;
  switch (type) {
    case png::FILTER_NONE:
      return true;
    case png::FILTER_SUB:
      if (n == 4) {
        unfilter_sub_four(row, length);
        return true;
      }
      for (std::size_t i = n; i < length; ++i)
        row[i] = static_cast<std::uint8_t>(row[i] + row[i - n]);
      return true;
    case png::FILTER_UP:
      for (std::size_t i = 0; i < length; ++i)
        row[i] = static_cast<std::uint8_t>(row[i] + above[i]);
      return true;
    case png::FILTER_AVERAGE:
      if (by_whole_pixels(n, [&](auto size) {
            unfilter_average_pixels<decltype(size)::value>(row, above, length);
          }))
        return true;
      for (std::size_t i = 0; i < length; ++i) {
        int left = i >= n ? row[i - n] : 0;
        row[i] = static_cast<std::uint8_t>(row[i] + (left + above[i]) / 2);
      }
      return true;
    case png::FILTER_PAETH:
      if (by_whole_pixels(n, [&](auto size) {
            unfilter_paeth_pixels<decltype(size)::value>(row, above, length);
          }))
        return true;
      for (std::size_t i = 0; i < length; ++i) {
        int left = i >= n ? row[i - n] : 0;
        int upper_left = i >= n ? above[i - n] : 0;
        row[i] = static_cast<std::uint8_t>(row[i] + paeth(left, above[i], upper_left));
      }
      return true;
    default:
      return false;
  }
}
