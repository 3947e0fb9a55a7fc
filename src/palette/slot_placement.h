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

// Where a step's colour comes from: the entry the first stored pixel names (read when the
// table is applied), a given entry, the colour's own entry or a new one, or a new one.
enum class source_kind { background, entry, find_or_append, append };

struct slot_source {
  source_kind kind;
  int entry = 0;  // of source_kind::entry
};

constexpr slot_source FROM_BACKGROUND{source_kind::background};
constexpr slot_source FIND_OR_APPEND{source_kind::find_or_append};
constexpr slot_source APPEND{source_kind::append};
constexpr slot_source from_entry(int entry) {
  return {source_kind::entry, entry};
}

struct slot_step {
  slot_source source;
  int slot;
  rgb color;
};

// The fixed slot table, applied in this order: the background, the three marker colours
// found or added, the four placeholders always added.
constexpr std::array<slot_step, 8> SLOT_TABLE = {{
    {FROM_BACKGROUND, 0, {}},
    {FIND_OR_APPEND, 5, {255, 255, 0}},
    {FIND_OR_APPEND, 4, {255, 0, 255}},
    {FIND_OR_APPEND, 1, {255, 150, 255}},
    {APPEND, 2, {1, 1, 255}},
    {APPEND, 3, {1, 2, 255}},
    {APPEND, 6, {1, 3, 255}},
    {APPEND, 7, {1, 4, 255}},
}};

// The slots 0 to 7 that the table fills.
constexpr int FIXED_SLOTS = static_cast<int>(SLOT_TABLE.size());

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
