#pragma once
// The chunks of a PNG (png_layout.h), read into the record every later step works from:
// the signature, then chunks of a length, a four-letter type, the data and a CRC over the
// type and data. IHDR comes first and once; PLTE once, before the first IDAT, never in a
// gray picture; tRNS and pHYs once each, before the first IDAT, a palette picture's tRNS
// after its PLTE; the IDAT chunks one after another; IEND last, empty. A critical chunk
// the tool does not know is refused; other ancillary chunks are skipped, and so is
// whatever follows IEND.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/png_header.h"
#include "image/refusal.h"

// Whether the bytes begin as a PNG does: the whole signature, or as much of it as there is.
bool looks_like_png(const std::uint8_t* bytes, std::size_t size);

// Reads and checks every chunk of a file that looks like a PNG, and that U's size stays
// within the input size limit. Fills in as much of the header as it read.
refusal read_png_header(const std::uint8_t* bytes, std::size_t size, png_header& header);
