#pragma once
// Rows of samples narrower than a byte, as bitmaps (1 and 4 bits) and PNGs (1, 2 and 4
// bits) store them: a row starts on a byte, and the leftmost sample sits in the highest
// bits of its byte. An 8-bit sample is its byte.

#include <cstddef>
#include <cstdint>

// Writes `count` samples of `depth` bits (1, 2, 4 or 8) one byte each, `step` bytes apart
// (an interlaced pass places every dx-th pixel).
void unpack_samples(const std::uint8_t* packed, std::uint32_t count, unsigned depth,
                    std::uint8_t* out, std::size_t step);
