#include "reference_model.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "bitmap/palette_entry.h"
#include "palette/near_background.h"
#include "palette/random_sequence.h"
#include "palette/slot_placement.h"

namespace {

// An image without columns may still claim two billion rows: nothing to visit then.
template <typename F>
void for_each_pixel(const work_image& image, F f) {
  if (image.header.width == 0) return;
  for (std::size_t row = 0; row < image.header.rows; ++row) {
    for (std::size_t col = 0; col < static_cast<std::size_t>(image.header.width); ++col)
      f(row * image.header.stride + col);
  }
}

void copy_rows(work_image& image) {
  std::size_t length = std::size_t{image.header.stride} * image.header.rows;
  if (length == 0) return;
  std::memcpy(image.output_pixels, input_pixels(image), length);
  if (static_cast<std::uint32_t>(image.header.width) == image.header.stride) return;
  for (std::size_t row = 0; row < image.header.rows; ++row) {
    std::uint8_t* line = image.output_pixels + row * image.header.stride;
    std::fill(line + image.header.width, line + image.header.stride, std::uint8_t{0});
  }
}

void normalize_indices(work_image& image) {
  auto catch_all = static_cast<std::uint8_t>(image.used_count - 1);
  for_each_pixel(image, [&](std::size_t at) {
    if (image.output_pixels[at] >= image.used_count) image.output_pixels[at] = catch_all;
  });
}

std::uint8_t exchanged(std::uint8_t value, int a, int b) {
  if (value == a) return static_cast<std::uint8_t>(b);
  if (value == b) return static_cast<std::uint8_t>(a);
  return value;
}

int place_color_literally(work_image& image, int source, int slot, rgb color) {
  if (source == PLACE_FIND_OR_APPEND)
    source = find_palette_color(image, color.red, color.green, color.blue);
  if (source < 0) source = append_palette_color(image, color.red, color.green, color.blue);
  if (source < 0) return -1;
  if (source == slot) return 0;
  swap_output_palette_colors(image, source, slot);
  for_each_pixel(image, [&](std::size_t at) {
    image.output_pixels[at] = exchanged(image.output_pixels[at], source, slot);
  });
  // Where the pixels of each input value went: the near-background test reads it.
  for (std::uint8_t& value : image.index_map) value = exchanged(value, source, slot);
  return 0;
}

int apply_slot_table_literally(work_image& image) {
  const struct {
    int source;
    int slot;
    rgb color;
  } table[] = {
      {first_input_pixel(image), 0, {}},        {PLACE_FIND_OR_APPEND, 5, {255, 255, 0}},
      {PLACE_FIND_OR_APPEND, 4, {255, 0, 255}}, {PLACE_FIND_OR_APPEND, 1, {255, 150, 255}},
      {PLACE_APPEND, 2, {1, 1, 255}},           {PLACE_APPEND, 3, {1, 2, 255}},
      {PLACE_APPEND, 6, {1, 3, 255}},           {PLACE_APPEND, 7, {1, 4, 255}},
  };
  for (const auto& step : table) {
    if (place_color_literally(image, step.source, step.slot, step.color) != 0) return -1;
  }
  return 0;
}

int near_background_literally(work_image& image, const translation_parameters& p) {
  if (static_cast<double>(p.background_share) <= 0.0001) return 0;
  if (image.used_count > 248) return -2;
  for (int i = 0; i < 7; ++i) {
    auto level = static_cast<std::uint8_t>(gray_ramp[static_cast<std::size_t>(i)]);
    set_output_palette_color(image, image.used_count + i, {level, level, level});
  }
  int max_tolerance = std::max({p.red_tolerance, p.green_tolerance, p.blue_tolerance});
  if (max_tolerance <= 0) return 0;
  rgb background = output_palette_color(image, 0);
  for (int k = 0; k < 256; ++k) {
    rgb shown = output_palette_color(image, image.index_map[static_cast<std::size_t>(k)]);
    int red = std::abs(shown.red - background.red);
    int green = std::abs(shown.green - background.green);
    int blue = std::abs(shown.blue - background.blue);
    if (red > p.red_tolerance || green > p.green_tolerance || blue > p.blue_tolerance) continue;
    int distance = std::max({red, green, blue});
    auto gray = static_cast<std::uint8_t>(image.used_count + nearest_gray(image, k));
    for_each_pixel(image, [&](std::size_t at) {
      if (input_pixels(image)[at] != k) return;
      double v = ((next_random() * static_cast<double>(RANDOM_STEP)) * distance) / max_tolerance;
      image.output_pixels[at] = v < static_cast<double>(p.background_share) ? 0 : gray;
    });
  }
  return 0;
}

}  // namespace

translation_report reference_translate(const translation_memory& memory,
                                       const translation_parameters& parameters, work_image& image,
                                       std::vector<std::uint8_t>& rows) {
  // Compaction is the caller's to apply literally (compacted_file): the steps below read the
  // file's own pixel values.
  translation_report report = prepare_translation(memory, {}, image);
  if (!report.done()) return report;
  rows.assign(std::size_t{image.header.stride} * image.header.rows, 0);
  image.output_pixels = rows.data();
  copy_rows(image);
  normalize_indices(image);
  report.used_count = image.used_count;
  if (apply_slot_table_literally(image) != 0) {
    report.refused = refusal::palette_full;
    return report;
  }
  report.used_count = image.used_count;
  if (near_background_literally(image, parameters) != 0)
    report.refused = refusal::no_room_for_grays;
  return report;
}
