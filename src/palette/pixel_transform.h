#pragma once
// The one pass that turns the input rows into the output rows, in place: the index clamp,
// every palette swap and the near-background conversion at once, and fill bytes zeroed.

#include "bitmap/work_image.h"
#include "palette/pixel_kernels.h"
#include "palette/pixel_plan.h"

void transform_pixels(work_image& image, const pixel_plan& plan,
                      const pixel_kernels& kernels = best_kernels());

// How many picture pixels (fill bytes excluded) hold each value.
value_counts count_values(const work_image& image, const pixel_kernels& kernels = best_kernels());
