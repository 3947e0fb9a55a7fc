#pragma once
// What palette-inspect finds in a bitmap: the header fields the translation reads, what the
// translation would make of them, and the palette with the use and role of every entry.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "kit/html_card.h"
#include "palette/translation.h"

struct palette_row {
  rgb color;
  std::uint8_t alpha = 255;  // a PNG's; a bitmap's entries are opaque
  std::uint64_t pixels = 0;
  std::string role;  // empty, or what a fixed slot or gray ramp entry stands for
};

// What the translation would make of a file.
enum class verdict {
  usable,
  usable_without_grays,  // only with percentage 0: no room for the gray ramp
  refused,
};

struct inspection {
  std::int64_t file_size = 0;
  file_form form = file_form::bmp;
  // A bitmap's header fields could be read (false: too short, too large or not a bitmap).
  bool has_headers = false;
  std::uint32_t size_field = 0;
  bmp_header header;  // the file's own header, as far as it could be read
  png_header png;     // a PNG's chunks, as far as they could be read (no data spans)

  // The translation's outcome with the near-background step on: done, no room for the
  // grays, or the refusal and its reason.
  translation_report outcome;

  // Filled in when the header is usable (measured); for a decoded form these describe its
  // 8-bit equivalent:
  bool measured = false;
  std::uint32_t stride = 0;
  std::int64_t used_count = 0;          // before the slot table, the catch-all included
  std::int64_t guessed_used_count = 0;  // the palette's guess where the pixels raised it, else 0
  int first_pixel = 0;
  int distinct_values = 0;  // among the picture's pixels
  bool compacted = false;   // described as --compact-palette takes it
  std::array<palette_row, bmp::PALETTE_ENTRIES> palette{};
  // For a file refused for want of room: what --compact-palette would do.
  compaction_check compaction;
  // A PNG with one fully transparent entry whose lower-left pixel is of another: that
  // entry, and the lower-left pixel's, which becomes the background. -1: no such PNG.
  int transparent_entry = -1;
  int background_entry = -1;

  verdict judged() const;
  bool usable() const { return judged() != verdict::refused; }
};

// The size checks alone: a file too short or too large is judged without reading it.
inspection inspect_size(std::int64_t file_size);

// Reads only; the bytes are the whole file, taken by value for the core to point into.
// With `compact`, the translation described is the compacted one.
inspection inspect_bitmap(std::vector<std::uint8_t> file, bool compact = false);

// What palette-translate would write for the file: its bytes (empty when it refuses), the
// translation's report with the near-background tally, and its card for the page.
struct translated_file {
  translation_report report;
  std::vector<std::uint8_t> output;
  bool png = false;  // the output is a PNG: the input is one
  html_card card;
};

translated_file translate_in_memory(std::vector<std::uint8_t> file,
                                    const translation_parameters& parameters);
