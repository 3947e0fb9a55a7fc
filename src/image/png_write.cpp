#include "png_write.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "byte_order.h"
#include "compression.h"
#include "image/bmp_layout.h"
#include "input_checks.h"
#include "png_layout.h"

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
  for (int i = 0; i < 4; ++i) png.push_back(static_cast<std::uint8_t>(type[i]));
  return at;
}

void put32(std::vector<std::uint8_t>& png, std::uint32_t value) {
  std::uint8_t bytes[4];
  write_be32(bytes, value);
  png.insert(png.end(), bytes, bytes + 4);
}

void put_header_chunks(const work_image& image, std::vector<std::uint8_t>& png) {
  const std::uint8_t* prefix = image.output_prefix;
  // Assigned, not inserted into the empty vector: gcc 12 warns falsely on that form.
  png.assign(png::SIGNATURE.begin(), png::SIGNATURE.end());
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

// The image data goes into IDAT chunks of at most this many bytes: far below a chunk's
// limit however big the picture.
constexpr std::size_t IDAT_PIECE = std::size_t{1} << 20;

// The bytes the image data compresses: the rows top first, each behind filter type 0.
deflate_source filtered_rows(const work_image& image) {
  auto width = static_cast<std::size_t>(image.header.width);
  std::size_t line_length = width + 1;
  std::uint32_t rows = image.header.rows;
  bool bottom_up = image.header.height > 0;
  auto fill = [&image, line_length, rows, bottom_up](std::size_t from, std::size_t to,
                                                     std::uint8_t* dest) {
    while (from < to) {
      std::size_t line = from / line_length;
      std::size_t column = from % line_length;
      std::size_t take = std::min(to - from, line_length - column);
      std::size_t stored = bottom_up ? rows - 1 - line : line;
      const std::uint8_t* row = image.output_pixels + stored * image.header.stride;
      if (column == 0) {
        *dest++ = png::FILTER_NONE;
        std::memcpy(dest, row, take - 1);
      } else {
        std::memcpy(dest, row + column - 1, take);
      }
      dest += column == 0 ? take - 1 : take;
      from += take;
    }
  };
  return {line_length * rows, fill};
}

refusal put_image_data(const work_image& image, unsigned threads, std::vector<std::uint8_t>& png) {
  std::vector<std::uint8_t> stream;
  if (refusal fault = deflate_all(filtered_rows(image), PNG_DEFLATE_LEVEL, threads, stream);
      fault != refusal::none)
    return fault;
  // Room for every chunk and the end at once: growing by doubling would copy the file
  // and hold it twice.
  std::size_t pieces = (stream.size() + IDAT_PIECE - 1) / IDAT_PIECE;
  try {
    png.reserve(png.size() + stream.size() + 12 * (pieces + 1));
  } catch (const std::bad_alloc&) {
    return refusal::out_of_memory;
  }
  for (std::size_t at = 0; at < stream.size(); at += IDAT_PIECE) {
    std::size_t chunk = open_chunk(png, "IDAT");
    std::size_t length = std::min(IDAT_PIECE, stream.size() - at);
    png.insert(png.end(), stream.begin() + static_cast<std::ptrdiff_t>(at),
               stream.begin() + static_cast<std::ptrdiff_t>(at + length));
    close_chunk(png, chunk);
  }
  return refusal::none;
}

}  // namespace

refusal png_output(const work_image& image, unsigned threads, std::vector<std::uint8_t>& png) {
  put_header_chunks(image, png);
  if (refusal fault = put_image_data(image, threads, png); fault != refusal::none) return fault;
  close_chunk(png, open_chunk(png, "IEND"));
  return refusal::none;
}
