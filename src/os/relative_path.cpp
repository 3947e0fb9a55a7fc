#include "os/relative_path.h"

#include <filesystem>

namespace {

namespace fs = std::filesystem;

// Names travel as UTF-8 everywhere in the tool; std::filesystem takes the narrow
// encoding of the platform unless told, which on Windows is a code page.
fs::path path_of(const std::string& text) {
  return fs::path(std::u8string(text.begin(), text.end()));
}

std::string text_of(const fs::path& path) {
  std::u8string text = path.generic_u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace

std::string relative_path_from(const std::string& folder, const std::string& path) {
  std::error_code error;
  fs::path from = fs::absolute(path_of(folder.empty() ? "." : folder), error).lexically_normal();
  fs::path to = fs::absolute(path_of(path), error).lexically_normal();
  fs::path relative = to.lexically_relative(from);
  return relative.empty() ? text_of(to) : text_of(relative);
}
