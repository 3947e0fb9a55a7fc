#pragma once
// Fixed colours in fixed palette slots: every move swaps two palette entries and the
// pixel values with them, so the picture keeps its look. The pixel side of every swap is
// recorded in index_map and applied to the rows once, at the end.

#include <array>
#include <cstdint>

#include "bitmap/palette_entry.h"
#include "bitmap/work_image.h"

// Source values below 0 are modes, not palette entries.
constexpr int PLACE_FIND_OR_APPEND = -1;
constexpr int PLACE_APPEND = -2;

struct slot_step {
  int source;
  int slot;
  rgb color;
};

// Step 0's source is the first stored pixel, read when the table is applied.
constexpr int BACKGROUND_SOURCE = 256;

// The fixed slot table, applied in this order: the background, the three marker colours
// found or added, the four placeholders always added.
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

// Moves the source entry (or the colour, found or appended) into slot.
// 0 on success, -1 when an append finds the palette full (nothing changed then).
int place_color(work_image& image, int source, int slot, std::uint8_t red, std::uint8_t green,
                std::uint8_t blue);

// The highest entry holding the colour, or -1. Every entry is searched, used or not.
int find_palette_color(const work_image& image, std::uint8_t red, std::uint8_t green,
                       std::uint8_t blue);

// Writes the colour into entry used_count, whatever it holds, and counts it as used.
// The new entry's index, or -1 when the palette is full.
int append_palette_color(work_image& image, std::uint8_t red, std::uint8_t green,
                         std::uint8_t blue);

// Background to slot 0, markers to 5, 4 and 1, placeholders to 2, 3, 6 and 7, in that
// order. False at the first append that finds the palette full.
bool apply_slot_table(work_image& image);
