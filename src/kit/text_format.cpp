#include "kit/text_format.h"

#include <cstdarg>
#include <cstdio>

// Most texts are one short line: formatted once into a buffer on the stack, and a second
// time only when they do not fit.
std::string format(const char* pattern, ...) {
  char line[256];
  std::va_list values;
  va_start(values, pattern);
  std::va_list again;
  va_copy(again, values);
  int length = std::vsnprintf(line, sizeof line, pattern, values);
  va_end(values);
  std::string text;
  if (length > 0 && static_cast<std::size_t>(length) < sizeof line) {
    text.assign(line, static_cast<std::size_t>(length));
  } else if (length > 0) {
    text.resize(static_cast<std::size_t>(length));
    std::vsnprintf(text.data(), text.size() + 1, pattern, again);
  }
  va_end(again);
  return text;
}
