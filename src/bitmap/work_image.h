#pragma once
// The per-run record every step works on, in place, and the bitmap steps that build it.

#include <array>
#include <cstdint>
#include <vector>

#include "bitmap/bmp_header.h"
#include "bitmap/bmp_layout.h"
#include "bitmap/compaction.h"

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
  // strictly rising, between 0 and the last row. Empty: one range, this thread.
  std::vector<std::uint32_t> row_cuts;

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

// Size limits, checked before anything is allocated.
refusal check_input_size(std::int64_t file_size);

// The colours-used value the used-count rule reads: the field, or |S| when compacted.
std::int64_t colors_used_read(const work_image& image);

// Whether the used count is guessed from the palette: a colours-used value of 0 or 256.
bool used_count_guessed(const work_image& image);

// The palette's guess: every entry up to the last one not made only of 0 and 255
// components, and the catch-all after them. Padding at the top of a palette is black or
// white; pure colours lower down are only kept by the pixels that use them.
std::int64_t palette_guess(const work_image& image);

// The number of output palette entries in use, catch-all included; may exceed 256. A
// guessed count keeps every value a pixel uses: at least `highest_pixel` + 2, the value's
// own entry and the catch-all (-1: a picture without pixels).
std::int64_t count_used_colors(const work_image& image, int highest_pixel);

// palette_full once used_count leaves no entry free.
refusal check_palette_room(std::int64_t used_count);

// The output's headers and palette: the used entries and the black catch-all.
void assemble_prefix(work_image& image);

// Starts index_map as the index clamp: values from used_count on go to the catch-all.
void clamp_index_map(work_image& image);

std::int32_t output_length(const work_image& image);

// The output file as one block: the prefix, then the rows (output_length bytes).
std::vector<std::uint8_t> output_file(const work_image& image);

// A byte of the input file; bytes past its end read as 0.
std::uint8_t input_byte_or_zero(const work_image& image, std::uint64_t offset);

// Byte `offset` (below PALETTE_SIZE) of the input palette as the translation reads it.
std::uint8_t input_palette_byte(const work_image& image, std::size_t offset);

inline std::uint8_t first_input_pixel(const work_image& image) {
  if (image.compaction.active) return image.compaction.first_pixel;
  return input_byte_or_zero(image, image.header.pixel_offset);
}

inline const std::uint8_t* input_pixels(const work_image& image) {
  return image.input_bytes + image.header.pixel_offset;
}

inline std::uint8_t* input_pixels(work_image& image) {
  return image.input_bytes + image.header.pixel_offset;
}
