#pragma once
// The statuses the commands end with, in the one form every failure carries them: the
// number the command returns. palette-translate returns the run statuses beside the
// refusals (0, -1, -2, -3), which a POSIX shell sees as their low 8 bits (0, 255, 254 and
// 253) and Windows whole; palette-inspect ends with the worst file's. palette-batch has its
// own three.

#include "palette/translation.h"

constexpr int STATUS_OK = 0;
constexpr int STATUS_FAILURE = -1;
constexpr int STATUS_BAD_INPUT = -2;
constexpr int STATUS_PALETTE_FULL = -3;

// STATUS_OK for none, STATUS_PALETTE_FULL for palette_full, STATUS_BAD_INPUT otherwise.
int refusal_status(refusal reason);

// What the shell sees of a status.
constexpr int shell_status(int status) {
  return status & 0xFF;
}

// The worse of two statuses of palette-translate's: a failure before a bad input before a
// full palette before success, as the shell's numbers (255, 254, 253, 0) rank them.
constexpr int worse_status(int a, int b) {
  return shell_status(a) >= shell_status(b) ? a : b;
}
static_assert(worse_status(STATUS_BAD_INPUT, STATUS_FAILURE) == STATUS_FAILURE);
static_assert(worse_status(STATUS_OK, STATUS_PALETTE_FULL) == STATUS_PALETTE_FULL);

// palette-batch: every file translated, some failed, or the command line was wrong.
constexpr int BATCH_ALL_TRANSLATED = 0;
constexpr int BATCH_SOME_FAILED = 1;
constexpr int BATCH_USAGE_ERROR = 2;
