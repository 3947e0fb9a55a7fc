#pragma once
// One big picture on several cores: its rows cut into ranges that threads count and draw
// on their own. The draws of one value follow pixel order, and the generator can jump to
// any later state at once, so a range starts each value's draws from the state that the
// value's pixels in the ranges above it leave: the output is the one a single pass gives.

#include <cstdint>
#include <vector>

#include "image/run_parts.h"

// Below this many pixels per thread, starting a thread costs more than it saves.
constexpr std::uint64_t MIN_PIXELS_PER_THREAD = std::uint64_t{1} << 21;

// How many threads a picture of this many pixels gets of the processors it may use: the
// one place this is decided. A build may cap it (PALETTE_MAX_THREADS) to compare.
unsigned threads_for_picture(std::uint64_t pixels, unsigned processors);

// Where ranges after the first start, for `parts` ranges of as even a number of rows as
// the rows allow.
std::vector<std::uint32_t> even_row_cuts(std::uint32_t rows, unsigned parts);
