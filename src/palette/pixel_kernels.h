#pragma once
// The inner loops of the pixel transform in tiers: portable C++, AVX2 (32 pixels a step)
// and AVX-512 with byte permutes (64 pixels a step) on x86-64, NEON table lookups (16
// pixels a step) on 64-bit ARM, WebAssembly SIMD swizzles (16 pixels a step) in the web
// build. Every tier gives the same bytes;
// the tests compare every tier the processor has with the portable one.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "image/bmp_layout.h"
#include "image/value_counts.h"
#include "random_sequence.h"

using value_table = std::array<std::uint8_t, bmp::PALETTE_ENTRIES>;

// A value whose pixels a draw decides: its private generator state, the drawn numbers
// that give background, and the gray otherwise.
struct draw_entry {
  std::uint32_t state = 0;
  std::uint16_t threshold = 0;
  std::uint8_t gray = 0;
};

struct draw_tables {
  // The output of the values no draw decides; for a value a draw decides, its gray (what a
  // draw of gray gives), so that the vector tiers look up every lane at once.
  value_table fixed{};
  value_table decided_flags{};  // 0xFF for the values a draw decides, 0 otherwise
  std::array<draw_entry, bmp::PALETTE_ENTRIES> entries{};
};

// Each kernel reads `length` pixels at `in` and writes their results at `out`; the two
// spans are either the same bytes (in place) or do not overlap.
struct pixel_kernels {
  void (*map)(const std::uint8_t* in, std::uint8_t* out, std::size_t length,
              const value_table& table);
  void (*count)(const std::uint8_t* in, std::size_t length, value_counts& counts);
  void (*draw)(const std::uint8_t* in, std::uint8_t* out, std::size_t length, draw_tables& tables);
  // The highest of `length` pixels; 0 for none.
  std::uint8_t (*highest)(const std::uint8_t* in, std::size_t length);
};

enum class kernel_tier { portable, avx2, avx512, neon, wasm_simd };

// The vector tiers go through each block one of two ways that give the same bytes, chosen
// by how busy the block is; these are where they switch. The tests force each way in turn
// on the same blocks, so that a fault in either shows.
struct block_limits {
  int count_runs_below;  // a block of fewer run starts is counted run by run, else pixel by pixel
  int drawn_runs_up_to;  // a block of at most this many runs of drawn lanes takes each run at once
  int pixels_at_once;    // in a busier block, a value with this many lanes takes them at once
  bool flat_blocks;      // a block of one value is done at once
};

enum class block_way {
  chosen,          // the tier's own limits
  runs,            // every block counted and drawn run by run
  values_at_once,  // every block counted pixel by pixel, each value's draws at once
  lane_by_lane,    // every block counted pixel by pixel, every draw on its own
};

constexpr block_limits limits_for(block_way way, block_limits chosen) {
  switch (way) {
    case block_way::chosen:
      return chosen;
    case block_way::runs:
      return {65, 64, 65, false};
    case block_way::values_at_once:
      return {0, -1, 1, false};
    case block_way::lane_by_lane:
      return {0, -1, 65, false};
  }
  return chosen;
}

constexpr block_way BLOCK_WAYS[] = {block_way::chosen, block_way::runs, block_way::values_at_once,
                                    block_way::lane_by_lane};

const char* tier_name(kernel_tier tier);

// A tier's rank against the build's cap: 0 portable, 1 the 16- and 32-byte vector tiers
// (NEON, AVX2, WebAssembly SIMD), 2 AVX-512.
constexpr int tier_level(kernel_tier tier) {
  if (tier == kernel_tier::avx512) return 2;
  return tier == kernel_tier::portable ? 0 : 1;
}

// Null where the processor lacks the tier's instructions or the build caps the tiers
// below it (the PALETTE_KERNELS cache variable). A tier without two ways has one set for all.
const pixel_kernels* kernels_of(kernel_tier tier, block_way way = block_way::chosen);

// Every tier this processor and build can run, best first; the portable one always.
std::vector<kernel_tier> available_tiers();

const pixel_kernels& best_kernels();

inline const pixel_kernels& portable_kernels() {
  return *kernels_of(kernel_tier::portable);
}

// Four counting tables, so that runs of one value do not wait on their own increments.
// 32-bit counters suffice: every span is shorter than the largest input, 2^31 bytes.
using partial_counts = std::array<std::array<std::uint32_t, bmp::PALETTE_ENTRIES>, 4>;

