#include "palette/pixel_transform.h"

#include <algorithm>

#include "palette/random_sequence.h"

namespace {

// Calls f(offset, length) for the picture bytes of every row, as offsets into the rows;
// rows without fill bytes form one span.
template <typename F>
void for_each_span(const work_image& image, F f) {
  std::size_t width = static_cast<std::size_t>(image.header.width);
  if (width == image.header.stride) {
    f(std::size_t{0}, width * image.header.rows);
    return;
  }
  for (std::size_t row = 0; row < image.header.rows; ++row) f(row * image.header.stride, width);
}

void zero_fill_bytes(work_image& image) {
  std::size_t width = static_cast<std::size_t>(image.header.width);
  if (width == image.header.stride) return;
  for (std::size_t row = 0; row < image.header.rows; ++row) {
    std::uint8_t* line = image.output_pixels + row * image.header.stride;
    std::fill(line + width, line + image.header.stride, std::uint8_t{0});
  }
}

}  // namespace

// Each value's state jumps straight to the start of its block. The shared state is left
// where it was: this pass runs once per process, last.
draw_tables make_draw_tables(const value_counts& counts, const pixel_plan& plan) {
  draw_tables tables;
  tables.fixed = plan.fixed;
  std::uint32_t start = current_random_state();
  std::uint64_t first_draw = 0;
  for (std::size_t k = 0; k < bmp::PALETTE_ENTRIES; ++k) {
    if (!plan.takes_draw[k]) continue;
    if (plan.decided_by_draw[k]) {
      tables.decided_flags[k] = 0xFF;
      tables.fixed[k] = plan.gray[k];
      tables.entries[k] = {random_state_after(start, first_draw), plan.threshold[k], plan.gray[k]};
    }
    first_draw += counts[k];
  }
  return tables;
}

// One count over all the rows, fill bytes included, which are then taken off again: a
// count per row would add up a table of partial counts for every row.
value_counts count_values(const work_image& image, const pixel_kernels& kernels) {
  value_counts counts{};
  const std::uint8_t* rows = input_pixels(image);
  std::size_t width = static_cast<std::size_t>(image.header.width);
  std::size_t stride = image.header.stride;
  kernels.count(rows, stride * image.header.rows, counts);
  if (width == stride) return counts;
  for (std::size_t row = 0; row < image.header.rows; ++row) {
    for (std::size_t col = width; col < stride; ++col) --counts[rows[row * stride + col]];
  }
  return counts;
}

pixel_plan plan_for_file_values(const pixel_plan& plan, const value_compaction& compaction) {
  pixel_plan by_value;
  for (std::size_t v = 0; v < bmp::PALETTE_ENTRIES; ++v) {
    if (compaction.counts[v] == 0) continue;
    std::size_t rank = compaction.rank[v];
    by_value.fixed[v] = plan.fixed[rank];
    by_value.takes_draw[v] = plan.takes_draw[rank];
    by_value.decided_by_draw[v] = plan.decided_by_draw[rank];
    by_value.threshold[v] = plan.threshold[rank];
    by_value.gray[v] = plan.gray[rank];
  }
  return by_value;
}

void transform_pixels(work_image& image, const pixel_plan& ranked_plan,
                      const pixel_kernels& kernels) {
  // Compaction renumbers in the same pass: the plan is rewritten for the file's values.
  const bool compacted = image.compaction.active;
  const pixel_plan plan =
      compacted ? plan_for_file_values(ranked_plan, image.compaction) : ranked_plan;
  const std::uint8_t* in = input_pixels(image);
  image.output_pixels = input_pixels(image);
  std::uint8_t* out = image.output_pixels;
  if (any_decided_by_draw(plan)) {
    // The compaction counted the rows already.
    draw_tables tables =
        make_draw_tables(compacted ? image.compaction.counts : count_values(image, kernels), plan);
    for_each_span(image, [&](std::size_t offset, std::size_t length) {
      kernels.draw(in + offset, out + offset, length, tables);
    });
  } else {
    for_each_span(image, [&](std::size_t offset, std::size_t length) {
      kernels.map(in + offset, out + offset, length, plan.fixed);
    });
  }
  zero_fill_bytes(image);
}
