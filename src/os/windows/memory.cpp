#include "os/memory.h"

#include <cstdlib>

// Large pages on Windows need a privilege that users seldom hold: ordinary memory.
void* allocate_block(std::size_t size) {
  return std::malloc(size);
}
