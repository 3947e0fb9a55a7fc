#pragma once

#include "kit/failure.h"
#include "palette/translation.h"

// Loads the open input for the translation: memory.file and memory.file_size then hold it.
// A true-colour bitmap, and an 8-bit bitmap that streams (memory.write_part set), keep only
// their head in memory and their handle open, and their rows are read through
// memory.read_part, whose failure goes to `part_failed`; any other file is read whole and
// closed. A file too short or too large is refused by its size before
// anything is allocated (the report says so); a failed call is a failure.
or_failure<translation_report> load_bitmap(int handle, translation_memory& memory,
                                           step_failure& part_failed);
