#include "kernel_tiers.h"

#include "random_sequence.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))

#include <immintrin.h>

#include <bit>

#define VECTOR_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi,bmi2,popcnt")))

namespace {

constexpr std::size_t LANES = 64;

struct vector_table {
  __m512i quarter[4];
};

VECTOR_TARGET vector_table load_table(const value_table& table) {
  return {{_mm512_loadu_si512(table.data()), _mm512_loadu_si512(table.data() + 64),
           _mm512_loadu_si512(table.data() + 128), _mm512_loadu_si512(table.data() + 192)}};
}

// 64 lookups in a 256-entry byte table: two 128-entry permutes, chosen by the top bit.
VECTOR_TARGET __m512i look_up(const vector_table& table, __m512i values) {
  __m512i low = _mm512_permutex2var_epi8(table.quarter[0], values, table.quarter[1]);
  __m512i high = _mm512_permutex2var_epi8(table.quarter[2], values, table.quarter[3]);
  return _mm512_mask_blend_epi8(_mm512_movepi8_mask(values), low, high);
}

// The first `count` lanes; all of them from 64 on.
VECTOR_TARGET __mmask64 first_lanes(std::size_t count) {
  return count >= LANES ? ~__mmask64{0} : (__mmask64{1} << count) - 1;
}

VECTOR_TARGET void map_vector(const std::uint8_t* in, std::uint8_t* out, std::size_t length,
                              const value_table& table) {
  vector_table lut = load_table(table);
  for (std::size_t i = 0; i < length; i += LANES) {
    __mmask64 mask = first_lanes(length - i);
    __m512i values = _mm512_maskz_loadu_epi8(mask, in + i);
    _mm512_mask_storeu_epi8(out + i, mask, look_up(lut, values));
  }
}

// Each lane beside the lane before it; lane 0 gets lane 63, so callers mask lane 0 off.
VECTOR_TARGET __m512i previous_lanes(__m512i values) {
  const __m512i previous = _mm512_sub_epi8(
      _mm512_set_epi8(63, 62, 61, 60, 59, 58, 57, 56, 55, 54, 53, 52, 51, 50, 49, 48, 47, 46, 45,
                      44, 43, 42, 41, 40, 39, 38, 37, 36, 35, 34, 33, 32, 31, 30, 29, 28, 27, 26,
                      25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5,
                      4, 3, 2, 1, 0),
      _mm512_set1_epi8(1));
  // The masked form with every lane set: gcc 12 warns on the plain form's undefined source.
  return _mm512_maskz_permutexvar_epi8(~0ull, previous, values);
}

// The limits this tier is tuned for; the tests force each way in turn.
constexpr block_limits CHOSEN{12, 6, 4, true};

template <block_limits L>
VECTOR_TARGET void count_vector(const std::uint8_t* in, std::size_t length, value_counts& counts) {
  count_by_runs<LANES, L.count_runs_below>(
      in, length, counts, [](const std::uint8_t* block) VECTOR_TARGET {
        __m512i values = _mm512_loadu_si512(block);
        return _mm512_cmpneq_epi8_mask(values, previous_lanes(values)) & ~1ull;
      });
}

// The generator's maps for 1 to 64 steps, 16 to a vector.
constexpr jump_arrays<LANES> BLOCK_JUMPS = make_jump_arrays<LANES>();

// The outcomes of the next `count` draws from a state (16 at a time), bit j for draw j + 1
// (set: gray). Every draw comes straight from the start state, so none waits on the one
// before.
VECTOR_TARGET std::uint64_t gray_outcomes(std::uint32_t state, std::uint16_t threshold,
                                          std::size_t count) {
  __m512i start = _mm512_set1_epi32(static_cast<int>(state));
  __m512i limit = _mm512_set1_epi32(threshold);
  std::uint64_t gray = 0;
  for (std::size_t quarter = 0; quarter < 4 && 16 * quarter < count; ++quarter) {
    __m512i multiplier = _mm512_load_si512(BLOCK_JUMPS.multiplier + 16 * quarter);
    __m512i increment = _mm512_load_si512(BLOCK_JUMPS.increment + 16 * quarter);
    __m512i next = _mm512_add_epi32(_mm512_mullo_epi32(start, multiplier), increment);
    __m512i drawn =
        _mm512_and_si512(_mm512_maskz_srli_epi32(0xFFFF, next, 16), _mm512_set1_epi32(0x7FFF));
    gray |= std::uint64_t{_mm512_cmpge_epu32_mask(drawn, limit)} << (16 * quarter);
  }
  return gray;
}

// The gray outcomes (a lane mask) of a block's drawn lanes: the lanes of one value take
// consecutive draws of its sequence, in lane order. A block of few runs takes each run's
// draws at once, shifted into place; the runs hang together only through the state of a
// value that has two of them, so the processor overlaps them.
VECTOR_TARGET std::uint64_t draw_runs(const std::uint8_t* block, std::uint64_t starts,
                                      std::uint64_t continued, draw_tables& tables) {
  std::uint64_t gray = 0;
  for (; starts != 0; starts &= starts - 1) {
    auto first = static_cast<std::size_t>(std::countr_zero(starts));
    auto run = static_cast<std::size_t>(std::countr_one(continued >> first >> 1)) + 1;
    draw_entry& entry = tables.entries[block[first]];
    gray |= (gray_outcomes(entry.state, entry.threshold, run) & first_lanes(run)) << first;
    entry.state = BLOCK_JUMPS.after(entry.state, run);
  }
  return gray;
}

// A busy block (dithering, noise): the values with many pixels take their draws at once,
// while the first value left has many (L.pixels_at_once); the rest go one by one.
template <block_limits L>
VECTOR_TARGET std::uint64_t draw_values(__m512i values, const std::uint8_t* block,
                                        std::uint64_t drawn, draw_tables& tables) {
  std::uint64_t gray = 0;
  while (drawn != 0) {
    std::uint8_t value = block[std::countr_zero(drawn)];
    std::uint64_t lanes =
        _mm512_cmpeq_epi8_mask(values, _mm512_set1_epi8(static_cast<char>(value))) & drawn;
    auto count = static_cast<std::size_t>(std::popcount(lanes));
    if (count < static_cast<std::size_t>(L.pixels_at_once)) break;
    draw_entry& entry = tables.entries[value];
    gray |= _pdep_u64(gray_outcomes(entry.state, entry.threshold, count), lanes);
    entry.state = BLOCK_JUMPS.after(entry.state, count);
    drawn &= ~lanes;
  }
  for (; drawn != 0; drawn &= drawn - 1) {
    auto lane = static_cast<std::size_t>(std::countr_zero(drawn));
    gray |= std::uint64_t{draw_gives_gray(tables.entries[block[lane]])} << lane;
  }
  return gray;
}

// Above L.drawn_runs_up_to runs a block counts as busy.
template <block_limits L>
VECTOR_TARGET std::uint64_t draw_block(__m512i values, const std::uint8_t* block,
                                       std::uint64_t drawn, draw_tables& tables) {
  std::uint64_t continued =
      _mm512_cmpeq_epi8_mask(values, previous_lanes(values)) & drawn & (drawn << 1);
  std::uint64_t starts = drawn & ~continued;
  if (std::popcount(starts) <= L.drawn_runs_up_to)
    return draw_runs(block, starts, continued, tables);
  return draw_values<L>(values, block, drawn, tables);
}

// A block of one value (flat areas): its fixed value, or its draws in lane order.
VECTOR_TARGET __m512i flat_block(std::uint8_t value, std::size_t count, draw_tables& tables) {
  __m512i fixed = _mm512_set1_epi8(static_cast<char>(tables.fixed[value]));
  if (tables.decided_flags[value] == 0) return fixed;
  draw_entry& entry = tables.entries[value];
  std::uint64_t gray = gray_outcomes(entry.state, entry.threshold, count);
  entry.state = BLOCK_JUMPS.after(entry.state, count);
  return _mm512_maskz_mov_epi8(gray, fixed);
}

// Every pixel takes its fixed value, which for a value a draw decides is its gray; a draw
// of background then clears it.
template <block_limits L>
VECTOR_TARGET void draw_vector(const std::uint8_t* in, std::uint8_t* out, std::size_t length,
                               draw_tables& tables) {
  vector_table fixed = load_table(tables.fixed);
  vector_table decided = load_table(tables.decided_flags);
  for (std::size_t i = 0; i < length; i += LANES) {
    __mmask64 mask = first_lanes(length - i);
    __m512i values = _mm512_maskz_loadu_epi8(mask, in + i);
    if (L.flat_blocks && _mm512_mask_cmpneq_epi8_mask(
                             mask, values, _mm512_set1_epi8(static_cast<char>(in[i]))) == 0) {
      auto count = static_cast<std::size_t>(std::popcount(mask));
      _mm512_mask_storeu_epi8(out + i, mask, flat_block(in[i], count, tables));
      continue;
    }
    __m512i flags = look_up(decided, values);
    __m512i result = look_up(fixed, values);
    std::uint64_t drawn = _mm512_test_epi8_mask(flags, flags) & mask;
    if (drawn != 0) {
      std::uint64_t background = drawn & ~draw_block<L>(values, in + i, drawn, tables);
      result = _mm512_maskz_mov_epi8(~background, result);
    }
    _mm512_mask_storeu_epi8(out + i, mask, result);
  }
}

// Four blocks a step, so that the maxima do not wait on one another; the last partial
// block loads zeros past the end.
VECTOR_TARGET std::uint8_t highest_vector(const std::uint8_t* in, std::size_t length) {
  __m512i most[4] = {};
  std::size_t i = 0;
  for (; i + 4 * LANES <= length; i += 4 * LANES) {
    for (std::size_t k = 0; k < 4; ++k)
      most[k] = _mm512_max_epu8(most[k], _mm512_loadu_si512(in + i + k * LANES));
  }
  for (; i < length; i += LANES)
    most[0] = _mm512_max_epu8(most[0], _mm512_maskz_loadu_epi8(first_lanes(length - i), in + i));
  __m512i all =
      _mm512_max_epu8(_mm512_max_epu8(most[0], most[1]), _mm512_max_epu8(most[2], most[3]));
  // The 64 lanes' maximum: once a call, so a plain loop will do (gcc 12 warns falsely on
  // the 512-bit extracts).
  alignas(64) std::uint8_t lanes[LANES];
  _mm512_store_si512(lanes, all);
  std::uint8_t highest = 0;
  for (std::uint8_t lane : lanes) highest = lane > highest ? lane : highest;
  return highest;
}

template <block_limits L>
struct avx512_kernels {
  static constexpr pixel_kernels set{map_vector, count_vector<L>, draw_vector<L>, highest_vector};
};

}  // namespace

const pixel_kernels* avx512_kernels_if_supported(block_way way) {
  static const bool supported = __builtin_cpu_supports("avx512f") &&
                                __builtin_cpu_supports("avx512bw") &&
                                __builtin_cpu_supports("avx512vbmi") &&
                                __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
  return supported ? kernels_for_way<avx512_kernels, CHOSEN>(way) : nullptr;
}

#else

const pixel_kernels* avx512_kernels_if_supported(block_way) {
  return nullptr;
}

#endif
