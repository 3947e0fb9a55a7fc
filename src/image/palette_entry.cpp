#include "palette_entry.h"

#include <utility>

#include "input_checks.h"

namespace {

std::uint8_t* output_entry(work_image& image, int index) {
  return image.output_prefix + bmp::HEADERS_SIZE +
         static_cast<std::size_t>(index) * bmp::ENTRY_SIZE;
}

const std::uint8_t* output_entry(const work_image& image, int index) {
  return image.output_prefix + bmp::HEADERS_SIZE +
         static_cast<std::size_t>(index) * bmp::ENTRY_SIZE;
}

}  // namespace

rgb input_palette_color(const work_image& image, int index) {
  std::size_t entry = static_cast<std::size_t>(index) * bmp::ENTRY_SIZE;
  return {input_palette_byte(image, entry + bmp::RED),
          input_palette_byte(image, entry + bmp::GREEN),
          input_palette_byte(image, entry + bmp::BLUE)};
}

rgb output_palette_color(const work_image& image, int index) {
  const std::uint8_t* entry = output_entry(image, index);
  return {entry[bmp::RED], entry[bmp::GREEN], entry[bmp::BLUE]};
}

namespace {

void write_color(work_image& image, int index, rgb color) {
  std::uint8_t* entry = output_entry(image, index);
  entry[bmp::RED] = color.red;
  entry[bmp::GREEN] = color.green;
  entry[bmp::BLUE] = color.blue;
}

}  // namespace

void set_output_palette_color(work_image& image, int index, rgb color) {
  write_color(image, index, color);
  image.output_alpha[static_cast<std::size_t>(index)] = 255;
}

void swap_output_palette_colors(work_image& image, int a, int b) {
  rgb color_a = output_palette_color(image, a);
  write_color(image, a, output_palette_color(image, b));
  write_color(image, b, color_a);
  std::swap(image.output_alpha[static_cast<std::size_t>(a)],
            image.output_alpha[static_cast<std::size_t>(b)]);
}
