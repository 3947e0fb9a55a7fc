#pragma once
// printf-style formatting into a string, sized to the text: the one helper every console
// text and report line is built with.

#include <cstdio>
#include <string>

std::string format(const char* pattern, auto... values) {
  int length = std::snprintf(nullptr, 0, pattern, values...);
  if (length <= 0) return "";
  std::string text(static_cast<std::size_t>(length), '\0');
  std::snprintf(text.data(), text.size() + 1, pattern, values...);
  return text;
}