inline void count_bytes(const std::uint8_t* span, std::size_t length, partial_counts& partial) {
  std::size_t i = 0;
  for (; i + 4 <= length; i += 4) {
    ++partial[0][span[i]];
    ++partial[1][span[i + 1]];
    ++partial[2][span[i + 2]];
    ++partial[3][span[i + 3]];
  }
  for (; i < length; ++i) ++partial[0][span[i]];
}

// Adds each run's length to its value's count. `starts` marks the first lane of every run
// in the block but the first run's.
inline void count_runs(const std::uint8_t* block, std::uint64_t starts, std::size_t lanes,
                       value_counts& counts) {
  std::size_t run_start = 0;
  for (; starts != 0; starts &= starts - 1) {
    auto next = static_cast<std::size_t>(std::countr_zero(starts));
    counts[block[run_start]] += next - run_start;
    run_start = next;
  }
  counts[block[run_start]] += lanes - run_start;
}

inline void add_partial_counts(const partial_counts& partial, value_counts& counts) {
  for (std::size_t k = 0; k < bmp::PALETTE_ENTRIES; ++k) {
    counts[k] += std::uint64_t{partial[0][k]} + partial[1][k] + partial[2][k] + partial[3][k];
  }
}

// The vector tiers' count, block by block: a block of few runs (flat areas, sprites) adds
// each run's length at once; a busier one is counted pixel by pixel, which costs less than
// walking its runs. `run_starts` gives a block's run starts but the first, as lane bits.
// FEW_RUNS is block_limits::count_runs_below. Where a tier gives `stretch_end` (where whole
// blocks of one value, from a block on, end), a block of one run is counted with the
// blocks of its value that follow it, at once. Inlined into each tier's count, so that it
// is built for that tier's instructions (popcnt, not a library call).
template <std::size_t LANES, int FEW_RUNS, typename RunStarts, typename StretchEnd = std::nullptr_t>
[[gnu::always_inline]] inline void count_by_runs(const std::uint8_t* in, std::size_t length,
                                                 value_counts& counts, RunStarts run_starts,
                                                 StretchEnd stretch_end = nullptr) {
  partial_counts partial{};
  std::size_t i = 0;
  while (i + LANES <= length) {
    std::uint64_t starts = run_starts(in + i);
    if constexpr (!std::is_same_v<StretchEnd, std::nullptr_t>) {
      if (starts == 0) {
        std::size_t end = stretch_end(in, i + LANES, length, in[i]);
        counts[in[i]] += end - i;
        i = end;
        continue;
      }
    }
    if (std::popcount(starts) >= FEW_RUNS)
      count_bytes(in + i, LANES, partial);
    else
      count_runs(in + i, starts, LANES, counts);
    i += LANES;
  }
  count_bytes(in + i, length - i, partial);
  add_partial_counts(partial, counts);
}

// One draw for a pixel of a value a draw decides: true for gray, false for background.
// Shared by every tier so they cannot drift apart.
inline bool draw_gives_gray(draw_entry& entry) {
  return draw_random(entry.state) >= entry.threshold;
}

inline std::uint8_t draw_pixel(draw_entry& entry) {
  // Branch-free: the outcome is a coin toss the processor cannot predict.
  return static_cast<std::uint8_t>(entry.gray &
                                   -static_cast<std::uint32_t>(draw_gives_gray(entry)));
}

// The generator's maps for 1 to N steps, as two arrays the vector tiers load directly.
template <std::size_t N>
struct jump_arrays {
  alignas(64) std::uint32_t multiplier[N];
  alignas(64) std::uint32_t increment[N];

  // The state `steps` (1 to N) draws on.
  constexpr std::uint32_t after(std::uint32_t state, std::size_t steps) const {
    return multiplier[steps - 1] * state + increment[steps - 1];
  }
};

template <std::size_t N>
constexpr jump_arrays<N> make_jump_arrays() {
  jump_arrays<N> jumps{};
  for (std::size_t i = 0; i < N; ++i) {
    random_jump jump = random_jump_of(i + 1);
    jumps.multiplier[i] = jump.multiplier;
    jumps.increment[i] = jump.increment;
  }
  return jumps;
}

// A tier's four sets of kernels, one per way, made from one template over the limits.
template <template <block_limits> typename Kernels, block_limits CHOSEN>
const pixel_kernels* kernels_for_way(block_way way) {
  static const pixel_kernels sets[] = {
      Kernels<limits_for(block_way::chosen, CHOSEN)>::set,
      Kernels<limits_for(block_way::runs, CHOSEN)>::set,
      Kernels<limits_for(block_way::values_at_once, CHOSEN)>::set,
      Kernels<limits_for(block_way::lane_by_lane, CHOSEN)>::set,
  };
  return &sets[static_cast<int>(way)];
}
