#pragma once

#include <array>
#include <cstdint>

#include "bitmap/bmp_layout.h"

// How many picture pixels (fill bytes excluded) hold each value.
using value_counts = std::array<std::uint64_t, bmp::PALETTE_ENTRIES>;
