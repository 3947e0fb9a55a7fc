#include "os/relative_path.h"

#include <filesystem>

namespace {

namespace fs = std::filesystem;

// Names travel as UTF-8 everywhere in the tool; std::filesystem takes the narrow
// encoding of the platform unless told, which on Windows is a code page. The \\?\ form
// of a Windows path names the same file as the path without it, which links can hold.
fs::path path_of(const std::string& text) {
  std::string plain = text;
#ifdef _WIN32
  if (plain.starts_with("\\\\?\\UNC\\"))
    plain = "\\\\" + plain.substr(8);
  else if (plain.starts_with("\\\\?\\"))
    plain = plain.substr(4);
#endif
  return fs::path(std::u8string(plain.begin(), plain.end()));
}

std::string text_of(const fs::path& path) {
  std::u8string text = path.generic_u8string();
  return std::string(text.begin(), text.end());
}

// Windows names drives without regard to case; "c:" and "C:" are one drive, and one
// spelling lets the paths be compared.
fs::path with_upper_drive(fs::path path) {
  std::u8string text = path.u8string();
  if (text.size() >= 2 && text[1] == u8':' && text[0] >= u8'a' && text[0] <= u8'z') {
    text[0] = static_cast<char8_t>(text[0] - u8'a' + u8'A');
    return fs::path(text);
  }
  return path;
}

}  // namespace

std::string relative_path_from(const std::string& folder, const std::string& path) {
  std::error_code error;
  fs::path from = with_upper_drive(
      fs::absolute(path_of(folder.empty() ? "." : folder), error).lexically_normal());
  fs::path to = with_upper_drive(fs::absolute(path_of(path), error).lexically_normal());
  fs::path relative = to.lexically_relative(from);
  return relative.empty() ? text_of(to) : text_of(relative);
}
