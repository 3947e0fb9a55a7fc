#pragma once
// The optional last step: pixels whose colour lies near the background become, at random,
// background or the ramp gray nearest their brightness. Draws go in the order palette
// value, row, column, one per matched pixel.

#include <array>

#include "image/work_image.h"
#include "palette/pixel_plan.h"

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

// Appends the gray ramp and decides, per input value, what its pixels become; the pixel
// transform applies the decisions. no_room_for_grays when the used count leaves no room.
refusal near_background_pass(work_image& image, int red_tolerance, int green_tolerance,
                             int blue_tolerance, float background_share, pixel_plan& plan);

// The ramp level nearest the brightest component of input palette entry k; ties go low.
int nearest_gray(const work_image& image, int k);

// Whether a drawn number sends a pixel at this distance to the background.
bool draws_background(int drawn, int distance, int max_tolerance, float background_share);

// The smallest drawn number that does not give background (32768: every one does).
// draws_background holds for exactly the numbers below it.
int background_threshold(int distance, int max_tolerance, float background_share);
