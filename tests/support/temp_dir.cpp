#include <filesystem>
#include <random>

#include "subprocess.h"

temp_dir::temp_dir() {
  namespace fs = std::filesystem;
  std::random_device seed;
  std::mt19937_64 random(seed());
  // create_directory is false for a name that exists: try another.
  for (;;) {
    fs::path candidate = fs::temp_directory_path() / ("palette-test-" + std::to_string(random()));
    if (fs::create_directory(candidate)) {
      path = candidate.generic_string();
      return;
    }
  }
}

temp_dir::~temp_dir() {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

bool file_exists(const std::string& path) {
  return std::filesystem::exists(std::filesystem::symlink_status(utf8_path(path)));
}

#ifdef _WIN32
const char* const JOIN = "\\";
const char* const BACKSLASH_SHOWN = "\\";
#else
const char* const JOIN = "/";
const char* const BACKSLASH_SHOWN = "\\\\";
#endif

std::string batch_joined(const std::string& folder, const std::string& relative) {
  std::string joined = folder + JOIN;
  for (char c : relative) joined += c == '/' ? std::string(JOIN) : std::string(1, c);
  return joined;
}
