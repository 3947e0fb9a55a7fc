#include "pixel_transform.h"

#include <algorithm>
#include <atomic>

#include "image/input_checks.h"
#include "near_background.h"
#include "random_sequence.h"
#include "row_ranges.h"

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

// Calls f(offset, length) for the picture bytes of every row of the range, as offsets from
// the range's first row; rows without fill bytes form one span. Stops where f returns false.
template <typename F>
bool for_each_span(const work_image& image, row_range range, F f) {
  std::size_t width = static_cast<std::size_t>(image.header.width);
  std::size_t stride = image.header.stride;
  std::size_t rows = range.end - range.first;
  if (width == stride) return f(0, width * rows);
  for (std::size_t row = 0; row < rows; ++row) {
    if (!f(row * stride, width)) return false;
  }
  return true;
}

// The range's first row in rows that start at `rows`.
template <typename Byte>
Byte* range_start(const work_image& image, Byte* rows, row_range range) {
  return rows + range.first * image.header.stride;
}

// `rows` holds the range's rows.
void zero_fill_bytes(const work_image& image, row_range range, std::uint8_t* rows) {
  std::size_t width = static_cast<std::size_t>(image.header.width);
  if (width == image.header.stride) return;
  for (std::size_t row = 0; row < range.end - range.first; ++row) {
    std::uint8_t* line = rows + row * image.header.stride;
    std::fill(line + width, line + image.header.stride, std::uint8_t{0});
  }
}

// One count over the range's rows (held at `rows`), fill bytes included, which are then
// taken off again: a count per row would add up a table of partial counts for every row.
value_counts count_range(const work_image& image, row_range range, const std::uint8_t* rows,
                         const pixel_kernels& kernels) {
  value_counts counts{};
  std::size_t width = static_cast<std::size_t>(image.header.width);
  std::size_t stride = image.header.stride;
  std::size_t length = stride * (range.end - range.first);
  kernels.count(rows, length, counts);
  if (width == stride) return counts;
  for (std::size_t row = 0; row < range.end - range.first; ++row) {
    for (std::size_t col = width; col < stride; ++col) --counts[rows[row * stride + col]];
  }
  return counts;
}

std::uint32_t range_bytes(const work_image& image, row_range range) {
  return static_cast<std::uint32_t>(image.header.stride * (range.end - range.first));
}

// Streamed rows: the range read into the band; null once a read or write has failed.
std::uint8_t* read_band(work_image& image, row_range range) {
  streamed_rows& streamed = image.streamed;
  if (streamed.failed != refusal::none) return nullptr;
  std::uint64_t offset =
      image.header.pixel_offset + std::uint64_t{image.header.stride} * range.first;
  if (!(*streamed.read)(offset, streamed.band, range_bytes(image, range))) {
    streamed.failed = refusal::read_failed;
    return nullptr;
  }
  return streamed.band;
}

// The band, transformed, to its place among the output's rows.
void write_band(work_image& image, row_range range) {
  streamed_rows& streamed = image.streamed;
  std::uint64_t offset =
      bmp::OUTPUT_PIXEL_OFFSET + std::uint64_t{image.header.stride} * range.first;
  if (!(*streamed.write)(offset, streamed.band, range_bytes(image, range)))
    streamed.failed = refusal::write_failed;
}

std::vector<value_counts> count_bands(work_image& image, const pixel_kernels& kernels) {
  std::vector<row_range> ranges = ranges_of(image);
  std::vector<value_counts> parts(ranges.size());
  for (std::size_t part = 0; part < ranges.size(); ++part) {
    if (const std::uint8_t* rows = read_band(image, ranges[part]))
      parts[part] = count_range(image, ranges[part], rows, kernels);
  }
  return parts;
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
  // With the grays in, the used count leaves room for all of them.
  for (int g = image.used_count; g < image.used_count + GRAY_COUNT; ++g)
    gray += output[static_cast<std::size_t>(g)];
  return {matched - gray, gray};
}

}  // namespace

