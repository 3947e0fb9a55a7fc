#include "os/memory.h"

#include <sys/mman.h>

#include <cstdlib>

namespace {

constexpr std::size_t HUGE_PAGE = std::size_t{2} << 20;

}  // namespace

void* allocate_block(std::size_t size) {
  if (size < 2 * HUGE_PAGE) return std::malloc(size);
  std::size_t rounded = (size + HUGE_PAGE - 1) / HUGE_PAGE * HUGE_PAGE;
  void* block = std::aligned_alloc(HUGE_PAGE, rounded);
  if (block != nullptr) madvise(block, rounded, MADV_HUGEPAGE);
  return block;
}
