#include "near_background.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "image/palette_entry.h"
#include "random_sequence.h"

namespace {

struct tolerances {
  int red;
  int green;
  int blue;
  int largest() const { return std::max({red, green, blue}); }
};

void append_gray_ramp(work_image& image) {
  for (std::size_t i = 0; i < gray_ramp.size(); ++i) {
    auto level = static_cast<std::uint8_t>(gray_ramp[i]);
    set_output_palette_color(image, image.used_count + static_cast<int>(i), {level, level, level});
  }
}

// The largest per-channel difference from the background; none outside the tolerances.
std::optional<int> background_distance(rgb color, rgb background, tolerances limit) {
  int red = std::abs(color.red - background.red);
  int green = std::abs(color.green - background.green);
  int blue = std::abs(color.blue - background.blue);
  if (red > limit.red || green > limit.green || blue > limit.blue) return std::nullopt;
  return std::max({red, green, blue});
}

void plan_matched_value(const work_image& image, std::size_t k, int threshold, pixel_plan& plan) {
  auto gray =
      static_cast<std::uint8_t>(image.used_count + nearest_gray(image, static_cast<int>(k)));
  plan.takes_draw[k] = true;
  if (threshold > RANDOM_MAX) {
    plan.fixed[k] = 0;
  } else if (threshold == 0) {
    plan.fixed[k] = gray;
  } else {
    plan.decided_by_draw[k] = true;
    plan.threshold[k] = static_cast<std::uint16_t>(threshold);
    plan.gray[k] = gray;
  }
}

}  // namespace

refusal near_background_pass(work_image& image, int red_tolerance, int green_tolerance,
                             int blue_tolerance, float background_share, pixel_plan& plan) {
  plan = plan_without_draws(image.index_map);
  if (!near_background_step_on(background_share)) return refusal::none;
  if (image.used_count > MAX_USED_FOR_GRAYS) return refusal::no_room_for_grays;
  append_gray_ramp(image);
  tolerances limit{red_tolerance, green_tolerance, blue_tolerance};
  if (limit.largest() <= 0) return refusal::none;
  rgb background = output_palette_color(image, 0);
  for (std::size_t k = 0; k < bmp::PALETTE_ENTRIES; ++k) {
    // Test the colour these pixels show now, wherever the clamp and the swaps sent them.
    std::optional<int> distance =
        background_distance(output_palette_color(image, image.index_map[k]), background, limit);
    if (!distance) continue;
    plan_matched_value(image, k, background_threshold(*distance, limit.largest(), background_share),
                       plan);
  }
  return refusal::none;
}

int nearest_gray(const work_image& image, int k) {
  rgb color = input_palette_color(image, k);
  int brightest = std::max({color.red, color.green, color.blue});
  int nearest = 0;
  for (int i = 1; i < static_cast<int>(gray_ramp.size()); ++i) {
    if (std::abs(gray_ramp[static_cast<std::size_t>(i)] - brightest) <
        std::abs(gray_ramp[static_cast<std::size_t>(nearest)] - brightest)) {
      nearest = i;
    }
  }
  return nearest;
}

// Each of the three operations is rounded to double, in this order.
bool draws_background(int drawn, int distance, int max_tolerance, float background_share) {
  double v = static_cast<double>(drawn) * static_cast<double>(RANDOM_STEP);
  v = v * distance;
  v = v / max_tolerance;
  return v < static_cast<double>(background_share);
}

// v never falls as the drawn number grows, so the background numbers form a prefix.
int background_threshold(int distance, int max_tolerance, float background_share) {
  int low = 0;
  int high = RANDOM_MAX + 1;
  while (low < high) {
    int middle = low + (high - low) / 2;
    if (draws_background(middle, distance, max_tolerance, background_share)) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low;
}
