#include "palette/slot_placement.h"

#include "bitmap/palette_entry.h"

namespace {

int resolve_source(work_image& image, int source, rgb color) {
  if (source == PLACE_FIND_OR_APPEND) {
    int found = find_palette_color(image, color.red, color.green, color.blue);
    return found >= 0 ? found : append_palette_color(image, color.red, color.green, color.blue);
  }
  if (source == PLACE_APPEND)
    return append_palette_color(image, color.red, color.green, color.blue);
  return source;
}

std::uint8_t exchanged(std::uint8_t value, std::uint8_t a, std::uint8_t b) {
  if (value == a) return b;
  if (value == b) return a;
  return value;
}

// Pixels are renumbered later in one pass through index_map, which composes every swap.
void remap_index_map(work_image& image, std::uint8_t a, std::uint8_t b) {
  for (std::uint8_t& value : image.index_map) value = exchanged(value, a, b);
}

}  // namespace

int find_palette_color(const work_image& image, std::uint8_t red, std::uint8_t green,
                       std::uint8_t blue) {
  for (int index = bmp::PALETTE_ENTRIES - 1; index >= 0; --index) {
    if (output_palette_color(image, index) == rgb{red, green, blue}) return index;
  }
  return -1;
}

int append_palette_color(work_image& image, std::uint8_t red, std::uint8_t green,
                         std::uint8_t blue) {
  if (check_palette_room(image.used_count) != 0) return -1;
  set_output_palette_color(image, image.used_count, {red, green, blue});
  return image.used_count++;
}

int place_color(work_image& image, int source, int slot, std::uint8_t red, std::uint8_t green,
                std::uint8_t blue) {
  source = resolve_source(image, source, {red, green, blue});
  if (source < 0) return -1;
  if (source == slot) return 0;
  swap_output_palette_colors(image, source, slot);
  remap_index_map(image, static_cast<std::uint8_t>(source), static_cast<std::uint8_t>(slot));
  return 0;
}

bool apply_slot_table(work_image& image) {
  for (const slot_step& step : SLOT_TABLE) {
    int source = step.source == BACKGROUND_SOURCE ? first_input_pixel(image) : step.source;
    if (place_color(image, source, step.slot, step.color.red, step.color.green, step.color.blue) !=
        0)
      return false;
  }
  return true;
}
