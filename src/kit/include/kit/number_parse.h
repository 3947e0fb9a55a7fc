#pragma once

#include <cstdint>

#include "palette/translation.h"

// Reads a number the way the tool always has: leading white space, an optional sign, then
// decimal digits up to the first other character. No digits give 0; nothing is reported.
// Digits accumulate modulo 2^32 and the result is read as signed 32-bit.
std::int32_t parse_number(const char* text);

// The percentage as a share: formed in double, kept in single precision.
float background_share_of(std::int32_t percentage);

// The three tolerances and the percentage, in that order, each read by parse_number.
translation_parameters parse_parameters(char* const numbers[4]);
