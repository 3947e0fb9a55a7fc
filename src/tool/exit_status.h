#pragma once
// The statuses the commands end with. palette-translate returns the negative numbers,
// which the shell sees as their low 8 bits: 255, 254 and 253; palette-inspect ends with
// those of the worst file. palette-batch has its own three, at the end.

constexpr int STATUS_OK = 0;
constexpr int STATUS_FAILURE = -1;
constexpr int STATUS_BAD_INPUT = -2;
constexpr int STATUS_PALETTE_FULL = -3;

// What the shell sees of a status.
constexpr int shell_status(int status) {
  return status & 0xFF;
}

// palette-batch: every file translated, some failed, or the command line was wrong.
constexpr int BATCH_ALL_TRANSLATED = 0;
constexpr int BATCH_SOME_FAILED = 1;
constexpr int BATCH_USAGE_ERROR = 2;
