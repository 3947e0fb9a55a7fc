#pragma once
// printf-style formatting into a string, sized to the text: the one helper every console
// text and report line is built with.

#include <cstdio>
#include <string>

// Most texts are one short line: formatted once into a buffer on the stack, and a second
// time only when they do not fit.
std::string format(const char* pattern, auto... values) {
  char line[256];
  int length = std::snprintf(line, sizeof line, pattern, values...);
  if (length <= 0) return "";
  if (static_cast<std::size_t>(length) < sizeof line)
    return std::string(line, static_cast<std::size_t>(length));
  std::string text(static_cast<std::size_t>(length), '\0');
  std::snprintf(text.data(), text.size() + 1, pattern, values...);
  return text;
}
