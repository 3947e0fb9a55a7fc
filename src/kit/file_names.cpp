#include "kit/file_names.h"

#include <algorithm>

bool has_extension(const std::string& name, std::string_view extension) {
  if (name.size() < extension.size()) return false;
  return std::equal(extension.begin(), extension.end(),
                    name.end() - static_cast<std::ptrdiff_t>(extension.size()),
                    [](char wanted, char c) {
                      return c == wanted || (c >= 'A' && c <= 'Z' && c - 'A' + 'a' == wanted);
                    });
}

bool has_image_extension(const std::string& name) {
  return has_extension(name, ".bmp") || has_extension(name, ".png");
}

std::string with_extension(const std::string& name, std::string_view extension) {
  std::string base = has_image_extension(name) ? name.substr(0, name.size() - 4) : name;
  return base + std::string(extension);
}
