#pragma once
// How many output palette entries are in use: the colours-used field's count, or the
// palette's guess kept as high as the pixels need.

#include <cstdint>
#include <optional>

#include "image/work_image.h"

// The colours-used value the used-count rule reads: the field, or |S| when compacted.
std::int64_t colors_used_read(const work_image& image);

// Whether the used count is guessed from the palette: a colours-used value of 0 or 256.
bool used_count_guessed(const work_image& image);

// The palette's guess: every entry up to the last one not made only of 0 and 255
// components, and the catch-all after them. Padding at the top of a palette is black or
// white; pure colours lower down are only kept by the pixels that use them.
std::int64_t palette_guess(const work_image& image);

// The number of output palette entries in use, catch-all included; may exceed 256. A
// guessed count keeps every value a pixel uses: at least `highest_pixel` + 2, the value's
// own entry and the catch-all. None where no pixel is known to raise it (a picture
// without pixels, or pixels not counted yet).
std::int64_t count_used_colors(const work_image& image, std::optional<int> highest_pixel);

// palette_full once used_count leaves no entry free.
refusal check_palette_room(std::int64_t used_count);
