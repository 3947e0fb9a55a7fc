#pragma once
// True-colour PNGs (colour types 2, 4 and 6 at 8 bits a sample) into U's rows: each row is
// inflated and unfiltered on its own and numbered straight into U, so the whole decoded
// picture, 3 or 4 times U's size, is never held.

#include <cstdint>

#include "png_read.h"

// Writes U's pixel rows (fill bytes aside) and fills in the header's palette, alphas,
// entries and colours from them; refuses more than 256 colours (header.colours 257).
refusal number_true_colour_rows(png_header& header, std::uint8_t* rows);
