#pragma once
// Work cut into parts that threads do side by side: the pixel pass's row ranges, the PNG
// writer's deflate parts.

#include <algorithm>
#include <cstddef>
#include <exception>
#include <thread>
#include <vector>

// The build's cap on threads for one picture (PALETTE_MAX_THREADS); 0 for none.
unsigned thread_cap();

// Calls work(part) for every part from 0 to parts - 1: part 0 on this thread, the others
// on threads of their own as far as the build's cap allows, the rest here too, as where
// the system gives no thread. Returns when every part is done.
template <typename Work>
void run_parts(std::size_t parts, Work work) {
  std::size_t threads = thread_cap() == 0 ? parts : std::min<std::size_t>(parts, thread_cap());
  std::vector<std::thread> started;
  std::size_t part = 1;
  for (; part < threads; ++part) {
    try {
      started.emplace_back(work, part);
    } catch (const std::exception&) {
      break;
    }
  }
  for (std::size_t inline_part = part; inline_part < parts; ++inline_part) work(inline_part);
  work(std::size_t{0});
  for (std::thread& thread : started) thread.join();
}
