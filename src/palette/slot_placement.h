#pragma once
// Fixed colours in fixed palette slots: every move swaps two palette entries and the
// pixel values with them, so the picture keeps its look. The pixel side of every swap is
// recorded in index_map and applied to the rows once, at the end.
//
// A colour in use is never written over: the entries that hold one are marked (those the
// pixels point to, each appended colour, each filled slot), a swap moves the marks with
// the colours, and an appended colour takes the first unmarked entry from the used count
// on. A swap can park a colour in use above the used count only in a palette of fewer than
// 8 used entries or for a background index at or above it; elsewhere every append lands on
// the used count itself.

#include <array>
#include <cstdint>
#include <optional>

#include "image/palette_entry.h"
#include "image/work_image.h"
#include "palette/slot_table.h"

// Which output palette entries hold a colour in use.
using held_entries = std::array<bool, bmp::PALETTE_ENTRIES>;

// Whether the slot table must know which entries the pixels use: whether an append can
// reach an entry that a swap moved up from below the used count.
bool held_entries_matter(const work_image& image);

// The entries the pixels point to after the clamp, from the counts (image.census). Without
// them, where held_entries_matter says which ones changes nothing: every entry below the
// used count.
held_entries entries_in_use(const work_image& image);

// Moves the source entry (or the colour, found or appended) into slot and marks the slot
// held. palette_full when an append finds no free entry (nothing changed then).
refusal place_color(work_image& image, held_entries& held, slot_source source, int slot, rgb color);

// The highest entry holding the colour. Every entry is searched, used or not.
std::optional<int> find_palette_color(const work_image& image, rgb color);

// Writes the colour into the first entry from used_count on that holds no colour in use,
// marks it, and counts the used entries up to it; none when the palette is full.
std::optional<int> append_palette_color(work_image& image, held_entries& held, rgb color);

// Background to slot 0, markers to 5, 4 and 1, placeholders to 2, 3, 6 and 7, in that
// order; then the used count reaches past every entry in use, so that the grays go above
// them. palette_full at the first append that finds the palette full.
refusal apply_slot_table(work_image& image, held_entries& held);
