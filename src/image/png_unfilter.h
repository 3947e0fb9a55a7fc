#pragma once
// Undoing PNG's row filters (png_layout.h), bytewise: the byte "to the left" is the one a
// whole pixel back, `pixel_bytes` before (1 for pixels of at most 8 bits).

#include <cstddef>
#include <cstdint>

// Undoes a row's filter in place; `above` is the row before, unfiltered (zeros for the
// first). False for a filter type above 4.
bool unfilter(std::uint8_t type, std::uint8_t* row, const std::uint8_t* above, std::size_t length,
              std::size_t pixel_bytes);
