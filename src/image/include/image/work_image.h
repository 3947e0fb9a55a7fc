#pragma once
// The per-run record every step works on, in place. The steps that build it: input_checks.h
// (sizes and reads), used_colors.h (the used count), assemble.h (the output's prefix).

#include <array>
#include <cstdint>
#include <vector>

#include "image/bmp_header.h"
#include "image/bmp_layout.h"
#include "image/file_part.h"
#include "image/refusal.h"
#include "image/value_counts.h"

// Every palette entry opaque.
constexpr std::array<std::uint8_t, bmp::PALETTE_ENTRIES> opaque() {
  std::array<std::uint8_t, bmp::PALETTE_ENTRIES> alpha{};
  for (std::uint8_t& a : alpha) a = 255;
  return alpha;
}

// The picture taken with only the values its pixels use (compaction.h), by rank.
struct value_compaction {
  bool active = false;
  int distinct = 0;                                       // |S|
  std::array<std::uint8_t, bmp::PALETTE_ENTRIES> rank{};  // meaningful for the values in S
  std::array<std::uint8_t, bmp::PALETTE_SIZE> palette{};
  std::array<std::uint8_t, bmp::PALETTE_ENTRIES> alpha{};  // of the file's entry for each rank
  std::uint8_t first_pixel = 0;  // the first stored pixel's rank; 0 for a picture without one
};

// Rows that are never held whole: each row range is read into `band` for its pass and, once
// transformed, written out at its place in the output. A failed read or write leaves the
// pass's work unfinished, and says so in `failed` (read_failed or write_failed).
struct streamed_rows {
  const read_file_part* read = nullptr;
  const write_file_part* write = nullptr;
  std::uint8_t* band = nullptr;  // the rows of the longest range
  refusal failed = refusal::none;
};

struct work_image {
  // The file whose rows are translated: the input itself, or the 8-bit equivalent of a
  // decoded form. Only the last step writes to it: the pixel transform, which turns its
  // rows into the output's rows in place.
  std::uint8_t* input_bytes = nullptr;
  std::int32_t file_size = 0;
  // The header of those rows, read once: geometry, colours used, palette and row offsets.
  bmp_header header;
  // The output's headers and palette: OUTPUT_PIXEL_OFFSET bytes.
  std::uint8_t* output_prefix = nullptr;
  // The output's rows, stride x rows bytes: the input's own rows when transformed in place.
  std::uint8_t* output_pixels = nullptr;

  // Where the pixel pass's row ranges after the first start, each on a thread of its own:
  // strictly rising, between 0 and the last row. Empty: one range, this thread. With
  // streamed rows, the ranges are the bands, taken in turn on this thread.
  std::vector<std::uint32_t> row_cuts;
  // Set only for an 8-bit bitmap translated a band at a time; input_bytes then holds only
  // the file's head, with its headers, palette and first pixel.
  streamed_rows streamed;

  // The alpha of every input palette entry: a PNG's tRNS, and 255 (opaque) for a bitmap.
  // The output's entries carry theirs along, for a PNG output.
  std::array<std::uint8_t, bmp::PALETTE_ENTRIES> input_alpha = opaque();
  std::array<std::uint8_t, bmp::PALETTE_ENTRIES> output_alpha = opaque();

  int used_count = 0;
  // For every input pixel value k, the value its output pixels hold now: the index clamp
  // followed by every palette swap.
  std::array<std::uint8_t, bmp::PALETTE_ENTRIES> index_map{};
  // Set when the picture is taken as compacted: index_map and every palette read then
  // speak of ranks, not of the file's own values.
  value_compaction compaction;
  // The file's values among the picture's pixels, once counted.
  value_census census;
  // The plan holds only while every pixel lies below this value: the used count came from
  // the palette guess before the pixels were counted, and the pixel pass checks it as it
  // goes. 256: the plan always holds.
  int pixel_limit = bmp::PALETTE_ENTRIES;
};

inline bool rows_are_streamed(const work_image& image) {
  return image.streamed.band != nullptr;
}

inline const std::uint8_t* input_pixels(const work_image& image) {
  return image.input_bytes + image.header.pixel_offset;
}

inline std::uint8_t* input_pixels(work_image& image) {
  return image.input_bytes + image.header.pixel_offset;
}
