#include "palette/pixel_transform.h"

#include <algorithm>

#include "palette/random_sequence.h"
#include "palette/row_ranges.h"

namespace {

// Rows [first, end) of the picture, one thread's share.
struct row_range {
  std::size_t first;
  std::size_t end;
};

std::vector<row_range> ranges_of(const work_image& image) {
  std::vector<row_range> ranges;
  std::size_t first = 0;
  for (std::uint32_t cut : image.row_cuts) {
    ranges.push_back({first, cut});
    first = cut;
  }
  ranges.push_back({first, image.header.rows});
  return ranges;
}

// Calls f(offset, length) for the picture bytes of every row of the range, as offsets into
// the rows; rows without fill bytes form one span.
template <typename F>
void for_each_span(const work_image& image, row_range range, F f) {
  std::size_t width = static_cast<std::size_t>(image.header.width);
  std::size_t stride = image.header.stride;
  if (width == stride) {
    f(range.first * stride, width * (range.end - range.first));
    return;
  }
  for (std::size_t row = range.first; row < range.end; ++row) f(row * stride, width);
}

void zero_fill_bytes(work_image& image, row_range range) {
  std::size_t width = static_cast<std::size_t>(image.header.width);
  if (width == image.header.stride) return;
  for (std::size_t row = range.first; row < range.end; ++row) {
    std::uint8_t* line = image.output_pixels + row * image.header.stride;
    std::fill(line + width, line + image.header.stride, std::uint8_t{0});
  }
}

// One count over the range's rows, fill bytes included, which are then taken off again: a
// count per row would add up a table of partial counts for every row.
value_counts count_range(const work_image& image, row_range range, const pixel_kernels& kernels) {
  value_counts counts{};
  const std::uint8_t* rows = input_pixels(image);
  std::size_t width = static_cast<std::size_t>(image.header.width);
  std::size_t stride = image.header.stride;
  kernels.count(rows + range.first * stride, stride * (range.end - range.first), counts);
  if (width == stride) return counts;
  for (std::size_t row = range.first; row < range.end; ++row) {
    for (std::size_t col = width; col < stride; ++col) --counts[rows[row * stride + col]];
  }
  return counts;
}

// The tables for one range: each value's state moved past the draws of its pixels in the
// ranges above.
draw_tables tables_for_part(const draw_tables& first, const std::vector<value_counts>& parts,
                            std::size_t part) {
  draw_tables tables = first;
  for (std::size_t k = 0; k < bmp::PALETTE_ENTRIES; ++k) {
    if (tables.decided_flags[k] == 0) continue;
    std::uint64_t above = 0;
    for (std::size_t p = 0; p < part; ++p) above += parts[p][k];
    tables.entries[k].state = random_state_after(tables.entries[k].state, above);
  }
  return tables;
}

// Matched pixels, from the input's counts; gray ones, from the output's, whose gray
// indices follow the used entries.
near_background_tally tally_of(const work_image& image, const pixel_plan& plan,
                               const value_counts& input, const pixel_kernels& kernels) {
  std::uint64_t matched = 0;
  for (std::size_t v = 0; v < bmp::PALETTE_ENTRIES; ++v)
    matched += plan.takes_draw[v] ? input[v] : 0;
  value_counts output = count_values(image, kernels);
  std::uint64_t gray = 0;
  for (int g = image.used_count; g < image.used_count + 7 && g < bmp::PALETTE_ENTRIES; ++g)
    gray += output[static_cast<std::size_t>(g)];
  return {matched - gray, gray};
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

std::vector<value_counts> count_parts(const work_image& image, const pixel_kernels& kernels) {
  std::vector<row_range> ranges = ranges_of(image);
  std::vector<value_counts> parts(ranges.size());
  run_parts(ranges.size(),
            [&](std::size_t part) { parts[part] = count_range(image, ranges[part], kernels); });
  return parts;
}

value_counts sum_counts(const std::vector<value_counts>& parts) {
  value_counts total{};
  for (const value_counts& part : parts) {
    for (std::size_t k = 0; k < bmp::PALETTE_ENTRIES; ++k) total[k] += part[k];
  }
  return total;
}

value_counts count_values(const work_image& image, const pixel_kernels& kernels) {
  return sum_counts(count_parts(image, kernels));
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
                      const pixel_kernels& kernels, near_background_tally* tally) {
  // Compaction renumbers in the same pass: the plan is rewritten for the file's values.
  const bool compacted = image.compaction.active;
  const pixel_plan plan =
      compacted ? plan_for_file_values(ranked_plan, image.compaction) : ranked_plan;
  const std::uint8_t* in = input_pixels(image);
  image.output_pixels = input_pixels(image);
  std::uint8_t* out = image.output_pixels;
  std::vector<row_range> ranges = ranges_of(image);
  const bool draws = any_decided_by_draw(plan);
  // The compaction counted the rows already, in the same ranges.
  std::vector<value_counts> parts;
  if (draws || tally != nullptr)
    parts = compacted ? image.compaction.part_counts : count_parts(image, kernels);
  if (draws) {
    const draw_tables first = make_draw_tables(sum_counts(parts), plan);
    run_parts(ranges.size(), [&](std::size_t part) {
      draw_tables tables = tables_for_part(first, parts, part);
      for_each_span(image, ranges[part], [&](std::size_t offset, std::size_t length) {
        kernels.draw(in + offset, out + offset, length, tables);
      });
      zero_fill_bytes(image, ranges[part]);
    });
  } else {
    run_parts(ranges.size(), [&](std::size_t part) {
      for_each_span(image, ranges[part], [&](std::size_t offset, std::size_t length) {
        kernels.map(in + offset, out + offset, length, plan.fixed);
      });
      zero_fill_bytes(image, ranges[part]);
    });
  }
  if (tally != nullptr) *tally = tally_of(image, plan, sum_counts(parts), kernels);
}
