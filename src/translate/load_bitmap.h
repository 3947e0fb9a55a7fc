#pragma once

#include "kit/failure.h"
#include "palette/translation.h"

// Reads the whole open input into a new buffer and closes it; memory.file and
// memory.file_size then hold the file. A file too short or too large is refused by its
// size before anything is allocated (the report says so); a failed call is a failure.
or_failure<translation_report> load_bitmap(int handle, translation_memory& memory);
