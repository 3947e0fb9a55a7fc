#include <algorithm>

#include "used_colors.h"

#include "palette_entry.h"

namespace {

bool is_extreme(std::uint8_t component) {
  return component == 0 || component == 255;
}

// Black, white and the pure primaries and secondaries count as unused at the top.
bool only_extremes(rgb color) {
  return is_extreme(color.red) && is_extreme(color.green) && is_extreme(color.blue);
}

}  // namespace

std::int64_t colors_used_read(const work_image& image) {
  return image.compaction.active ? image.compaction.distinct : image.header.colors_used;
}

bool used_count_guessed(const work_image& image) {
  std::int64_t colors_used = colors_used_read(image);
  return colors_used == 0 || colors_used == bmp::PALETTE_ENTRIES;
}

std::int64_t palette_guess(const work_image& image) {
  for (int index = bmp::PALETTE_ENTRIES - 1; index >= 0; --index) {
    if (!only_extremes(input_palette_color(image, index))) return index + 2;
  }
  return 1;
}

std::int64_t count_used_colors(const work_image& image, std::optional<int> highest_pixel) {
  if (!used_count_guessed(image)) return colors_used_read(image) + 1;
  std::int64_t guess = palette_guess(image);
  return highest_pixel ? std::max<std::int64_t>(guess, *highest_pixel + 2) : guess;
}

refusal check_palette_room(std::int64_t used_count) {
  return used_count <= bmp::PALETTE_ENTRIES - 1 ? refusal::none : refusal::palette_full;
}
