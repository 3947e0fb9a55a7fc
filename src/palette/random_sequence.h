#pragma once
// The fixed pseudo-random sequence that makes every run reproducible byte for byte.
// It is a linear congruential generator; never replace it with the platform's rand().
// Every translation starts it at RANDOM_START_STATE: there is no state between runs.

#include <cstdint>

constexpr std::uint32_t RANDOM_START_STATE = 1;
constexpr std::uint32_t RANDOM_MULTIPLIER = 214013;
constexpr std::uint32_t RANDOM_INCREMENT = 2531011;
constexpr int RANDOM_MAX = 32767;

// x -> multiplier * x + increment, modulo 2^32: one or more steps of the generator.
struct random_jump {
  std::uint32_t multiplier = 1;
  std::uint32_t increment = 0;
};

// `steps` applications of one map, in O(log steps): affine maps compose, and all powers of
// one map commute.
constexpr random_jump power_of(random_jump step, std::uint64_t steps) {
  random_jump total;
  random_jump power = step;
  for (; steps != 0; steps >>= 1) {
    if ((steps & 1) != 0)
      total = {total.multiplier * power.multiplier,
               power.multiplier * total.increment + power.increment};
    power = {power.multiplier * power.multiplier,
             power.multiplier * power.increment + power.increment};
  }
  return total;
}

// The map of `steps` steps.
constexpr random_jump random_jump_of(std::uint64_t steps) {
  return power_of({RANDOM_MULTIPLIER, RANDOM_INCREMENT}, steps);
}

// The map that undoes `steps` steps. The multiplier is odd, so it has an inverse modulo
// 2^32 (Newton's iteration doubles the correct low bits each round).
constexpr random_jump random_jump_back(std::uint64_t steps) {
  std::uint32_t inverse = RANDOM_MULTIPLIER;
  for (int round = 0; round < 5; ++round) inverse *= 2 - RANDOM_MULTIPLIER * inverse;
  return power_of({inverse, static_cast<std::uint32_t>(0u - RANDOM_INCREMENT * inverse)}, steps);
}

// The state after `steps` more draws from `state`.
constexpr std::uint32_t random_state_after(std::uint32_t state, std::uint64_t steps) {
  random_jump jump = random_jump_of(steps);
  return jump.multiplier * state + jump.increment;
}

// One draw: the state steps once, and its bits 16 to 30 are the number.
inline int draw_random(std::uint32_t& state) {
  // Unsigned arithmetic wraps modulo 2^32, as the sequence requires.
  state = state * RANDOM_MULTIPLIER + RANDOM_INCREMENT;
  return static_cast<int>((state >> 16) & RANDOM_MAX);
}
