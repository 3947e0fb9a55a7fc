#pragma once
// The one pass that turns the input rows into the output rows, in place: the index clamp,
// every palette swap and the near-background conversion at once, and fill bytes zeroed.

#include "bitmap/work_image.h"
#include "palette/pixel_plan.h"

void transform_pixels(work_image& image, const pixel_plan& plan);

// How many picture pixels (fill bytes excluded) hold each value.
std::array<std::uint64_t, bmp::PALETTE_ENTRIES> count_values(const work_image& image);
