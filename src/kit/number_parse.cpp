#include "kit/number_parse.h"

namespace {

bool is_space(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}
bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::int32_t parse_number(const char* text) {
  while (is_space(*text)) ++text;
  bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  // Unsigned arithmetic wraps modulo 2^32 instead of saturating like the C library.
  std::uint32_t value = 0;
  for (; is_digit(*text); ++text) value = value * 10 + static_cast<std::uint32_t>(*text - '0');
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

float background_share_of(std::int32_t percentage) {
  return static_cast<float>(percentage * 0.01);
}

translation_parameters parse_parameters(char* const numbers[4]) {
  return {parse_number(numbers[0]), parse_number(numbers[1]), parse_number(numbers[2]),
          background_share_of(parse_number(numbers[3]))};
}
