#pragma once

#include "palette/translation.h"

// Reads the whole open input into a new buffer and closes the input. A file too short or
// too large is refused before anything is allocated. memory.file and memory.file_size
// then hold the file.
translation_report load_bitmap(int handle, translation_memory& memory);
