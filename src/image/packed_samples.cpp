#include "packed_samples.h"

#include <cstring>

void unpack_samples(const std::uint8_t* packed, std::uint32_t count, unsigned depth,
                    std::uint8_t* out, std::size_t step) {
  if (depth == 8 && step == 1) {
    std::memcpy(out, packed, count);
    return;
  }
  const unsigned per_byte = 8u / depth;
  const auto mask = static_cast<std::uint8_t>((1u << depth) - 1);
  for (std::uint32_t i = 0; i < count; ++i) {
    unsigned shift = 8 - depth * (i % per_byte + 1);
    out[std::size_t{i} * step] = static_cast<std::uint8_t>(packed[i / per_byte] >> shift) & mask;
  }
}
