#pragma once

// Run statuses; the shell sees them as 0, 255, 254 and 253.
constexpr int STATUS_OK = 0;
constexpr int STATUS_FAILURE = -1;
constexpr int STATUS_BAD_INPUT = -2;
constexpr int STATUS_PALETTE_FULL = -3;

// The whole run: banner, parameters, files, translation, output. Returns the status.
int run_translation(int argc, char** argv);
