#pragma once
// The storage forms the tool reads, told apart from the header once.
//
// Two kinds of info header follow the 14-byte file header (offset 14 holds its size):
//
//   core header (size 12)               info header (size 40 or more; any size at 8 bits
//                                        uncompressed)
//   offset  width  field                offset  width  field
//       18      2  width, unsigned          18      4  width, signed
//       20      2  height, unsigned         22      4  height, signed (negative: top-down)
//       22      2  planes                   28      2  bits per pixel
//       24      2  bits per pixel           30      4  compression (0 none, 1 RLE8, 2 RLE4)
//                                           46      4  colours used, signed
//   palette from 26, 3 bytes an entry   palette from 14 + size, 4 bytes an entry
//
// Accepted: 8 bits uncompressed with any header size except 12, whose own rows the tool
// transforms in place; and every other form below, which is first decoded into its 8-bit
// equivalent (an 8-bit uncompressed file with a 40-byte header and a 256-entry palette):
//   - 1, 4 or 8 bits uncompressed, either header, bottom-up or top-down. Rows are padded
//     to 4 bytes; within a byte the leftmost pixel sits in the highest bits.
//   - RLE8 at 8 bits and RLE4 at 4 bits, info header only, bottom-up only. The stream runs
//     from the pixel data offset to the end of the file, in byte pairs (n, v):
//       n > 0        n pixels: v, or for RLE4 v's high and low nibble in turn
//       0, 0         end of line: column 0 of the next row
//       0, 1         end of the bitmap
//       0, 2, dx, dy move right by dx and up (onwards in stored order) by dy
//       0, n >= 3    n literal pixels follow (a byte each, or a nibble each high first for
//                    RLE4), padded to an even number of bytes
//     Pixels at or past the width are dropped; pixels never written are index 0.
//   - True colour: 16, 24 or 32 bits a pixel, either header, bottom-up or top-down, rows
//     padded to 4 bytes, each pixel a little-endian number. Uncompressed, 24 bits are
//     blue, green, red; 32 bits blue, green, red and an unused byte; 16 bits 5-5-5 (bit
//     15 unused). With bitfields (compression 3, at 16 and 32 bits) the red, green and
//     blue masks follow the 40-byte header at offsets 54, 58 and 62 (a larger header holds
//     them there too), and a header of 56 bytes or more holds an alpha mask at 66, 0 for
//     none. Each mask is one run of 1 to 8 contiguous bits. A k-bit field v is the
//     component (v x 255 + (2^k - 1) / 2) / (2^k - 1); alpha without a mask is 255.
//     colour_table.h says how the colours become U's palette.

#include <array>
#include <cstdint>

#include "image/bmp_layout.h"
#include "image/refusal.h"

namespace bmp {

constexpr std::uint32_t CORE_INFO_SIZE = 12;
constexpr std::uint32_t MIN_INFO_SIZE = 40;
constexpr std::size_t CORE_WIDTH_FIELD = 18;
constexpr std::size_t CORE_HEIGHT_FIELD = 20;
constexpr std::size_t CORE_BITS_FIELD = 24;
constexpr std::size_t CORE_HEADERS_SIZE = FILE_HEADER_SIZE + CORE_INFO_SIZE;  // 26
constexpr std::size_t CORE_ENTRY_SIZE = 3;

constexpr std::uint32_t COMPRESSION_NONE = 0;
constexpr std::uint32_t COMPRESSION_RLE8 = 1;
constexpr std::uint32_t COMPRESSION_RLE4 = 2;
constexpr std::uint32_t COMPRESSION_BITFIELDS = 3;
// Named only, never read.
constexpr std::uint32_t COMPRESSION_JPEG = 4;
constexpr std::uint32_t COMPRESSION_PNG = 5;
constexpr std::uint32_t COMPRESSION_ALPHA_BITFIELDS = 6;
constexpr std::uint32_t COMPRESSION_CMYK = 11;
constexpr std::uint32_t COMPRESSION_CMYK_RLE8 = 12;
constexpr std::uint32_t COMPRESSION_CMYK_RLE4 = 13;

constexpr std::size_t RED_MASK_FIELD = 54;
constexpr std::size_t GREEN_MASK_FIELD = 58;
constexpr std::size_t BLUE_MASK_FIELD = 62;
constexpr std::size_t ALPHA_MASK_FIELD = 66;
constexpr std::uint32_t ALPHA_MASK_INFO_SIZE = 56;  // the smallest header with an alpha mask

}  // namespace bmp

struct bmp_header {
  std::uint32_t info_size = 0;
  bool core = false;  // the 12-byte header
  std::int32_t width = 0;
  std::int32_t height = 0;  // as stored
  std::uint32_t rows = 0;   // |height|
  std::uint16_t bits = 0;
  std::uint32_t compression = 0;
  std::int32_t colors_used = 0;  // 0 for a core header
  std::uint32_t pixel_offset = 0;
  std::uint64_t palette_offset = 0;  // may lie past the end of the file
  std::uint32_t stride = 0;          // of the 8-bit rows
  // The file is 8-bit uncompressed: its own rows are the ones translated.
  bool in_place = false;
  // Of a true-colour file: the red, green, blue and alpha masks (alpha 0: opaque), and
  // once decoded, its distinct colours (257: more than 256).
  std::array<std::uint32_t, 4> masks{};
  std::uint32_t colours = 0;
  friend bool operator==(const bmp_header&, const bmp_header&) = default;
};

// Reads and checks the header of a file of `size` bytes (at least 18). Fills in as much
// of the header as it could read, also when it refuses the file.
refusal read_bmp_header(const std::uint8_t* bytes, std::int32_t size, bmp_header& header);

// The header of the 8-bit equivalent that write_bitmap_equivalent makes of a file with this
// header: what reading the equivalent's own bytes would give, without reading them again.
bmp_header equivalent_header(const bmp_header& header);

// What a compression field value stands for, for a message: "uncompressed", "RLE8",
// "JPEG or OS/2 RLE24" ...
const char* compression_name(std::uint32_t compression);

// 16, 24 or 32 bits a pixel: colours stored whole, which U numbers.
bool is_true_colour(const bmp_header& header);

// The palette entries a decoded form stores: its colours-used field where that is above 0
// and below the form's capacity (1 << bits), the capacity otherwise.
std::uint32_t stored_entry_count(const bmp_header& header);

// The length of the 8-bit equivalent of a header that is not in place: within the input
// size limit, as read_bmp_header checked.
std::int32_t equivalent_size(const bmp_header& header);