// Each value's state jumps straight to the start of its block; the first block starts
// the sequence.
draw_tables make_draw_tables(const value_counts& counts, const pixel_plan& plan) {
  draw_tables tables;
  tables.fixed = plan.fixed;
  const std::uint32_t start = RANDOM_START_STATE;
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
  const std::uint8_t* rows = input_pixels(image);
  run_parts(ranges.size(), [&](std::size_t part) {
    parts[part] = count_range(image, ranges[part], range_start(image, rows, ranges[part]), kernels);
  });
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

pixel_plan plan_for_file_values(const pixel_plan& plan, const value_compaction& compaction,
                                const value_counts& counts) {
  pixel_plan by_value;
  for (std::size_t v = 0; v < bmp::PALETTE_ENTRIES; ++v) {
    if (counts[v] == 0) continue;
    std::size_t rank = compaction.rank[v];
    by_value.fixed[v] = plan.fixed[rank];
    by_value.takes_draw[v] = plan.takes_draw[rank];
    by_value.decided_by_draw[v] = plan.decided_by_draw[rank];
    by_value.threshold[v] = plan.threshold[rank];
    by_value.gray[v] = plan.gray[rank];
  }
  return by_value;
}

void count_rows(work_image& image, const pixel_kernels& kernels) {
  if (image.census.known) return;
  image.census.parts =
      rows_are_streamed(image) ? count_bands(image, kernels) : count_parts(image, kernels);
  image.census.total = sum_counts(image.census.parts);
  image.census.known = true;
}

namespace {

// Whether the checked pass can be undone: below the limit, the map must tell every value
// apart.
bool map_tells_values_apart(const work_image& image, const value_table& table) {
  std::array<bool, bmp::PALETTE_ENTRIES> taken{};
  for (int v = 0; v < image.pixel_limit; ++v) {
    bool& seen = taken[table[static_cast<std::size_t>(v)]];
    if (seen) return false;
    seen = true;
  }
  return true;
}

// Small enough to stay in the first-level cache between its check and its map, so that the
// check costs no extra trip to memory.
constexpr std::size_t CHECKED_CHUNK = 4 * 1024;

// Maps the range chunk by chunk while every chunk lies below the limit (and no other range
// has found one that does not); returns the picture bytes mapped. The fill bytes wait for
// every range to pass: the input palette may reach into the rows, and a plan made again
// reads it.
std::size_t map_checked(work_image& image, row_range range, const value_table& table,
                        const pixel_kernels& kernels, std::atomic<bool>& broken) {
  std::uint8_t* rows = range_start(image, image.output_pixels, range);
  auto limit = static_cast<std::uint8_t>(image.pixel_limit);
  std::size_t mapped = 0;
  for_each_span(image, range, [&](std::size_t offset, std::size_t length) {
    for (std::size_t done = 0; done < length; done += CHECKED_CHUNK) {
      std::size_t chunk = std::min(CHECKED_CHUNK, length - done);
      std::uint8_t* at = rows + offset + done;
      if (broken.load(std::memory_order_relaxed) || kernels.highest(at, chunk) >= limit) {
        broken.store(true, std::memory_order_relaxed);
        return false;
      }
      kernels.map(at, at, chunk, table);
      mapped += chunk;
    }
    return true;
  });
  return mapped;
}

// Maps back the first `mapped` picture bytes of the range.
void unmap(work_image& image, row_range range, std::size_t mapped, const value_table& inverse,
           const pixel_kernels& kernels) {
  std::uint8_t* rows = range_start(image, image.output_pixels, range);
  for_each_span(image, range, [&](std::size_t offset, std::size_t length) {
    std::size_t part = std::min(length, mapped);
    kernels.map(rows + offset, rows + offset, part, inverse);
    mapped -= part;
    return mapped != 0;
  });
}

// The checked pass: false, with the rows as read, where a pixel breaks the plan.
bool map_while_below_limit(work_image& image, const std::vector<row_range>& ranges,
                           const value_table& table, const pixel_kernels& kernels) {
  std::vector<std::size_t> mapped(ranges.size());
  std::atomic<bool> broken{false};
  run_parts(ranges.size(), [&](std::size_t part) {
    mapped[part] = map_checked(image, ranges[part], table, kernels, broken);
  });
  if (!broken.load()) {
    for (row_range range : ranges)
      zero_fill_bytes(image, range, range_start(image, image.output_pixels, range));
    return true;
  }
  value_table inverse{};
  for (int v = 0; v < image.pixel_limit; ++v)
    inverse[table[static_cast<std::size_t>(v)]] = static_cast<std::uint8_t>(v);
  run_parts(ranges.size(),
            [&](std::size_t part) { unmap(image, ranges[part], mapped[part], inverse, kernels); });
  return false;
}

// One range's pass, its rows at `in` and its results at `out` (the same bytes, or apart):
// drawn from `tables` where there are draws, else mapped by the plan.
void transform_range(const work_image& image, row_range range, const std::uint8_t* in,
                     std::uint8_t* out, const pixel_plan& plan, draw_tables* tables,
                     const pixel_kernels& kernels) {
  for_each_span(image, range, [&](std::size_t offset, std::size_t length) {
    if (tables != nullptr)
      kernels.draw(in + offset, out + offset, length, *tables);
    else
      kernels.map(in + offset, out + offset, length, plan.fixed);
    return true;
  });
  zero_fill_bytes(image, range, out);
}

// Streamed rows, band after band on this thread, each transformed in the band and written
// out; the draws go on from one band to the next as in one range. False where a pixel
// breaks a plan made on a guess (`checked`): the bands written are then written again.
bool transform_bands(work_image& image, const pixel_plan& plan, draw_tables* tables, bool checked,
                     const pixel_kernels& kernels) {
  auto limit = static_cast<std::uint8_t>(image.pixel_limit);
  // The output takes its whole length first: a file kept in memory (the page's, the npm
  // API's) then grows once, not by a copy of itself at every band.
  const std::uint8_t last = 0;
  auto end = static_cast<std::uint64_t>(output_length(image));
  if (!(*image.streamed.write)(end - 1, &last, 1)) {
    image.streamed.failed = refusal::write_failed;
    return true;
  }
  for (row_range range : ranges_of(image)) {
    std::uint8_t* rows = read_band(image, range);
    // The failure is the translation's to tell.
    if (rows == nullptr) return true;
    if (checked && !for_each_span(image, range, [&](std::size_t offset, std::size_t length) {
          return kernels.highest(rows + offset, length) < limit;
        }))
      return false;
    transform_range(image, range, rows, rows, plan, tables, kernels);
    write_band(image, range);
  }
  return true;
}

}  // namespace

bool transform_pixels(work_image& image, const pixel_plan& ranked_plan,
                      const pixel_kernels& kernels, near_background_tally* tally) {
  const bool draws = any_decided_by_draw(ranked_plan);
  const bool assumed = image.pixel_limit < bmp::PALETTE_ENTRIES;
  // The counts come first where the draws or the tally need them, or where a map that
  // breaks the plan could not be undone; they settle the limit at once.
  if (draws || tally != nullptr || (assumed && !map_tells_values_apart(image, ranked_plan.fixed)))
    count_rows(image, kernels);
  if (image.census.known) {
    std::optional<int> highest = highest_value(image.census.total);
    if (highest && *highest >= image.pixel_limit) return false;
  }
  // Compaction renumbers in the same pass: the plan is rewritten for the file's values.
  const bool compacted = image.compaction.active;
  const pixel_plan plan =
      compacted ? plan_for_file_values(ranked_plan, image.compaction, image.census.total)
                : ranked_plan;
  const bool checked = !draws && assumed && !image.census.known;
  if (rows_are_streamed(image)) {
    draw_tables tables = draws ? make_draw_tables(image.census.total, plan) : draw_tables{};
    return transform_bands(image, plan, draws ? &tables : nullptr, checked, kernels);
  }
  const std::uint8_t* in = input_pixels(image);
  image.output_pixels = input_pixels(image);
  std::uint8_t* out = image.output_pixels;
  std::vector<row_range> ranges = ranges_of(image);
  if (checked) {
    if (!map_while_below_limit(image, ranges, plan.fixed, kernels)) return false;
  } else {
    const draw_tables first = draws ? make_draw_tables(image.census.total, plan) : draw_tables{};
    run_parts(ranges.size(), [&](std::size_t part) {
      draw_tables tables = draws ? tables_for_part(first, image.census.parts, part) : first;
      transform_range(image, ranges[part], range_start(image, in, ranges[part]),
                      range_start(image, out, ranges[part]), plan, draws ? &tables : nullptr,
                      kernels);
    });
  }
  if (tally != nullptr) *tally = tally_of(image, plan, image.census.total, kernels);
  return true;
}
