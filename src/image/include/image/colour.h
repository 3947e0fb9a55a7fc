#pragma once
// A palette colour as the rules speak of it: red, green, blue.

#include <cstdint>

struct rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  friend bool operator==(const rgb&, const rgb&) = default;
};
