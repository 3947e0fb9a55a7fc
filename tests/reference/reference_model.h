#pragma once
// The literal translation, kept as the oracle for the single-pass engine. It shares with
// the engine only the reading of a file into its 8-bit form (the size and header checks
// and the decoding, which the real tools' files test on their own) and the layout
// constants; every rule after that is its own, written from the rules for clarity: a
// separate output buffer, a full pixel pass for every palette swap, one scan of the
// picture for every palette value that passes the near-background test, and a generator
// stepped draw by draw.

#include <array>
#include <cstdint>
#include <vector>

#include "palette/translation.h"

struct reference_result {
  refusal refused = refusal::none;
  std::vector<std::uint8_t> output;       // the bitmap palette-translate writes; empty when refused
  std::array<std::uint8_t, 256> alpha{};  // each output entry's alpha, for a PNG output
  std::uint64_t draws = 0;                // random numbers drawn
  int used_count = 0;                     // where the translation stopped
};

// Translates a file read into its 8-bit form (read_eight_bit_form; compaction is the
// caller's to apply literally first).
reference_result reference_translate(const eight_bit_form& form,
                                     const translation_parameters& parameters);

// The fixed pseudo-random sequence, one step a draw.
struct stepping_generator {
  std::uint32_t state = 1;
  int next() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
  }
};
