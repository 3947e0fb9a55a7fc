#pragma once
// The optional last step: pixels whose colour lies near the background become, at random,
// background or the ramp gray nearest their brightness. Draws go in the order palette
// value, row, column, one per matched pixel.

#include <array>

#include "image/work_image.h"
#include "palette/gray_ramp.h"
#include "palette/pixel_plan.h"

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
