#pragma once
// The output as a PNG (png_layout.h), where B is the bitmap the translation writes:
//
//   IHDR  B's width and |height|, 8 bits, colour type 3, methods 0, not interlaced
//   PLTE  256 entries: B's palette colours in order
//   tRNS  the alphas of entries 0 to L, L the last entry whose alpha is below 255; none
//         where every alpha is 255
//   pHYs  B's resolutions, in pixels per metre, where both are above 0
//   IDAT  the rows top first (for a bottom-up B, its last stored row first), each B's
//         indices behind filter type 0, in one zlib stream cut into chunks of 1 MiB
//   IEND
//
// The same image always gives the same bytes.

#include <cstdint>
#include <vector>

#include "image/refusal.h"
#include "image/work_image.h"

// The PNG of a translated image, deflated on up to `threads` threads (the bytes are the
// same for any number); out_of_memory where there was none for it.
refusal png_output(const work_image& image, unsigned threads, std::vector<std::uint8_t>& png);

// zlib's level for the image data: 3 deflates the 8192 x 8192 sheet four times as fast
// as its default 6 on two cores, for a file two fifths larger; sprites stay small either way.
constexpr int PNG_DEFLATE_LEVEL = 3;
