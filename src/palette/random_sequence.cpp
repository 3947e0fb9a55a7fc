#include "palette/random_sequence.h"

namespace {

std::uint32_t random_state = RANDOM_START_STATE;

}  // namespace

int next_random() {
  // Unsigned arithmetic wraps modulo 2^32, as the sequence requires.
  random_state = random_state * RANDOM_MULTIPLIER + RANDOM_INCREMENT;
  return static_cast<int>((random_state >> 16) & RANDOM_MAX);
}

void reset_random_sequence() {
  random_state = RANDOM_START_STATE;
}
