#pragma once
// Bytes held elsewhere: a PNG's chunk data, which the inflate reads where it lies.

#include <cstddef>
#include <cstdint>

struct byte_span {
  const std::uint8_t* data;
  std::size_t length;
};
