#pragma once
// The translation as its rules read, kept as the oracle for the single-pass engine, and
// written in another shape than the engine so that a misreading of a rule would not sit in
// both: the palette is a plain list of entries (colour, alpha, whether a colour in use sits
// there, which stored entry it came from), built by following the rules in order; each
// pixel only remembers its entry, and finds its slot once every move is done; the pixels
// that draw are sorted into the sequence's order and each takes its number. It shares
// with the engine only the reading of a file into its 8-bit form (which the real tools'
// files test on their own) and the facade's types; it spells the output's layout itself.

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
