#include "output_checks.h"

#include "image/palette_entry.h"

namespace {

rgb entry_at(const std::vector<std::uint8_t>& bytes, std::uint64_t at) {
  auto byte = [&](std::uint64_t i) { return i < bytes.size() ? bytes[i] : std::uint8_t{0}; };
  return {byte(at + 2), byte(at + 1), byte(at)};
}

const rgb FIXED[] = {{255, 150, 255}, {1, 1, 255}, {1, 2, 255}, {255, 0, 255},
                     {255, 255, 0},   {1, 3, 255}, {1, 4, 255}};

}  // namespace

std::string output_fault(const std::vector<std::uint8_t>& input,
                         const translation_parameters& parameters,
                         const std::vector<std::uint8_t>& output) {
  for (int slot = 1; slot <= 7; ++slot) {
    if (entry_at(output, 54 + 4 * std::uint64_t(slot)) != FIXED[slot - 1])
      return "slot " + std::to_string(slot) + " lost its fixed colour";
  }
  if (static_cast<double>(parameters.background_share) > 0.0001) return "";
  eight_bit_form form = read_eight_bit_form(input);
  const bmp_header& header = form.header;
  std::int32_t colors_used = header.colors_used;
  bool explicit_count = colors_used > 0 && colors_used < 256;
  int stored = explicit_count ? colors_used : 256;
  for (std::uint64_t row = 0; row < header.rows && header.width > 0; ++row) {
    for (std::uint64_t col = 0; col < static_cast<std::uint64_t>(header.width); ++col) {
      std::uint64_t at = row * header.stride + col;
      int value = form.bytes[header.pixel_offset + at];
      if (explicit_count && value >= colors_used && !parameters.compact_palette) continue;
      rgb before = value < stored
                       ? entry_at(form.bytes, header.palette_offset + 4 * std::uint64_t(value))
                       : rgb{};
      rgb after = entry_at(output, 54 + 4 * std::uint64_t{output[1078 + at]});
      if (before != after)
        return "the pixel at row " + std::to_string(row) + ", column " + std::to_string(col) +
               " changed its colour";
    }
  }
  return "";
}
