#include "colour_table.h"

#include <algorithm>
#include <numeric>

namespace {

constexpr std::uint32_t ALPHA_SHIFT = 24;
constexpr std::uint32_t RGB_BITS = 0x00FFFFFF;

std::uint32_t slot_for(std::uint32_t colour) {
  // Fibonacci hashing: the top bits of the product spread neighbouring colours apart.
  return (colour * 0x9E3779B1u) >> 22;
}
static_assert(colour_table::SLOTS == 1u << 10);

}  // namespace

bool number_of(colour_table& table, std::uint32_t rgba, std::uint64_t at, std::uint8_t& number) {
  bool clear = (rgba >> ALPHA_SHIFT) == 0;
  std::uint32_t colour = clear ? 0 : rgba;
  if (clear && at < table.clear_at) {
    table.clear_at = at;
    table.clear_rgb = rgba & RGB_BITS;
  }
  for (std::uint32_t slot = slot_for(colour);; slot = (slot + 1) % colour_table::SLOTS) {
    std::uint16_t held = table.slot_number[slot];
    if (held != 0 && table.slot_colour[slot] == colour) {
      number = static_cast<std::uint8_t>(held - 1);
      table.first_at[number] = std::min(table.first_at[number], at);
      return true;
    }
    if (held != 0) continue;
    if (table.count == bmp::PALETTE_ENTRIES) {
      table.overflowed = true;
      return false;
    }
    number = static_cast<std::uint8_t>(table.count++);
    table.slot_colour[slot] = colour;
    table.slot_number[slot] = static_cast<std::uint16_t>(number + 1);
    table.colour[number] = colour;
    table.first_at[number] = at;
    return true;
  }
}

bool settle_order(const colour_table& table, std::array<std::uint8_t, bmp::PALETTE_ENTRIES>& to) {
  std::array<std::uint8_t, bmp::PALETTE_ENTRIES> by_place{};
  auto count = static_cast<std::size_t>(table.count);
  std::iota(by_place.begin(), by_place.begin() + static_cast<std::ptrdiff_t>(count), 0);
  // No two numbers share a first pixel, so the order is total.
  std::sort(by_place.begin(), by_place.begin() + static_cast<std::ptrdiff_t>(count),
            [&](std::uint8_t a, std::uint8_t b) { return table.first_at[a] < table.first_at[b]; });
  bool moved = false;
  for (std::size_t place = 0; place < count; ++place) {
    to[by_place[place]] = static_cast<std::uint8_t>(place);
    moved = moved || by_place[place] != place;
  }
  return moved;
}

numbered_palette palette_in_order(const colour_table& table,
                                  const std::array<std::uint8_t, bmp::PALETTE_ENTRIES>& to) {
  numbered_palette palette;
  for (int k = 0; k < table.count; ++k) {
    std::uint32_t colour = table.colour[static_cast<std::size_t>(k)];
    if (colour == 0) colour = table.clear_rgb;
    std::size_t place = to[static_cast<std::size_t>(k)];
    palette.colour[place] = {static_cast<std::uint8_t>(colour),
                             static_cast<std::uint8_t>(colour >> 8),
                             static_cast<std::uint8_t>(colour >> 16)};
    palette.alpha[place] = static_cast<std::uint8_t>(colour >> ALPHA_SHIFT);
  }
  return palette;
}
