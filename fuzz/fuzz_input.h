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
#include "kit/number_parse.h"
#include "palette/row_ranges.h"
#include "palette/translation.h"

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

inline std::vector<std::uint8_t> fuzz_file(const std::uint8_t* data, std::size_t size) {
  if (size <= PARAMETER_BYTES) return {};
  return {data + PARAMETER_BYTES, data + size};
}

// The file's header when the translation gets past it, for the targets to size their work.
inline bool usable_header(const std::vector<std::uint8_t>& file, bmp_header& header) {
  return check_input_size(static_cast<std::int64_t>(file.size())) == refusal::none &&
         read_bmp_header(file.data(), static_cast<std::int32_t>(file.size()), header) ==
             refusal::none;
}

// A few bytes of RLE or 1-bit data may claim a picture of hundreds of megabytes, which
// the literal model scans once per palette swap: far past the fuzzer's time limit. The
// tests cover such sizes; here they would only stall the search (the legacy form cannot
// claim more pixels than its bytes, and the fuzzer keeps inputs under 4 KiB).
inline bool decodes_too_large_to_fuzz(const std::vector<std::uint8_t>& file) {
  constexpr std::int32_t MAX_DECODED_SIZE = 1 << 14;
  bmp_header header;
  return usable_header(file, header) && !header.in_place &&
         equivalent_size(header) > MAX_DECODED_SIZE;
}

// The bytes of the rows the translation works on; 0 where it refuses the header.
inline std::uint64_t translated_pixel_bytes(const std::vector<std::uint8_t>& file) {
  bmp_header header;
  return usable_header(file, header) ? std::uint64_t{header.stride} * header.rows : 0;
}
