#pragma once
// The inner loops of the pixel transform, in a portable form and, where the processor has
// AVX-512 byte permutes, a vector form that does 64 pixels at a time. Both give the same
// bytes; the tests run both.

#include <array>
#include <cstddef>
#include <cstdint>

#include "bitmap/bmp_layout.h"
#include "palette/random_sequence.h"

using value_table = std::array<std::uint8_t, bmp::PALETTE_ENTRIES>;
using value_counts = std::array<std::uint64_t, bmp::PALETTE_ENTRIES>;

// A value whose pixels a draw decides: its private generator state, the drawn numbers
// that give background, and the gray otherwise.
struct draw_entry {
  std::uint32_t state = 0;
  std::uint16_t threshold = 0;
  std::uint8_t gray = 0;
};

struct draw_tables {
  value_table fixed{};          // output of the values no draw decides
  value_table decided_flags{};  // 0xFF for the values a draw decides, 0 otherwise
  std::array<draw_entry, bmp::PALETTE_ENTRIES> entries{};
};

struct pixel_kernels {
  void (*map)(std::uint8_t* span, std::size_t length, const value_table& table);
  void (*count)(const std::uint8_t* span, std::size_t length, value_counts& counts);
  void (*draw)(std::uint8_t* span, std::size_t length, draw_tables& tables);
};

const pixel_kernels& portable_kernels();

// Null where the processor (or the compiler's target) has no AVX-512 VBMI.
const pixel_kernels* vector_kernels();

// The vector kernels where available, else the portable ones.
const pixel_kernels& best_kernels();

// Four counting tables, so that runs of one value do not wait on their own increments.
// 32-bit counters suffice: every span is shorter than the largest input, 2^31 bytes.
using partial_counts = std::array<std::array<std::uint32_t, bmp::PALETTE_ENTRIES>, 4>;

inline void count_bytes(const std::uint8_t* span, std::size_t length, partial_counts& partial) {
  std::size_t i = 0;
  for (; i + 4 <= length; i += 4) {
    ++partial[0][span[i]];
    ++partial[1][span[i + 1]];
    ++partial[2][span[i + 2]];
    ++partial[3][span[i + 3]];
  }
  for (; i < length; ++i) ++partial[0][span[i]];
}

inline void add_partial_counts(const partial_counts& partial, value_counts& counts) {
  for (std::size_t k = 0; k < bmp::PALETTE_ENTRIES; ++k) {
    counts[k] += std::uint64_t{partial[0][k]} + partial[1][k] + partial[2][k] + partial[3][k];
  }
}

// One draw for a pixel of a value a draw decides: true for gray, false for background.
// Shared by both forms so they cannot drift apart.
inline bool draw_gives_gray(draw_entry& entry) {
  return draw_random(entry.state) >= entry.threshold;
}

inline std::uint8_t draw_pixel(draw_entry& entry) {
  // Branch-free: the outcome is a coin toss the processor cannot predict.
  return static_cast<std::uint8_t>(entry.gray &
                                   -static_cast<std::uint32_t>(draw_gives_gray(entry)));
}
