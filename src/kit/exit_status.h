#pragma once
// The statuses the commands end with. palette-translate returns the run statuses beside
// the refusals (0, -1, -2, -3), which the shell sees as their low 8 bits: 0, 255, 254 and
// 253; palette-inspect ends with those of the worst file. palette-batch has its own three.

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

// The status palette-translate returns for one a shell shows (255 for -1): for the
// commands that reckon in shown statuses, so that Windows, which keeps the whole number,
// shows -1, -2 and -3 for every command alike.
constexpr int returned_status(int shown) {
  return shown > 127 ? shown - 256 : shown;
}
static_assert(returned_status(shell_status(STATUS_FAILURE)) == STATUS_FAILURE);

// palette-batch: every file translated, some failed, or the command line was wrong.
constexpr int BATCH_ALL_TRANSLATED = 0;
constexpr int BATCH_SOME_FAILED = 1;
constexpr int BATCH_USAGE_ERROR = 2;
