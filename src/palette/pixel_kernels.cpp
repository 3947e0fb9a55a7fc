#include "palette/pixel_kernels.h"

namespace {

void map_portable(std::uint8_t* span, std::size_t length, const value_table& table) {
  for (std::size_t i = 0; i < length; ++i) span[i] = table[span[i]];
}

void count_portable(const std::uint8_t* span, std::size_t length, value_counts& counts) {
  partial_counts partial{};
  count_bytes(span, length, partial);
  add_partial_counts(partial, counts);
}

void draw_portable(std::uint8_t* span, std::size_t length, draw_tables& tables) {
  for (std::size_t i = 0; i < length; ++i) {
    std::uint8_t value = span[i];
    span[i] =
        tables.decided_flags[value] != 0 ? draw_pixel(tables.entries[value]) : tables.fixed[value];
  }
}

}  // namespace

const pixel_kernels& portable_kernels() {
  static const pixel_kernels kernels{map_portable, count_portable, draw_portable};
  return kernels;
}

const pixel_kernels& best_kernels() {
  const pixel_kernels* vector = vector_kernels();
  return vector != nullptr ? *vector : portable_kernels();
}
