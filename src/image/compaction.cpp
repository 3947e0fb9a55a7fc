#include "compaction.h"

#include "input_checks.h"

int count_distinct(const value_counts& counts) {
  int distinct = 0;
  for (std::uint64_t count : counts) distinct += count != 0 ? 1 : 0;
  return distinct;
}

void compact_values(work_image& image) {
  value_compaction& compaction = image.compaction;
  compaction = value_compaction{};
  compaction.alpha = opaque();
  const value_counts& counts = image.census.total;
  // Values past the stored entries have no colour of their own: the clamp showed them black.
  std::uint32_t stored = stored_entry_count(image.header);
  int rank = 0;
  for (std::size_t v = 0; v < bmp::PALETTE_ENTRIES; ++v) {
    if (counts[v] == 0) continue;
    compaction.rank[v] = static_cast<std::uint8_t>(rank);
    compaction.alpha[static_cast<std::size_t>(rank)] = image.input_alpha[v];
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

value_counts counts_by_rank(const value_compaction& compaction, const value_counts& counts) {
  value_counts by_rank{};
  for (std::size_t v = 0; v < bmp::PALETTE_ENTRIES; ++v) {
    if (counts[v] != 0) by_rank[compaction.rank[v]] = counts[v];
  }
  return by_rank;
}

value_counts picture_counts(const work_image& image) {
  const value_counts& counts = image.census.total;
  return image.compaction.active ? counts_by_rank(image.compaction, counts) : counts;
}
