#pragma once
// The statuses the commands end with. palette-translate returns the negative numbers,
// which the shell sees as their low 8 bits: 255, 254 and 253.

constexpr int STATUS_OK = 0;
constexpr int STATUS_FAILURE = -1;
constexpr int STATUS_BAD_INPUT = -2;
constexpr int STATUS_PALETTE_FULL = -3;

// What the shell sees of a status.
constexpr int shell_status(int status) {
  return status & 0xFF;
}
