#pragma once
// The 8-bit palette BMP: the form the tool writes and the one it translates in place
// (bmp_header.h tells the other forms it reads and decodes into this one).
//
// All multi-byte fields are little-endian; offsets count from the start of the file.
//
//   offset  width  field
//        0      2  "BM" signature (never checked)
//        2      4  file size                   (output: the output's own length)
//        6      4  two reserved fields         (kept as the input holds them)
//       10      4  pixel data offset           (output: 1078)
//       14      4  info header size            (output: 40; input palette starts after it)
//       18      4  width in pixels, signed
//       22      4  height in rows, signed      (negative: rows stored top-down)
//       26      2  planes                      (1)
//       28      2  bits per pixel              (8)
//       30      4  compression                 (0)
//       34      4  image size (bytes of rows)
//       38      4  horizontal resolution, pixels per metre
//       42      4  vertical resolution
//       46      4  colours used, signed        (output: 256)
//       50      4  colours important           (kept)
//
// A palette entry is 4 bytes: blue, green, red, reserved. A pixel is one byte, a
// palette index. Rows are stored one after another, each padded with fill bytes up
// to the stride; row 0 is the first row stored (the bottom row of a bottom-up image).
//
// The output is always a 14-byte file header, a 40-byte info header, 256 palette
// entries (1024 bytes) and then the pixel rows: 1078 + stride x rows bytes.

#include <cstddef>
#include <cstdint>

namespace bmp {

constexpr std::size_t FILE_SIZE_FIELD = 2;
constexpr std::size_t RESERVED_FIELD = 6;
constexpr std::size_t PIXEL_OFFSET_FIELD = 10;
constexpr std::size_t INFO_SIZE_FIELD = 14;
constexpr std::size_t WIDTH_FIELD = 18;
constexpr std::size_t HEIGHT_FIELD = 22;
constexpr std::size_t PLANES_FIELD = 26;
constexpr std::size_t BITS_FIELD = 28;
constexpr std::size_t COMPRESSION_FIELD = 30;
constexpr std::size_t IMAGE_SIZE_FIELD = 34;
constexpr std::size_t X_RESOLUTION_FIELD = 38;
constexpr std::size_t Y_RESOLUTION_FIELD = 42;
constexpr std::size_t COLORS_USED_FIELD = 46;
constexpr std::size_t COLORS_IMPORTANT_FIELD = 50;

constexpr std::size_t FILE_HEADER_SIZE = 14;
constexpr std::uint32_t OUTPUT_INFO_SIZE = 40;
constexpr std::size_t HEADERS_SIZE = FILE_HEADER_SIZE + OUTPUT_INFO_SIZE;  // 54
constexpr int PALETTE_ENTRIES = 256;
constexpr std::size_t ENTRY_SIZE = 4;
constexpr std::size_t PALETTE_SIZE = PALETTE_ENTRIES * ENTRY_SIZE;          // 1024
constexpr std::uint32_t OUTPUT_PIXEL_OFFSET = HEADERS_SIZE + PALETTE_SIZE;  // 1078
constexpr std::uint32_t OUTPUT_COLORS_USED = 256;

// The output buffer is the input's size plus this much; it must fit a signed 32-bit size.
constexpr std::int64_t OUTPUT_EXTRA = 1024;
constexpr std::int64_t MAX_INPUT_SIZE = INT32_MAX - OUTPUT_EXTRA;

// Byte positions inside a palette entry.
constexpr std::size_t BLUE = 0;
constexpr std::size_t GREEN = 1;
constexpr std::size_t RED = 2;

}  // namespace bmp
