#include "palette/slot_placement.h"

#include <array>

#include "bitmap/palette_entry.h"

namespace {

struct slot_step {
  int source;
  int slot;
  rgb color;
};

// Step 0's source is the first stored pixel, read when the table is applied.
constexpr int BACKGROUND_SOURCE = 256;

constexpr std::array<slot_step, 8> SLOT_TABLE = {{
    {BACKGROUND_SOURCE, 0, {}},
    {PLACE_FIND_OR_APPEND, 5, {255, 255, 0}},
    {PLACE_FIND_OR_APPEND, 4, {255, 0, 255}},
    {PLACE_FIND_OR_APPEND, 1, {255, 150, 255}},
    {PLACE_APPEND, 2, {1, 1, 255}},
    {PLACE_APPEND, 3, {1, 2, 255}},
    {PLACE_APPEND, 6, {1, 3, 255}},
    {PLACE_APPEND, 7, {1, 4, 255}},
}};

// The highest entry holding the colour, or -1. Every entry is searched, used or not.
int find_color(const work_image& image, rgb color) {
  for (int index = bmp::PALETTE_ENTRIES - 1; index >= 0; --index) {
    if (output_palette_color(image, index) == color) return index;
  }
  return -1;
}

// Overwrites entry used_count whatever it holds; -1 when the palette is full.
int append_color(work_image& image, rgb color) {
  if (check_palette_room(image.used_count) != 0) return -1;
  set_output_palette_color(image, image.used_count, color);
  return image.used_count++;
}

int resolve_source(work_image& image, int source, rgb color) {
  if (source == PLACE_FIND_OR_APPEND) {
    int found = find_color(image, color);
    return found >= 0 ? found : append_color(image, color);
  }
  if (source == PLACE_APPEND) return append_color(image, color);
  return source;
}

std::uint8_t exchanged(std::uint8_t value, std::uint8_t a, std::uint8_t b) {
  if (value == a) return b;
  if (value == b) return a;
  return value;
}

void remap_pixels(work_image& image, std::uint8_t a, std::uint8_t b) {
  std::uint8_t* pixels = output_pixels(image);
  std::size_t width = static_cast<std::size_t>(image.width);
  for (std::size_t row = 0; row < image.rows; ++row) {
    std::uint8_t* line = pixels + row * image.stride;
    for (std::size_t col = 0; col < width; ++col) line[col] = exchanged(line[col], a, b);
  }
  for (std::uint8_t& value : image.index_map) value = exchanged(value, a, b);
}

}  // namespace

int place_color(work_image& image, int source, int slot, std::uint8_t red, std::uint8_t green,
                std::uint8_t blue) {
  source = resolve_source(image, source, {red, green, blue});
  if (source < 0) return -1;
  if (source == slot) return 0;
  swap_output_palette_colors(image, source, slot);
  remap_pixels(image, static_cast<std::uint8_t>(source), static_cast<std::uint8_t>(slot));
  return 0;
}

int apply_slot_table(work_image& image) {
  for (const slot_step& step : SLOT_TABLE) {
    int source = step.source == BACKGROUND_SOURCE ? first_input_pixel(image) : step.source;
    if (place_color(image, source, step.slot, step.color.red, step.color.green, step.color.blue) !=
        0)
      return -1;
  }
  return 0;
}
