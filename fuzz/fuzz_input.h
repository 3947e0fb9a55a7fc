#pragma once
// What both fuzz targets read from an input: 8 bytes of parameters (three tolerances and
// the percentage, each a little-endian signed 16-bit number), then the bitmap file. Of the
// percentage's bits, 14 asks for --compact-palette and 9 to 13 choose the row cuts (see
// fuzz_row_cuts); the percentage itself takes bit 15 in their place, so every percentage
// from -512 to 511 comes with and without compaction and with every cut (all beyond 100
// act alike anyway). They share the seeds, the dictionary and the regressions.

#include <cstdint>
#include <vector>

#include "image/bmp_header.h"
#include "image/input_checks.h"
#include "image/png_chunks.h"
#include "image/png_read.h"
#include "kit/number_parse.h"
#include "palette/row_ranges.h"
#include "palette/translation.h"
#include "png_builder.h"

constexpr std::size_t PARAMETER_BYTES = 8;

inline int fuzz_parameter(const std::uint8_t* data, std::size_t size, std::size_t index) {
  if (2 * index + 1 >= size) return 0;
  return static_cast<std::int16_t>(data[2 * index] | (data[2 * index + 1] << 8));
}

constexpr int COMPACT_BIT = 1 << 14;
constexpr int CUT_SHIFT = 9;
constexpr int CUT_BITS = 0x1F << CUT_SHIFT;

inline bool fuzz_compacts(const std::uint8_t* data, std::size_t size) {
  return (fuzz_parameter(data, size, 3) & COMPACT_BIT) != 0;
}

inline int fuzz_percentage(const std::uint8_t* data, std::size_t size) {
  int raw = fuzz_parameter(data, size, 3);
  return raw < 0 ? raw | COMPACT_BIT | CUT_BITS : raw & ~(COMPACT_BIT | CUT_BITS);
}

// Where the rows of a picture of `rows` rows are cut into ranges, as threads would take
// them: 0 none; 1 to 15 that many even cuts; 16 to 31 one cut, after row 1 to 16. Fuzzed
// pictures are too small for the translation to cut them of itself.
inline std::vector<std::uint32_t> fuzz_row_cuts(const std::uint8_t* data, std::size_t size,
                                                std::uint32_t rows) {
  int selector = (fuzz_parameter(data, size, 3) & CUT_BITS) >> CUT_SHIFT;
  if (selector == 0) return {};
  if (selector < 16) return even_row_cuts(rows, static_cast<unsigned>(selector) + 1);
  return {static_cast<std::uint32_t>(selector - 15)};
}

inline translation_parameters fuzz_parameters(const std::uint8_t* data, std::size_t size) {
  return {fuzz_parameter(data, size, 0), fuzz_parameter(data, size, 1),
          fuzz_parameter(data, size, 2), background_share_of(fuzz_percentage(data, size)),
          fuzz_compacts(data, size)};
}

// The file, its PNG chunks' CRCs set right: a mutation would break them almost always, and
// the search would never get past the CRC check (a CRC mismatch is tested on its own).
inline std::vector<std::uint8_t> fuzz_file(const std::uint8_t* data, std::size_t size) {
  if (size <= PARAMETER_BYTES) return {};
  std::vector<std::uint8_t> file(data + PARAMETER_BYTES, data + size);
  fix_png_crcs(file);
  return file;
}

// The file's header when the translation gets past it, for the targets to size their work.
// The header of the 8-bit rows the translation works on, read without decoding them, and
// whether they must be decoded (a PNG, or a bitmap not 8-bit uncompressed).
inline bool usable_header(const std::vector<std::uint8_t>& file, bmp_header& header,
                          bool* decoded = nullptr) {
  if (check_input_size(static_cast<std::int64_t>(file.size())) != refusal::none) return false;
  if (looks_like_png(file.data(), file.size())) {
    png_header png;
    if (read_png_header(file.data(), file.size(), png) != refusal::none) return false;
    header = png_equivalent_header(png);
    if (decoded != nullptr) *decoded = true;
    return true;
  }
  if (file.size() < bmp::CORE_HEADERS_SIZE || file[0] != 'B' || file[1] != 'M') return false;
  if (read_bmp_header(file.data(), static_cast<std::int32_t>(file.size()), header) != refusal::none)
    return false;
  if (decoded != nullptr) *decoded = !header.in_place;
  if (!header.in_place) header = equivalent_header(header);
  return true;
}

// A few bytes of RLE, 1-bit or PNG data may claim a picture of hundreds of megabytes,
// which the literal model scans once per palette swap: far past the fuzzer's time limit.
// The tests cover such sizes; here they would only stall the search (the plain form cannot
// claim more pixels than its bytes, and the fuzzer keeps inputs under 4 KiB).
inline bool decodes_too_large_to_fuzz(const std::vector<std::uint8_t>& file) {
  constexpr std::uint64_t MAX_DECODED_SIZE = 1 << 14;
  bmp_header header;
  bool decoded = false;
  return usable_header(file, header, &decoded) && decoded &&
         bmp::OUTPUT_PIXEL_OFFSET + std::uint64_t{header.stride} * header.rows > MAX_DECODED_SIZE;
}

// The bytes of the rows the translation works on; 0 where it refuses the header.
inline std::uint64_t translated_pixel_bytes(const std::vector<std::uint8_t>& file) {
  bmp_header header;
  return usable_header(file, header) ? std::uint64_t{header.stride} * header.rows : 0;
}
