#include "image/png_write.h"

#include <algorithm>
#include <cstring>

#include "image/bmp_layout.h"
#include "image/byte_order.h"
#include "image/compression.h"
#include "image/input_checks.h"
#include "image/png_layout.h"

namespace {

// A chunk of `length` bytes starting at `at` (its length field): the length, the type
// already there, and the CRC appended.
void close_chunk(std::vector<std::uint8_t>& png, std::size_t at) {
  auto length = static_cast<std::uint32_t>(png.size() - at - 8);
  write_be32(png.data() + at, length);
  std::uint32_t crc = crc32_of(png.data() + at + 4, std::size_t{length} + 4);
  std::uint8_t tail[4];
  write_be32(tail, crc);
  png.insert(png.end(), tail, tail + 4);
}

// Starts a chunk; returns where it starts, for close_chunk.
std::size_t open_chunk(std::vector<std::uint8_t>& png, const char* type) {
  std::size_t at = png.size();
  png.insert(png.end(), 4, 0);
  png.insert(png.end(), type, type + 4);
  return at;
}

void put32(std::vector<std::uint8_t>& png, std::uint32_t value) {
  std::uint8_t bytes[4];
  write_be32(bytes, value);
  png.insert(png.end(), bytes, bytes + 4);
}

void put_header_chunks(const work_image& image, std::vector<std::uint8_t>& png) {
  const std::uint8_t* prefix = image.output_prefix;
  png.insert(png.end(), png::SIGNATURE.begin(), png::SIGNATURE.end());
  std::size_t at = open_chunk(png, "IHDR");
  put32(png, static_cast<std::uint32_t>(image.header.width));
  put32(png, image.header.rows);
  png.insert(png.end(), {8, png::PALETTE, 0, 0, png::INTERLACE_NONE});
  close_chunk(png, at);
  at = open_chunk(png, "PLTE");
  for (std::size_t k = 0; k < bmp::PALETTE_ENTRIES; ++k) {
    const std::uint8_t* entry = prefix + bmp::HEADERS_SIZE + k * bmp::ENTRY_SIZE;
    png.insert(png.end(), {entry[bmp::RED], entry[bmp::GREEN], entry[bmp::BLUE]});
  }
  close_chunk(png, at);
  auto last = std::find_if(image.output_alpha.rbegin(), image.output_alpha.rend(),
                           [](std::uint8_t alpha) { return alpha < 255; });
  if (last != image.output_alpha.rend()) {
    at = open_chunk(png, "tRNS");
    png.insert(png.end(), image.output_alpha.begin(), last.base());
    close_chunk(png, at);
  }
  auto x = read_le32_signed(prefix + bmp::X_RESOLUTION_FIELD);
  auto y = read_le32_signed(prefix + bmp::Y_RESOLUTION_FIELD);
  if (x > 0 && y > 0) {
    at = open_chunk(png, "pHYs");
    put32(png, static_cast<std::uint32_t>(x));
    put32(png, static_cast<std::uint32_t>(y));
    png.push_back(png::PHYS_UNIT_METRE);
    close_chunk(png, at);
  }
}

// An IDAT chunk is closed once it holds this much, after a row, and the stream goes on in
// the next: far below a chunk's limit however big the picture.
constexpr std::size_t IDAT_PIECE = std::size_t{1} << 20;

// The rows top first, each behind filter type 0, into one zlib stream.
bool put_image_data(const work_image& image, std::vector<std::uint8_t>& png) {
  std::size_t at = open_chunk(png, "IDAT");
  deflate_stream stream = start_deflate(PNG_DEFLATE_LEVEL);
  const std::uint8_t filter = png::FILTER_NONE;
  auto width = static_cast<std::size_t>(image.header.width);
  bool bottom_up = image.header.height > 0;
  for (std::uint32_t line = 0; line < image.header.rows; ++line) {
    std::uint32_t stored = bottom_up ? image.header.rows - 1 - line : line;
    const std::uint8_t* row = image.output_pixels + std::size_t{stored} * image.header.stride;
    if (!deflate_more(stream, &filter, 1, png) || !deflate_more(stream, row, width, png))
      return false;
    if (png.size() - at - 8 >= IDAT_PIECE) {
      close_chunk(png, at);
      at = open_chunk(png, "IDAT");
    }
  }
  if (!deflate_end(stream, png)) return false;
  close_chunk(png, at);
  return true;
}

}  // namespace

refusal png_output(const work_image& image, std::vector<std::uint8_t>& png) {
  png.clear();
  put_header_chunks(image, png);
  if (!put_image_data(image, png)) return refusal::out_of_memory;
  close_chunk(png, open_chunk(png, "IEND"));
  return refusal::none;
}
