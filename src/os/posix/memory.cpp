#include "os/memory.h"

#include <sys/mman.h>

#include <cerrno>
#include <cstdlib>

namespace {

constexpr std::size_t HUGE_PAGE = std::size_t{2} << 20;

os_result<void*> allocated(void* block) {
  if (block == nullptr) return failed_with<void*>(errno_error("malloc", ENOMEM));
  return {block, {}};
}

}  // namespace

os_result<void*> allocate_block(std::size_t size) {
  if (size < 2 * HUGE_PAGE) return allocated(std::malloc(size));
  std::size_t rounded = (size + HUGE_PAGE - 1) / HUGE_PAGE * HUGE_PAGE;
  void* block = std::aligned_alloc(HUGE_PAGE, rounded);
  // Only a hint: without huge pages the block is as good.
  if (block != nullptr) (void)madvise(block, rounded, MADV_HUGEPAGE);
  return allocated(block);
}
