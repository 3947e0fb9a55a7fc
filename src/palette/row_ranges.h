#pragma once
// One big picture on several cores: its rows cut into ranges that threads count and draw
// on their own. The draws of one value follow pixel order, and the generator can jump to
// any later state at once, so a range starts each value's draws from the state that the
// value's pixels in the ranges above it leave: the output is the one a single pass gives.

#include <algorithm>
#include <cstdint>
#include <exception>
#include <thread>
#include <vector>

// Below this many pixels per thread, starting a thread costs more than it saves.
constexpr std::uint64_t MIN_PIXELS_PER_THREAD = std::uint64_t{1} << 21;

// How many threads a picture of this many pixels gets of the processors it may use: the
// one place this is decided. A build may cap it (PALETTE_MAX_THREADS) to compare.
unsigned threads_for_picture(std::uint64_t pixels, unsigned processors);

// Where ranges after the first start, for `parts` ranges of as even a number of rows as
// the rows allow.
std::vector<std::uint32_t> even_row_cuts(std::uint32_t rows, unsigned parts);

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
