#include "png_reader.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>

#include "whole_files.h"

namespace {

std::uint32_t big_endian32(const std::uint8_t* bytes) {
  return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
         std::uint32_t{bytes[2]} << 8 | bytes[3];
}

int paeth(int a, int b, int c) {
  int p = a + b - c;
  int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

// Undoes each row's filter in place; `channels` bytes a pixel.
bool unfilter(std::vector<std::uint8_t>& data, std::uint32_t width, std::uint32_t height,
              std::size_t channels, std::vector<std::uint8_t>& rows) {
  std::size_t line = std::size_t{width} * channels;
  if (data.size() < (line + 1) * height) return false;
  rows.assign(line * height, 0);
  for (std::size_t y = 0; y < height; ++y) {
    std::uint8_t filter = data[y * (line + 1)];
    const std::uint8_t* in = data.data() + y * (line + 1) + 1;
    std::uint8_t* out = rows.data() + y * line;
    const std::uint8_t* up = y > 0 ? out - line : nullptr;
    for (std::size_t x = 0; x < line; ++x) {
      int left = x >= channels ? out[x - channels] : 0;
      int above = up != nullptr ? up[x] : 0;
      int corner = up != nullptr && x >= channels ? up[x - channels] : 0;
      int predicted = filter == 1   ? left
                      : filter == 2 ? above
                      : filter == 3 ? (left + above) / 2
                      : filter == 4 ? paeth(left, above, corner)
                                    : 0;
      out[x] = static_cast<std::uint8_t>(in[x] + predicted);
    }
  }
  return true;
}

}  // namespace

bool read_png(const std::string& path, png_picture& picture) {
  std::vector<std::uint8_t> file = read_file(path);
  static const std::uint8_t SIGNATURE[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (file.size() < 8 || std::memcmp(file.data(), SIGNATURE, 8) != 0) return false;
  std::vector<std::uint8_t> compressed;
  std::size_t channels = 0;
  for (std::size_t at = 8; at + 12 <= file.size();) {
    std::uint32_t length = big_endian32(file.data() + at);
    std::string type(reinterpret_cast<const char*>(file.data() + at + 4), 4);
    const std::uint8_t* body = file.data() + at + 8;
    if (at + 12 + length > file.size()) return false;
    if (type == "IHDR") {
      picture.width = big_endian32(body);
      picture.height = big_endian32(body + 4);
      if (body[8] != 8 || body[12] != 0 || (body[9] != 2 && body[9] != 6)) return false;
      channels = body[9] == 2 ? 3 : 4;
    } else if (type == "IDAT") {
      compressed.insert(compressed.end(), body, body + length);
    }
    at += 12 + length;
  }
  if (channels == 0) return false;
  std::vector<std::uint8_t> data((std::size_t{picture.width} * channels + 1) * picture.height);
  auto size = static_cast<uLongf>(data.size());
  if (uncompress(data.data(), &size, compressed.data(), static_cast<uLong>(compressed.size())) !=
      Z_OK)
    return false;
  std::vector<std::uint8_t> rows;
  if (!unfilter(data, picture.width, picture.height, channels, rows)) return false;
  picture.pixels.resize(std::size_t{picture.width} * picture.height);
  for (std::size_t i = 0; i < picture.pixels.size(); ++i)
    picture.pixels[i] = {rows[i * channels], rows[i * channels + 1], rows[i * channels + 2]};
  return true;
}
