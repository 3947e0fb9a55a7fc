#pragma once
// A true-colour picture read as a palette picture. Each pixel's colour is its (red, green,
// blue, alpha); every distinct colour becomes one palette entry, and every fully
// transparent pixel counts as the one clear colour, whose entry shows the red, green and
// blue of the first clear pixel in U's order. Entry k is the k-th colour to appear in U's
// pixel order (its first stored row first, each row left to right), so entry 0 is the
// background. At most 256 colours fit; the 257th stops the count.
//
// Colours are numbered as the decoder meets them, which for a PNG (top row first, where U
// starts from the bottom row) is not U's order: each number keeps the U position of its
// first pixel, and settle_order gives the renumbering into U's order at the end.

#include <array>
#include <cstdint>
#include <cstring>

#include "image/bmp_layout.h"
#include "palette_entry.h"

struct colour_table {
  int count = 0;
  bool overflowed = false;  // a 257th colour was met
  // Of each number: red | green << 8 | blue << 16 | alpha << 24, 0 for the clear colour.
  std::array<std::uint32_t, bmp::PALETTE_ENTRIES> colour{};
  std::array<std::uint64_t, bmp::PALETTE_ENTRIES> first_at{};  // U position of its first pixel
  std::uint32_t clear_rgb = 0;  // red | green << 8 | blue << 16 of the first clear pixel
  std::uint64_t clear_at = UINT64_MAX;

  // Open addressing, a load factor of at most a quarter: a colour not met yet ends its
  // probe after one or two slots.
  static constexpr std::uint32_t SLOTS = 1024;
  std::array<std::uint32_t, SLOTS> slot_colour{};
  std::array<std::uint16_t, SLOTS> slot_number{};  // the number + 1; 0 for an empty slot
};

// The number of a pixel's colour, met at U position `at`; false once past 256 colours.
bool number_of(colour_table& table, std::uint32_t rgba, std::uint64_t at, std::uint8_t& number);

// The count to report: the colours numbered, or 257 once a 257th was met.
inline std::uint32_t colours_counted(const colour_table& table) {
  return table.overflowed ? bmp::PALETTE_ENTRIES + 1 : static_cast<std::uint32_t>(table.count);
}

// Where each number goes in U's order; false when that order is the order they were met.
bool settle_order(const colour_table& table, std::array<std::uint8_t, bmp::PALETTE_ENTRIES>& to);

// U's palette: each colour and its alpha, in U's order (`to`, from settle_order); the clear
// colour shows the first clear pixel's red, green and blue. Entries past the count are 0.
struct numbered_palette {
  std::array<rgb, bmp::PALETTE_ENTRIES> colour{};
  std::array<std::uint8_t, bmp::PALETTE_ENTRIES> alpha{};
};

numbered_palette palette_in_order(const colour_table& table,
                                  const std::array<std::uint8_t, bmp::PALETTE_ENTRIES>& to);

// Numbers the `width` pixels of one stored row, each `BYTES` bytes at `row`, into `out`
// every `out_step` bytes; pixel i sits at U position first_at + i x at_step. `rgba_of`
// reads one pixel's colour. A pixel stored as its left neighbour takes its number
// without a look-up: in drawn pictures most of them are. False once past 256 colours.
template <std::size_t BYTES, typename read_rgba>
bool number_row(colour_table& table, const std::uint8_t* row, std::uint32_t width,
                std::uint8_t* out, std::size_t out_step, std::uint64_t first_at,
                std::uint64_t at_step, read_rgba rgba_of) {
  std::uint8_t last = 0;
  for (std::uint32_t i = 0; i < width; ++i) {
    const std::uint8_t* pixel = row + std::size_t{i} * BYTES;
    if (i > 0 && std::memcmp(pixel, pixel - BYTES, BYTES) == 0) {
      out[std::size_t{i} * out_step] = last;
      continue;
    }
    if (!number_of(table, rgba_of(pixel), first_at + i * at_step, last)) return false;
    out[std::size_t{i} * out_step] = last;
  }
  return true;
}
