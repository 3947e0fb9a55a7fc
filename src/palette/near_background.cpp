#include "palette/near_background.h"

#include <algorithm>
#include <cstdlib>

#include "bitmap/palette_entry.h"
#include "palette/random_sequence.h"

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

// The largest per-channel difference from the background, or -1 outside the tolerances.
int background_distance(rgb color, rgb background, tolerances limit) {
  int red = std::abs(color.red - background.red);
  int green = std::abs(color.green - background.green);
  int blue = std::abs(color.blue - background.blue);
  if (red > limit.red || green > limit.green || blue > limit.blue) return -1;
  return std::max({red, green, blue});
}

// Each of the three operations is rounded to double, in this order.
bool draws_background(int drawn, int distance, int max_tolerance, float background_share) {
  double v = static_cast<double>(drawn) * static_cast<double>(RANDOM_STEP);
  v = v * distance;
  v = v / max_tolerance;
  return v < static_cast<double>(background_share);
}

// Pixels are matched on the unchanged input; one draw per match, rows then columns.
void convert_matches(work_image& image, int k, int distance, int max_tolerance,
                     float background_share) {
  auto gray = static_cast<std::uint8_t>(image.used_count + nearest_gray(image, k));
  const std::uint8_t* in = input_pixels(image);
  std::uint8_t* out = output_pixels(image);
  std::size_t width = static_cast<std::size_t>(image.width);
  for (std::size_t row = 0; row < image.rows; ++row) {
    std::size_t start = row * image.stride;
    for (std::size_t at = start; at < start + width; ++at) {
      if (in[at] != k) continue;
      out[at] =
          draws_background(next_random(), distance, max_tolerance, background_share) ? 0 : gray;
    }
  }
}

}  // namespace

int near_background_pass(work_image& image, int red_tolerance, int green_tolerance,
                         int blue_tolerance, float background_share) {
  if (static_cast<double>(background_share) <= MIN_BACKGROUND_SHARE) return 0;
  if (image.used_count > MAX_USED_FOR_GRAYS) return -2;
  append_gray_ramp(image);
  tolerances limit{red_tolerance, green_tolerance, blue_tolerance};
  if (limit.largest() <= 0) return 0;
  rgb background = output_palette_color(image, 0);
  for (int k = 0; k < bmp::PALETTE_ENTRIES; ++k) {
    // Test the colour these pixels show now, wherever the clamp and the swaps sent them.
    rgb shown = output_palette_color(image, image.index_map[static_cast<std::size_t>(k)]);
    int distance = background_distance(shown, background, limit);
    if (distance >= 0) convert_matches(image, k, distance, limit.largest(), background_share);
  }
  return 0;
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
