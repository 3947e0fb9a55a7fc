#include "os/memory.h"

#include <cerrno>
#include <cstdlib>

// Large pages on Windows need a privilege that users seldom hold: ordinary memory.
os_result<void*> allocate_block(std::size_t size) {
  void* block = std::malloc(size);
  if (block == nullptr) return failed_with<void*>(errno_error("malloc", ENOMEM));
  return {block, {}};
}
