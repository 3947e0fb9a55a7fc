#include <cstring>

#include "assemble.h"

#include "bitmap_headers.h"
#include "input_checks.h"

namespace {

void copy_headers(work_image& image) {
  // U's own fields, but for the output's length, offset and full palette.
  bitmap_fields fields = read_bitmap_fields(image.input_bytes);
  fields.file_size = static_cast<std::uint32_t>(output_length(image));
  fields.pixel_offset = bmp::OUTPUT_PIXEL_OFFSET;
  fields.colors_used = bmp::OUTPUT_COLORS_USED;
  write_bitmap_headers(fields, image.output_prefix);
}

// Entries 0 .. used_count - 2, reserved bytes included; the next one stays black as the
// catch-all. The input palette may run past the end of the file, or be the compacted one.
// The entries taken from the input keep its alphas; every other one is opaque.
void copy_used_palette(work_image& image) {
  std::uint8_t* palette = image.output_prefix + bmp::HEADERS_SIZE;
  std::memset(palette, 0, bmp::PALETTE_SIZE);
  auto copied = static_cast<std::size_t>(image.used_count - 1);
  for (std::size_t i = 0; i < copied * bmp::ENTRY_SIZE; ++i)
    palette[i] = input_palette_byte(image, i);
  image.output_alpha = opaque();
  for (std::size_t k = 0; k < copied; ++k) image.output_alpha[k] = input_alpha_of(image, k);
}

}  // namespace

void assemble_prefix(work_image& image) {
  copy_headers(image);
  copy_used_palette(image);
}

void clamp_index_map(work_image& image) {
  auto catch_all = static_cast<std::uint8_t>(image.used_count - 1);
  for (int k = 0; k < bmp::PALETTE_ENTRIES; ++k) {
    image.index_map[static_cast<std::size_t>(k)] =
        k < image.used_count ? static_cast<std::uint8_t>(k) : catch_all;
  }
}

std::vector<std::uint8_t> output_file(const work_image& image) {
  std::vector<std::uint8_t> bytes(image.output_prefix,
                                  image.output_prefix + bmp::OUTPUT_PIXEL_OFFSET);
  std::size_t pixel_length =
      static_cast<std::size_t>(output_length(image)) - bmp::OUTPUT_PIXEL_OFFSET;
  bytes.insert(bytes.end(), image.output_pixels, image.output_pixels + pixel_length);
  return bytes;
}
