#pragma once
// PNGs of at most 8 bits a sample (png_layout.h), read into their 8-bit equivalent U: the
// uncompressed 8-bit bitmap that the translation then takes as it takes any bitmap. U is
// built as follows:
//
//   file header  "BM", 1078 + stride x rows, two reserved 0, pixel data offset 1078
//   info header  size 40; width and height from IHDR, the height positive (bottom-up);
//                planes 1; bits 8; compression 0; image size stride x rows; the
//                resolutions from pHYs when its unit is the metre and each is at most
//                2^31 - 1, else 0; colours used n when n < 256, else 0; important 0
//   palette      256 entries of blue, green, red, 0: for a palette PNG its n PLTE
//                entries, for grayscale of depth d n = 2^d entries, entry k = gray
//                k x 255 / (2^d - 1), for true colour the n distinct colours of its
//                pixels in the order colour_table.h gives; entries from n on are 0
//   rows         stride = (width + 3) / 4 x 4, U's first stored row is the PNG's last
//                (so the first pixel is the lower-left one, as in a bitmap), one byte a
//                pixel holding its sample (a sample at or past n kept as it is), fill 0
//
// Each palette entry k also has an alpha: a palette PNG's tRNS byte k, 255 past its end or
// without one; for grayscale, 0 for the entry whose gray level tRNS names, else 255; for
// true colour, its colour's own. A true-colour pixel's colour: (r, g, b, a) with alpha;
// (g, g, g, a) for gray with alpha; (r, g, b) without, opaque but where it equals the tRNS
// key, which makes it clear. A tRNS beside an alpha channel, and a PLTE (a suggestion
// only) in a true-colour picture, are ignored.
// Ancillary chunks but tRNS and pHYs are ignored, and so is whatever follows IEND or the
// last row's bytes in the zlib stream.

#include <cstdint>

#include "image/bmp_header.h"
#include "png_chunks.h"

// The size of U: 1078 + stride x rows.
std::int32_t png_equivalent_size(const png_header& header);

// The block write_png_equivalent needs: U's size, and where the whole stream is inflated at
// once, room for the filter byte of each row past U's own rows.
std::int32_t png_decode_size(const png_header& header);

// The header that reading U's own bytes would give.
bmp_header png_equivalent_header(const png_header& header);

// Writes U into `equivalent` (png_decode_size bytes): inflates and unfilters the rows,
// and refuses a stream that zlib finds corrupt, that ends before the last row, or a row
// filter type above 4, and a true-colour picture of more than 256 colours. For true colour
// it fills in the header's palette, alphas and counts from the pixels. The file's bytes,
// where `header.data` points, must be alive.
refusal write_png_equivalent(png_header& header, std::uint8_t* equivalent);
