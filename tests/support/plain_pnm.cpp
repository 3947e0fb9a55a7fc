#include "plain_pnm.h"

#include <sstream>

#include "whole_files.h"

std::vector<std::vector<rgb>> read_plain_pnm(const std::string& path) {
  std::vector<std::uint8_t> bytes = read_file(path);
  std::istringstream in(std::string(bytes.begin(), bytes.end()));
  std::string magic;
  int width = 0;
  int height = 0;
  int top = 1;
  in >> magic >> width >> height >> top;
  bool gray = magic == "P2";
  auto next = [&] {
    int value = 0;
    in >> value;
    return static_cast<std::uint8_t>(value * 255 / top);
  };
  std::vector<std::vector<rgb>> picture(static_cast<std::size_t>(height));
  for (auto& row : picture) {
    for (int x = 0; x < width; ++x) {
      if (gray) {
        std::uint8_t level = next();
        row.push_back({level, level, level});
      } else {
        std::uint8_t red = next();
        std::uint8_t green = next();
        row.push_back({red, green, next()});
      }
    }
  }
  return picture;
}
