#include "palette/pixel_transform.h"

#include <algorithm>

#include "palette/random_sequence.h"

namespace {

using value_counts = std::array<std::uint64_t, bmp::PALETTE_ENTRIES>;

// Calls f(start, length) for the picture bytes of every row; rows without fill bytes
// form one span.
template <typename F>
void for_each_span(const work_image& image, F f) {
  std::uint8_t* pixels = image.output_pixels;
  std::size_t width = static_cast<std::size_t>(image.width);
  if (width == image.stride) {
    f(pixels, width * image.rows);
    return;
  }
  for (std::size_t row = 0; row < image.rows; ++row) f(pixels + row * image.stride, width);
}

void zero_fill_bytes(work_image& image) {
  std::size_t width = static_cast<std::size_t>(image.width);
  if (width == image.stride) return;
  for (std::size_t row = 0; row < image.rows; ++row) {
    std::uint8_t* line = image.output_pixels + row * image.stride;
    std::fill(line + width, line + image.stride, std::uint8_t{0});
  }
}

void map_span(std::uint8_t* span, std::size_t length,
              const std::array<std::uint8_t, bmp::PALETTE_ENTRIES>& table) {
  for (std::size_t i = 0; i < length; ++i) span[i] = table[span[i]];
}

// Each value's pixels draw a contiguous block of the sequence, after the blocks of all
// smaller values that take draws; its state jumps straight to the start of its block.
std::array<std::uint32_t, bmp::PALETTE_ENTRIES> block_start_states(const value_counts& counts,
                                                                   const pixel_plan& plan) {
  std::array<std::uint32_t, bmp::PALETTE_ENTRIES> states{};
  std::uint32_t start = current_random_state();
  std::uint64_t first_draw = 0;
  for (std::size_t k = 0; k < bmp::PALETTE_ENTRIES; ++k) {
    if (!plan.takes_draw[k]) continue;
    states[k] = random_state_after(start, first_draw);
    first_draw += counts[k];
  }
  return states;
}

void draw_span(std::uint8_t* span, std::size_t length, const pixel_plan& plan,
               std::array<std::uint32_t, bmp::PALETTE_ENTRIES>& states) {
  for (std::size_t i = 0; i < length; ++i) {
    std::uint8_t value = span[i];
    if (!plan.decided_by_draw[value]) {
      span[i] = plan.fixed[value];
      continue;
    }
    int drawn = draw_random(states[value]);
    span[i] = drawn < plan.threshold[value] ? 0 : plan.gray[value];
  }
}

}  // namespace

value_counts count_values(const work_image& image) {
  // Four tables, so that runs of one value do not wait on their own increments.
  std::array<value_counts, 4> partial{};
  for_each_span(image, [&](const std::uint8_t* span, std::size_t length) {
    std::size_t i = 0;
    for (; i + 4 <= length; i += 4) {
      ++partial[0][span[i]];
      ++partial[1][span[i + 1]];
      ++partial[2][span[i + 2]];
      ++partial[3][span[i + 3]];
    }
    for (; i < length; ++i) ++partial[0][span[i]];
  });
  value_counts counts{};
  for (std::size_t k = 0; k < bmp::PALETTE_ENTRIES; ++k) {
    counts[k] = partial[0][k] + partial[1][k] + partial[2][k] + partial[3][k];
  }
  return counts;
}

void transform_pixels(work_image& image, const pixel_plan& plan) {
  if (plan.any_decided_by_draw) {
    auto states = block_start_states(count_values(image), plan);
    for_each_span(image, [&](std::uint8_t* span, std::size_t length) {
      draw_span(span, length, plan, states);
    });
  } else {
    for_each_span(
        image, [&](std::uint8_t* span, std::size_t length) { map_span(span, length, plan.fixed); });
  }
  zero_fill_bytes(image);
}
