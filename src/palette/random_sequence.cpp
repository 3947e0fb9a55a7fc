#include "palette/random_sequence.h"

namespace {

std::uint32_t random_state = RANDOM_START_STATE;

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
