#include "slot_placement.h"

#include <utility>

#include "image/compaction.h"
#include "image/input_checks.h"
#include "image/palette_entry.h"

namespace {

std::optional<int> resolve_source(work_image& image, held_entries& held, slot_source source,
                                  rgb color) {
  switch (source.kind) {
    case source_kind::background:
      return first_input_pixel(image);
    case source_kind::entry:
      return source.entry;
    case source_kind::find_or_append: {
      std::optional<int> found = find_palette_color(image, color);
      return found ? found : append_palette_color(image, held, color);
    }
    case source_kind::append:
      return append_palette_color(image, held, color);
  }
  return std::nullopt;
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

bool held_entries_matter(const work_image& image) {
  return image.used_count < FIXED_SLOTS || first_input_pixel(image) >= image.used_count;
}

held_entries entries_in_use(const work_image& image) {
  held_entries held{};
  if (!image.census.known) {
    // The room check keeps the used count below 256.
    for (int k = 0; k < image.used_count; ++k) held[static_cast<std::size_t>(k)] = true;
    return held;
  }
  value_counts picture = picture_counts(image);
  for (std::size_t v = 0; v < bmp::PALETTE_ENTRIES; ++v) {
    if (picture[v] != 0) held[image.index_map[v]] = true;
  }
  return held;
}

std::optional<int> find_palette_color(const work_image& image, rgb color) {
  for (int index = bmp::PALETTE_ENTRIES - 1; index >= 0; --index) {
    if (output_palette_color(image, index) == color) return index;
  }
  return std::nullopt;
}

std::optional<int> append_palette_color(work_image& image, held_entries& held, rgb color) {
  int entry = image.used_count;
  while (entry < bmp::PALETTE_ENTRIES && held[static_cast<std::size_t>(entry)]) ++entry;
  if (entry >= bmp::PALETTE_ENTRIES) return std::nullopt;
  set_output_palette_color(image, entry, color);
  held[static_cast<std::size_t>(entry)] = true;
  image.used_count = entry + 1;
  return entry;
}

refusal place_color(work_image& image, held_entries& held, slot_source source, int slot,
                    rgb color) {
  std::optional<int> from = resolve_source(image, held, source, color);
  if (!from) return refusal::palette_full;
  auto a = static_cast<std::size_t>(*from);
  auto b = static_cast<std::size_t>(slot);
  if (a != b) {
    swap_output_palette_colors(image, *from, slot);
    std::swap(held[a], held[b]);
    remap_index_map(image, static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b));
  }
  held[b] = true;
  return refusal::none;
}

refusal apply_slot_table(work_image& image, held_entries& held) {
  for (const slot_step& step : SLOT_TABLE) {
    refusal outcome = place_color(image, held, step.source, step.slot, step.color);
    if (outcome != refusal::none) return outcome;
  }
  for (int k = bmp::PALETTE_ENTRIES - 1; k >= image.used_count; --k) {
    if (held[static_cast<std::size_t>(k)]) {
      image.used_count = k + 1;
      break;
    }
  }
  return refusal::none;
}
