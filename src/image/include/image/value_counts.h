#pragma once
// How many picture pixels (columns 0 to width - 1 of every row; fill bytes are no pixels)
// hold each value.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "image/bmp_layout.h"

using value_counts = std::array<std::uint64_t, bmp::PALETTE_ENTRIES>;

// The highest value a pixel holds; none for a picture without pixels.
inline std::optional<int> highest_value(const value_counts& counts) {
  for (int v = bmp::PALETTE_ENTRIES - 1; v >= 0; --v) {
    if (counts[static_cast<std::size_t>(v)] != 0) return v;
  }
  return std::nullopt;
}

// The rows counted once, where a rule, compaction or the draws need the counts: per row
// range (each range's draws start past the pixels of the ranges above) and in all.
struct value_census {
  bool known = false;
  std::vector<value_counts> parts;
  value_counts total{};
};
