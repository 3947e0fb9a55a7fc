#pragma once
// libspng, Debian's PNG decoder, as the tests' reference: what it makes of a file, to
// compare with what the tool reads. Where the build has no libspng, nothing is decoded
// and the tests that need it skip.

#include <cstdint>
#include <vector>

#include "image/palette_entry.h"

struct spng_picture {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint8_t depth = 0;
  std::uint8_t color_type = 0;
  std::vector<std::uint8_t> samples;  // one byte a pixel, top row first (8 bits or fewer)
  std::vector<std::uint8_t> rgba;     // four bytes a pixel, transparency applied
  std::uint8_t interlace = 0;
  std::vector<rgb> palette;
  std::vector<std::uint8_t> transparency;  // the tRNS chunk's bytes, if any
  std::vector<std::uint8_t> physical;      // the pHYs chunk's bytes, if any
};

// Whether this build has libspng.
bool have_spng();

// False where libspng refuses the file (or is missing).
bool decode_with_spng(const std::vector<std::uint8_t>& file, spng_picture& picture);
