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
