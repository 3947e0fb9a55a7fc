#pragma once
// The one pass that turns the input rows into the output rows, in place: the index clamp,
// every palette swap and the near-background conversion at once, and fill bytes zeroed.

#include <vector>

#include "image/work_image.h"
#include "palette/pixel_plan.h"
#include "pixel_kernels.h"

// Afterwards output_pixels points at the transformed rows, which are the input's own. Each
// of the image's row ranges is done on a thread of its own.
// With `tally`, the near-background step's outcome is counted too: one more count, of the
// output.
// Where the plan holds only below image.pixel_limit, each chunk of rows is checked while it
// is in cache, before it is mapped; at a pixel at or above the limit the rows are put back
// as they were and the result is false: the plan must be made again, from the counts.
bool transform_pixels(work_image& image, const pixel_plan& plan,
                      const pixel_kernels& kernels = best_kernels(),
                      near_background_tally* tally = nullptr);

// Counts the rows into image.census, once.
void count_rows(work_image& image, const pixel_kernels& kernels = best_kernels());

// The plan for the file's own values when the image is compacted: each value takes its
// rank's fate. Values that no pixel holds (in `counts`) keep 0 and take no draw.
pixel_plan plan_for_file_values(const pixel_plan& plan, const value_compaction& compaction,
                                const value_counts& counts);

// How many picture pixels (fill bytes excluded) of the input rows hold each value.
value_counts count_values(const work_image& image, const pixel_kernels& kernels = best_kernels());

// The same, for each of the image's row ranges, counted on threads of their own.
std::vector<value_counts> count_parts(const work_image& image,
                                      const pixel_kernels& kernels = best_kernels());

value_counts sum_counts(const std::vector<value_counts>& parts);

// Gives each value a draw decides the generator state at the start of its block of draws:
// the blocks follow each other in value order, each as long as the value's pixel count.
draw_tables make_draw_tables(const value_counts& counts, const pixel_plan& plan);
