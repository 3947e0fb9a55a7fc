#pragma once
// The bitmap decoder: every form bmp_header.h reads (1, 4 and 8 bits, RLE4 and RLE8, core
// headers, true colour) into its 8-bit equivalent, the same picture as an 8-bit
// uncompressed file with a 40-byte info header, 256 palette entries and one byte a pixel,
// which the translation then takes as it takes any 8-bit file. The headers keep the file's
// own reserved fields, resolutions, planes and important count.

#include <array>
#include <cstdint>

#include "bmp_true_colour.h"
#include "image/bmp_header.h"

// Writes the 8-bit equivalent of the file into `equivalent` (equivalent_size bytes). A
// true-colour file's palette, and the alpha of each entry, come from its pixels; it fills
// in header.colours and refuses more than 256 of them. Only a true-colour file's rows may
// be read through file.read_part; every other form is read from file.bytes whole.
refusal write_bitmap_equivalent(stored_file file, bmp_header& header, std::uint8_t* equivalent,
                                std::array<std::uint8_t, bmp::PALETTE_ENTRIES>& alpha);
