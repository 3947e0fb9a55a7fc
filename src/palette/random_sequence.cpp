#include "palette/random_sequence.h"

namespace {

std::uint32_t random_state = RANDOM_START_STATE;

// x -> multiplier * x + increment, modulo 2^32.
struct affine_step {
  std::uint32_t multiplier;
  std::uint32_t increment;
};

// first, then second.
affine_step compose(affine_step first, affine_step second) {
  return {first.multiplier * second.multiplier,
          second.multiplier * first.increment + second.increment};
}

}  // namespace

int next_random() {
  return draw_random(random_state);
}

void reset_random_sequence() {
  random_state = RANDOM_START_STATE;
}

std::uint32_t current_random_state() {
  return random_state;
}

std::uint32_t random_state_after(std::uint32_t state, std::uint64_t steps) {
  affine_step total{1, 0};
  affine_step power{RANDOM_MULTIPLIER, RANDOM_INCREMENT};
  for (; steps != 0; steps >>= 1) {
    if ((steps & 1) != 0) total = compose(total, power);
    power = compose(power, power);
  }
  return total.multiplier * state + total.increment;
}
