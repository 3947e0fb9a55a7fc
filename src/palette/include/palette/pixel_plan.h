#pragma once
// What the one pass over the pixel rows does with each input value.

#include <array>
#include <cstdint>

#include "image/bmp_layout.h"

struct pixel_plan {
  // The output value of every input value whose result no draw decides.
  std::array<std::uint8_t, bmp::PALETTE_ENTRIES> fixed{};
  // Pixels of these values take one draw each, in the order value, row, column.
  std::array<bool, bmp::PALETTE_ENTRIES> takes_draw{};
  // Among those, the values whose result the draw decides: a number below the threshold
  // gives background (0), any other the gray.
  std::array<bool, bmp::PALETTE_ENTRIES> decided_by_draw{};
  std::array<std::uint16_t, bmp::PALETTE_ENTRIES> threshold{};
  std::array<std::uint8_t, bmp::PALETTE_ENTRIES> gray{};
};

// What the near-background step did, counted only where a report asks for it: the pixels
// within the tolerances that ended as background (those of the background's own colour
// included) and those that ended gray.
struct near_background_tally {
  std::uint64_t to_background = 0;
  std::uint64_t to_gray = 0;
};

inline bool any_decided_by_draw(const pixel_plan& plan) {
  for (bool decided : plan.decided_by_draw) {
    if (decided) return true;
  }
  return false;
}

// Every value keeps the number index_map gives it.
inline pixel_plan plan_without_draws(
    const std::array<std::uint8_t, bmp::PALETTE_ENTRIES>& index_map) {
  pixel_plan plan;
  plan.fixed = index_map;
  return plan;
}
