#include "bitmap/bmp_header.h"
#include "bitmap/work_image.h"

bitmap_fault measure_bitmap(work_image& image, bmp_header& header) {
  bitmap_fault fault = read_bmp_header(image.input_bytes, image.file_size, header);
  if (fault != bitmap_fault::none || !header.in_place) return fault;
  image.width = header.width;
  image.height = header.height;
  image.rows = header.rows;
  image.stride = header.stride;
  image.colors_used = header.colors_used;
  image.input_pixels_offset = header.pixel_offset;
  image.input_palette_offset = header.palette_offset;
  return bitmap_fault::none;
}

std::int32_t output_length(const work_image& image) {
  // The header checks keep stride x rows within the input's pixel bytes, so this fits.
  std::uint64_t pixel_bytes = std::uint64_t{image.stride} * image.rows;
  return static_cast<std::int32_t>(bmp::OUTPUT_PIXEL_OFFSET + pixel_bytes);
}
