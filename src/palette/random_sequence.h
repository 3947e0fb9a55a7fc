#pragma once
// The fixed pseudo-random sequence that makes every run reproducible byte for byte.
// It is a linear congruential generator; never replace it with the platform's rand().

#include <cstdint>

constexpr std::uint32_t RANDOM_START_STATE = 1;
constexpr std::uint32_t RANDOM_MULTIPLIER = 214013;
constexpr std::uint32_t RANDOM_INCREMENT = 2531011;
constexpr int RANDOM_MAX = 32767;

// The next value, 0..32767; advances the process-wide state once.
int next_random();

// Puts the sequence back at its start, as at process start-up.
void reset_random_sequence();
