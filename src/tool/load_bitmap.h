#pragma once

#include "palette/translation.h"

// Reads the whole open input into a new buffer and closes the input. A file too short or
// too large is reported before anything is allocated.
translation_report load_bitmap(int handle, work_image& image);
