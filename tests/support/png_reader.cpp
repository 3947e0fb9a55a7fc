#include "png_reader.h"

#include "spng_reference.h"
#include "whole_files.h"

bool read_png(const std::string& path, png_picture& picture) {
  spng_picture decoded;
  if (!decode_with_spng(read_file(path), decoded)) return false;
  picture.width = decoded.width;
  picture.height = decoded.height;
  picture.pixels.clear();
  for (std::size_t i = 0; i + 3 < decoded.rgba.size(); i += 4)
    picture.pixels.push_back({decoded.rgba[i], decoded.rgba[i + 1], decoded.rgba[i + 2]});
  return true;
}
