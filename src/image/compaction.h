#pragma once
// A picture drawn in a full palette (a game's or an editor's 256 colours) seldom uses all
// of them, yet the used-count rule sees every entry as used and the palette as full.
// Compaction takes the picture as if its palette held only the values its pixels use:
//
//   S          the distinct values among the picture's pixels (columns 0 to width - 1 of
//              every row; fill bytes are not pixels), in ascending order
//   entry i    all four bytes of the file's entry for the i-th value v of S, as the
//              translation reads that entry (bytes past the end of the file as 0); a value
//              at or past the stored palette count shows the black the index clamp would
//              have given it; entries from |S| on are black; its alpha is entry v's
//   pixel      the rank of its value in S
//   colours    the used-count rule reads |S| as the colours-used value
//
// The file's bytes are never rewritten for it: the palette readers, the first pixel and
// the used-count rule consult the record below, and the pixel pass renumbers each value
// by its rank as it maps it. Ranks keep the values' order, so the draws of the compacted
// picture come in the same order as over the file's own values.

#include <array>
#include <cstdint>

#include "image/bmp_layout.h"
#include "image/value_counts.h"
#include "image/work_image.h"

// The number of values that occur at least once.
int count_distinct(const value_counts& counts);

// Takes the image as compacted from here on; its rows must be counted (image.census).
void compact_values(work_image& image);

// The picture's counts by the values the translation sees (image.census must be known):
// the file's own, or by rank when compacted.
value_counts picture_counts(const work_image& image);

// The compacted picture's counts, indexed by rank, from the counts of the file's values.
value_counts counts_by_rank(const value_compaction& compaction, const value_counts& counts);
