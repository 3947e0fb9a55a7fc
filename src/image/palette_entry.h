#pragma once
// Colours of the input and output palettes, read and written as red, green, blue.

#include <cstdint>

#include "image/colour.h"
#include "image/work_image.h"

// Entries past the end of the input file read as black.
rgb input_palette_color(const work_image& image, int index);

rgb output_palette_color(const work_image& image, int index);

// Writes blue, green and red, as a colour the translation fills in itself: opaque. The
// reserved byte stays with the slot.
void set_output_palette_color(work_image& image, int index, rgb color);

// Exchanges the colours, and their alphas with them; the reserved bytes stay.
void swap_output_palette_colors(work_image& image, int a, int b);
