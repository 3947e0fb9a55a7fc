#include "row_ranges.h"

#include <algorithm>

unsigned threads_for_picture(std::uint64_t pixels, unsigned processors) {
  std::uint64_t threads = std::min<std::uint64_t>(processors, pixels / MIN_PIXELS_PER_THREAD);
  if (thread_cap() > 0) threads = std::min<std::uint64_t>(threads, thread_cap());
  return static_cast<unsigned>(std::max<std::uint64_t>(threads, 1));
}

std::vector<std::uint32_t> even_row_cuts(std::uint32_t rows, unsigned parts) {
  std::vector<std::uint32_t> cuts;
  for (std::uint64_t part = 1; part < parts; ++part) {
    // Below rows, as part is below parts; 0 and repeats where there are fewer rows than parts.
    auto cut = static_cast<std::uint32_t>(rows * part / parts);
    if (cut > 0 && (cuts.empty() || cut > cuts.back())) cuts.push_back(cut);
  }
  return cuts;
}
