#pragma once
// The rows of a palette or grayscale PNG into U's rows: inflated, unfiltered
// (png_unfilter.h) and, for an interlaced picture, gathered from its seven Adam7 passes
// (png_layout.h), one byte a sample, the last stored row first as in a bitmap.

#include <cstdint>

#include "png_chunks.h"

// The bytes past U's rows the block needs to inflate the whole stream at once: 0 where the
// rows are read a band at a time instead.
std::uint64_t sample_rows_slack(const png_header& header);

// Sets the fill bytes past each row's last pixel to 0, and only those.
void zero_fill_bytes(const png_header& header, std::uint8_t* rows);

// Writes every pixel of U's rows (the fill bytes too); refuses a stream that zlib finds
// corrupt or that ends early, and a filter type above 4.
refusal decode_sample_rows(const png_header& header, std::uint8_t* rows);
