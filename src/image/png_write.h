#pragma once
// The output as a PNG (png_layout.h), where B is the bitmap the translation writes:
//
//   IHDR  B's width and |height|, 8 bits, colour type 3, methods 0, not interlaced
//   PLTE  256 entries: B's palette colours in order
//   tRNS  the alphas of entries 0 to L, L the last entry whose alpha is below 255; none
//         where every alpha is 255
//   pHYs  B's resolutions, in pixels per metre, where both are above 0
//   IDAT  the rows top first (for a bottom-up B, its last stored row first), each B's
//         indices behind filter type 0, in one zlib stream
//   IEND
//
// The same image always gives the same bytes.

#include <cstdint>
#include <vector>

#include "image/refusal.h"
#include "image/work_image.h"

// The PNG of a translated image; out_of_memory where zlib found none.
refusal png_output(const work_image& image, std::vector<std::uint8_t>& png);

// zlib's level for the image data: 6, its own default, for files as small as the image
// tools people use make them.
constexpr int PNG_DEFLATE_LEVEL = 6;
