#pragma once
// The seven grays the near-background step appends, and the share above which it runs.

#include <array>

#include "image/bmp_layout.h"

constexpr std::array<int, 7> gray_ramp = {70, 90, 110, 130, 150, 180, 230};

constexpr int GRAY_COUNT = static_cast<int>(gray_ramp.size());

// The nearest float to 1/32767: scales a drawn number into [0, 1).
constexpr float RANDOM_STEP = 1.0f / 32767.0f;
static_assert(RANDOM_STEP == 0x1.0002p-15f);

// The pass runs only for a share above this.
constexpr double MIN_BACKGROUND_SHARE = 0.0001;

// Whether the step runs at all (and the grays go in) for this share.
inline bool near_background_step_on(float background_share) {
  return static_cast<double>(background_share) > MIN_BACKGROUND_SHARE;
}

// The grays go after the used entries, so used_count may not exceed this.
constexpr int MAX_USED_FOR_GRAYS = bmp::PALETTE_ENTRIES - GRAY_COUNT - 1;
