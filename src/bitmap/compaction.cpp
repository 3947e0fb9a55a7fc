#include "bitmap/compaction.h"

#include <utility>

#include "bitmap/work_image.h"

int count_distinct(const value_counts& counts) {
  int distinct = 0;
  for (std::uint64_t count : counts) distinct += count != 0 ? 1 : 0;
  return distinct;
}

void compact_values(work_image& image, std::vector<value_counts> parts) {
  value_compaction& compaction = image.compaction;
  compaction = value_compaction{};
  for (const value_counts& part : parts) {
    for (std::size_t v = 0; v < bmp::PALETTE_ENTRIES; ++v) compaction.counts[v] += part[v];
  }
  compaction.part_counts = std::move(parts);
  const value_counts& counts = compaction.counts;
  // Values past the stored entries have no colour of their own: the clamp showed them black.
  std::uint32_t stored = stored_entry_count(image.header);
  int rank = 0;
  for (std::size_t v = 0; v < bmp::PALETTE_ENTRIES; ++v) {
    if (counts[v] == 0) continue;
    compaction.rank[v] = static_cast<std::uint8_t>(rank);
    std::uint8_t* entry =
        compaction.palette.data() + static_cast<std::size_t>(rank) * bmp::ENTRY_SIZE;
    for (std::size_t byte = 0; v < stored && byte < bmp::ENTRY_SIZE; ++byte)
      entry[byte] =
          input_byte_or_zero(image, image.header.palette_offset + v * bmp::ENTRY_SIZE + byte);
    ++rank;
  }
  compaction.distinct = rank;
  // With any pixel at all, the first stored byte is the first pixel; without, it is no
  // pixel, and a value no pixel holds has rank 0.
  compaction.first_pixel = compaction.rank[input_byte_or_zero(image, image.header.pixel_offset)];
  compaction.active = true;
}

value_counts counts_by_rank(const value_compaction& compaction) {
  value_counts by_rank{};
  for (std::size_t v = 0; v < bmp::PALETTE_ENTRIES; ++v) {
    if (compaction.counts[v] != 0) by_rank[compaction.rank[v]] = compaction.counts[v];
  }
  return by_rank;
}
