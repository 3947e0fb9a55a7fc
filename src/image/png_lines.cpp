#include "png_lines.h"

#include <algorithm>
#include <new>
#include <vector>

#include "png_read.h"
#include "png_unfilter.h"

namespace {

// zlib copies what each call gives into its window: a call a line costs every byte once
// more, and a thin picture's lines cost a call each besides.
constexpr std::size_t BAND_BYTES = std::size_t{1} << 20;

// The band, each line its filter byte first, and the line above the band.
bool take_band(std::vector<std::uint8_t>& band, std::vector<std::uint8_t>& above,
               std::size_t band_length, std::size_t line_length) {
  try {
    band.assign(band_length, 0);
    above.assign(line_length, 0);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace

refusal take_lines(
    inflate_stream& stream, std::uint32_t lines, std::size_t length, std::size_t pixel_bytes,
    const std::function<refusal(std::uint32_t line, const std::uint8_t* samples)>& take) {
  if (lines == 0) return refusal::none;
  const std::size_t line_length = 1 + length;
  const std::size_t band_lines = std::clamp<std::size_t>(BAND_BYTES / line_length, 1, lines);
  std::vector<std::uint8_t> band;
  std::vector<std::uint8_t> above;
  if (!take_band(band, above, band_lines * line_length, line_length)) return refusal::out_of_memory;
  for (std::uint32_t first = 0; first < lines; first += static_cast<std::uint32_t>(band_lines)) {
    std::size_t count = std::min<std::size_t>(band_lines, lines - first);
    std::size_t produced = 0;
    refusal fault = inflate_next(stream, band.data(), count * line_length, produced);
    std::size_t whole = fault == refusal::none ? count : produced / line_length;
    for (std::size_t k = 0; k < whole; ++k) {
      std::uint8_t* line = band.data() + k * line_length;
      const std::uint8_t* prior = k == 0 ? above.data() : line - line_length;
      if (!unfilter(line[0], line + 1, prior + 1, length, pixel_bytes))
        return refusal::png_bad_filter;
      if (refusal taken = take(first + static_cast<std::uint32_t>(k), line + 1);
          taken != refusal::none)
        return taken;
    }
    if (fault != refusal::none) return fault;
    std::copy_n(band.data() + (count - 1) * line_length, line_length, above.data());
  }
  return refusal::none;
}
