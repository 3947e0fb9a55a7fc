#pragma once
// The fixed slots every translation fills, in order: what a report names beside the
// palette, and what slot_placement.h applies.

#include <array>

#include "image/colour.h"

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
