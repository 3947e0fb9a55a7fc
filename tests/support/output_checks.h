#pragma once
// What every translated output must show, whatever the input: checks that the differential
// tests and the fuzz target run on each output they make.

#include <cstdint>
#include <string>
#include <vector>

#include "palette/translation.h"

// "" when the output of translating `input` holds the fixed colours in slots 1 to 7 and, at
// a percentage that leaves the near-background step off, shows the input's picture: every
// pixel in its input colour, but where it pointed past an explicit colours-used field (the
// catch-all shows those black). Otherwise what is wrong, in a few words.
std::string output_fault(const std::vector<std::uint8_t>& input,
                         const translation_parameters& parameters,
                         const std::vector<std::uint8_t>& output);
