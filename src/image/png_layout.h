#pragma once
// PNG, as far as the tool reads and writes it. All numbers are big-endian.
//
//   signature  137 80 78 71 13 10 26 10
//   chunk      length (4 bytes, at most 2^31 - 1), type (4 letters), data, CRC-32 of the
//              type and the data. A type whose first letter is upper case is critical: a
//              reader must know it. After IEND nothing counts.
//
//   IHDR (13 bytes, first)  width 4, height 4 (1 to 2^31 - 1 each), bit depth 1, colour
//                           type 1, compression 1 (0), filter 1 (0), interlace 1 (0 none,
//                           1 Adam7)
//   colour type  0 grayscale         depths 1, 2, 4, 8, 16
//                2 true colour       8, 16
//                3 palette           1, 2, 4, 8     PLTE required
//                4 grayscale, alpha  8, 16
//                6 true colour, alpha 8, 16
//   PLTE   1 to 256 entries of red, green, blue; before the image data
//   tRNS   palette: one alpha a palette entry, for at most as many entries as PLTE holds
//          (the rest are opaque); grayscale: 2 bytes, the one gray level that is
//          transparent; after PLTE, before the image data
//   pHYs   (9 bytes) pixels per unit across 4, down 4, unit 1 (1: the metre)
//   IDAT   the image data: one zlib stream split over consecutive chunks
//   IEND   (0 bytes) the end
//
// The stream holds the rows top first, each a filter type byte and then its samples packed
// at the bit depth, the leftmost in the highest bits, ceil(width x depth / 8) bytes. The
// filters work bytewise on whole bytes (at most 8 bits a pixel: the byte before is the one
// to the left): 0 none, 1 sub (left), 2 up (above), 3 average (of left and above, rounded
// down), 4 Paeth (of left, above and upper left, the nearest to left + above - upper left).
// An interlaced picture is seven smaller pictures one after the other (Adam7): pass p takes
// the pixels from column x0 every dx columns and from row y0 every dy rows; a pass without
// pixels has no rows at all.

#include <array>
#include <cstddef>
#include <cstdint>

namespace png {

constexpr std::array<std::uint8_t, 8> SIGNATURE = {137, 80, 78, 71, 13, 10, 26, 10};

constexpr std::size_t CHUNK_OVERHEAD = 12;  // length, type and CRC
constexpr std::uint32_t MAX_CHUNK_LENGTH = 0x7FFFFFFF;
constexpr std::uint32_t MAX_DIMENSION = 0x7FFFFFFF;

constexpr std::size_t IHDR_LENGTH = 13;
constexpr std::size_t PHYS_LENGTH = 9;
constexpr std::uint8_t PHYS_UNIT_METRE = 1;
constexpr std::uint32_t MAX_PALETTE_ENTRIES = 256;

constexpr std::uint8_t GRAYSCALE = 0;
constexpr std::uint8_t TRUE_COLOUR = 2;
constexpr std::uint8_t PALETTE = 3;
constexpr std::uint8_t GRAYSCALE_ALPHA = 4;
constexpr std::uint8_t TRUE_COLOUR_ALPHA = 6;

constexpr std::uint8_t FILTER_NONE = 0;
constexpr std::uint8_t FILTER_SUB = 1;
constexpr std::uint8_t FILTER_UP = 2;
constexpr std::uint8_t FILTER_AVERAGE = 3;
constexpr std::uint8_t FILTER_PAETH = 4;

constexpr std::uint8_t INTERLACE_NONE = 0;
constexpr std::uint8_t INTERLACE_ADAM7 = 1;

struct adam7_pass {
  std::uint32_t x0, y0, dx, dy;
};

constexpr std::array<adam7_pass, 7> ADAM7 = {{
    {0, 0, 8, 8},
    {4, 0, 8, 8},
    {0, 4, 4, 8},
    {2, 0, 4, 4},
    {0, 2, 2, 4},
    {1, 0, 2, 2},
    {0, 1, 1, 2},
}};

// The pixels of a pass along one side of `length` pixels.
constexpr std::uint32_t pass_extent(std::uint32_t length, std::uint32_t start, std::uint32_t step) {
  return length > start ? (length - start + step - 1) / step : 0;
}

// A pass as the stream holds it: where its pixels land, its pixels a row and its rows.
struct stored_pass {
  adam7_pass pass;
  std::uint32_t width;
  std::uint32_t lines;
};

// The passes in stream order: the whole picture, or Adam7's that hold a pixel (`count` of
// them).
struct stored_passes {
  std::array<stored_pass, 7> of{};
  std::size_t count = 0;
  const stored_pass* begin() const { return of.data(); }
  const stored_pass* end() const { return of.data() + count; }
};

constexpr stored_passes passes_of(std::uint32_t width, std::uint32_t height,
                                  std::uint8_t interlace) {
  stored_passes passes;
  if (interlace == INTERLACE_NONE) {
    passes.of[passes.count++] = {{0, 0, 1, 1}, width, height};
    return passes;
  }
  for (const adam7_pass& pass : ADAM7) {
    stored_pass stored{pass, pass_extent(width, pass.x0, pass.dx),
                       pass_extent(height, pass.y0, pass.dy)};
    if (stored.width != 0 && stored.lines != 0) passes.of[passes.count++] = stored;
  }
  return passes;
}

// The bytes of a row of `width` samples at `depth` bits, without its filter byte.
constexpr std::uint64_t row_bytes(std::uint64_t width, std::uint8_t depth) {
  return (width * depth + 7) / 8;
}

}  // namespace png
