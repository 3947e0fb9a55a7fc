#include "kernel_tiers.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

// No BMI2: its bit deposit is microcode on AMD's Zen 1 and 2, slower than the work it saves.
#define AVX2_TARGET __attribute__((target("avx2,popcnt")))

namespace {

constexpr std::size_t LANES = 32;

// A 256-entry byte table as sixteen slices of 16, each copied into both 128-bit halves,
// since vpshufb looks up within a half only.
struct slice_table {
  __m256i slice[16];
};

AVX2_TARGET slice_table load_slices(const value_table& table) {
  slice_table slices;
  for (std::size_t i = 0; i < 16; ++i) {
    __m128i slice = _mm_loadu_si128(reinterpret_cast<const __m128i*>(table.data() + 16 * i));
    slices.slice[i] = _mm256_broadcastsi128_si256(slice);
  }
  return slices;
}

// 32 lookups: each slice looked up by the low nibble, then a tree of byte blends picks the
// slice by bits 7, 6, 5 and 4 in turn. vpblendvb reads each byte's top bit, so every level
// first moves the next bit up there.
AVX2_TARGET __m256i look_up(const slice_table& slices, __m256i values) {
  __m256i low = _mm256_and_si256(values, _mm256_set1_epi8(0x0F));
  __m256i level[8];
  for (std::size_t i = 0; i < 8; ++i) {
    level[i] = _mm256_blendv_epi8(_mm256_shuffle_epi8(slices.slice[i], low),
                                  _mm256_shuffle_epi8(slices.slice[i + 8], low), values);
  }
  __m256i select = values;
  for (std::size_t width = 4; width >= 1; width /= 2) {
    select = _mm256_add_epi8(select, select);
    for (std::size_t i = 0; i < width; ++i)
      level[i] = _mm256_blendv_epi8(level[i], level[i + width], select);
  }
  return level[0];
}

AVX2_TARGET __m256i load_block(const std::uint8_t* at) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
}

AVX2_TARGET void store_block(std::uint8_t* at, __m256i block) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(at), block);
}

AVX2_TARGET std::uint32_t lanes_where(__m256i bytes) {
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(bytes));
}

// Each lane beside the lane before it; lane 0 meets a zero.
AVX2_TARGET __m256i previous_lanes(__m256i values) {
  return _mm256_alignr_epi8(values, _mm256_permute2x128_si256(values, values, 0x08), 15);
}

// 0xFF in the first `count` lanes.
AVX2_TARGET __m256i first_lanes(std::size_t count) {
  __m256i lane = _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18,
                                  19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
  return _mm256_cmpgt_epi8(_mm256_set1_epi8(static_cast<char>(count)), lane);
}

// Runs a block kernel over whole blocks, and over the last partial block through a copy;
// the kernel is told which lanes hold pixels.
template <typename Block>
AVX2_TARGET void for_each_block(const std::uint8_t* in, std::uint8_t* out, std::size_t length,
                                Block block) {
  std::size_t i = 0;
  __m256i all = _mm256_set1_epi8(-1);
  for (; i + LANES <= length; i += LANES) block(in + i, out + i, all);
  if (i == length) return;
  alignas(32) std::uint8_t tail_in[LANES] = {};
  alignas(32) std::uint8_t tail_out[LANES];
  std::memcpy(tail_in, in + i, length - i);
  block(tail_in, tail_out, first_lanes(length - i));
  std::memcpy(out + i, tail_out, length - i);
}

AVX2_TARGET void map_avx2(const std::uint8_t* in, std::uint8_t* out, std::size_t length,
                          const value_table& table) {
  slice_table slices = load_slices(table);
  for_each_block(in, out, length,
                 [&](const std::uint8_t* from, std::uint8_t* to, __m256i)
                     AVX2_TARGET { store_block(to, look_up(slices, load_block(from))); });
}

// The limits this tier is tuned for; the tests force each way in turn.
constexpr block_limits CHOSEN{6, 4, 6, true};

template <block_limits L>
AVX2_TARGET void count_avx2(const std::uint8_t* in, std::size_t length, value_counts& counts) {
  count_by_runs<LANES, L.count_runs_below>(
      in, length, counts, [](const std::uint8_t* block) AVX2_TARGET {
        __m256i values = load_block(block);
        return std::uint64_t{~lanes_where(_mm256_cmpeq_epi8(values, previous_lanes(values))) & ~1u};
      });
}

constexpr jump_arrays<LANES> BLOCK_JUMPS = make_jump_arrays<LANES>();

// The maps back by 0 to 31 steps.
constexpr std::array<random_jump, LANES> make_back_jumps() {
  std::array<random_jump, LANES> jumps{};
  for (std::size_t steps = 0; steps < LANES; ++steps) jumps[steps] = random_jump_back(steps);
  return jumps;
}

constexpr std::array<random_jump, LANES> BACK_JUMPS = make_back_jumps();

// Draws 8k + 1 to 8k + 8 from a state, as 32-bit lanes (all ones: gray); nothing where
// the draws are not wanted.
AVX2_TARGET __m256i eight_outcomes(__m256i start, __m256i below, std::size_t k, std::size_t count) {
  if (8 * k >= count) return _mm256_setzero_si256();
  __m256i multiplier =
      _mm256_load_si256(reinterpret_cast<const __m256i*>(BLOCK_JUMPS.multiplier + 8 * k));
  __m256i increment =
      _mm256_load_si256(reinterpret_cast<const __m256i*>(BLOCK_JUMPS.increment + 8 * k));
  __m256i next = _mm256_add_epi32(_mm256_mullo_epi32(start, multiplier), increment);
  __m256i drawn = _mm256_and_si256(_mm256_srli_epi32(next, 16), _mm256_set1_epi32(0x7FFF));
  return _mm256_cmpgt_epi32(drawn, below);
}

// The outcomes of the next `count` draws from a state as bytes, byte j for draw j + 1
// (0xFF: gray). Every draw comes straight from the start state, so none waits on the one
// before.
AVX2_TARGET __m256i gray_outcomes(std::uint32_t state, std::uint16_t threshold, std::size_t count) {
  __m256i start = _mm256_set1_epi32(static_cast<int>(state));
  __m256i below = _mm256_set1_epi32(threshold - 1);
  // The packs interleave the 128-bit halves; the permute puts the draws back in order.
  __m256i bytes = _mm256_packs_epi16(_mm256_packs_epi32(eight_outcomes(start, below, 0, count),
                                                        eight_outcomes(start, below, 1, count)),
                                     _mm256_packs_epi32(eight_outcomes(start, below, 2, count),
                                                        eight_outcomes(start, below, 3, count)));
  return _mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
}

// For every lane, how many of the chosen lanes (0xFF bytes) lie before it.
AVX2_TARGET __m256i lanes_before(__m256i chosen) {
  __m256i sum = _mm256_sub_epi8(_mm256_setzero_si256(), chosen);
  sum = _mm256_add_epi8(sum, _mm256_slli_si256(sum, 1));
  sum = _mm256_add_epi8(sum, _mm256_slli_si256(sum, 2));
  sum = _mm256_add_epi8(sum, _mm256_slli_si256(sum, 4));
  sum = _mm256_add_epi8(sum, _mm256_slli_si256(sum, 8));
  // The upper half adds the lower half's total, its byte 15.
  __m256i carry =
      _mm256_shuffle_epi8(_mm256_permute2x128_si256(sum, sum, 0x08), _mm256_set1_epi8(15));
  return _mm256_add_epi8(_mm256_sub_epi8(sum, _mm256_sub_epi8(_mm256_setzero_si256(), chosen)),
                         carry);
}

// Byte `index` (0 to 31) of `table` for every lane.
AVX2_TARGET __m256i pick_bytes(__m256i table, __m256i index) {
  __m256i lower = _mm256_permute2x128_si256(table, table, 0x00);
  __m256i upper = _mm256_permute2x128_si256(table, table, 0x11);
  __m256i low_bits = _mm256_and_si256(index, _mm256_set1_epi8(0x0F));
  return _mm256_blendv_epi8(_mm256_shuffle_epi8(lower, low_bits),
                            _mm256_shuffle_epi8(upper, low_bits), _mm256_slli_epi16(index, 3));
}

// The lanes of one value, in lane order, take consecutive numbers of its sequence: each
// lane's outcome is the draw numbered by the lanes of the value before it.
AVX2_TARGET __m256i draw_lanes_at_once(__m256i chosen, std::uint32_t lanes, draw_entry& entry) {
  auto count = static_cast<std::size_t>(__builtin_popcount(lanes));
  __m256i outcomes =
      pick_bytes(gray_outcomes(entry.state, entry.threshold, count), lanes_before(chosen));
  entry.state = BLOCK_JUMPS.after(entry.state, count);
  return _mm256_and_si256(outcomes, _mm256_set1_epi8(static_cast<char>(entry.gray)));
}

// One run of a value's lanes, from lane `first` on: from the state `first` draws back, the
// outcomes fall in lane order, with no reordering. Lanes outside the run give 0.
AVX2_TARGET __m256i draw_run(std::size_t first, std::size_t run, draw_entry& entry) {
  random_jump back = BACK_JUMPS[first];
  __m256i outcomes =
      gray_outcomes(back.multiplier * entry.state + back.increment, entry.threshold, first + run);
  entry.state = BLOCK_JUMPS.after(entry.state, run);
  __m256i lanes = _mm256_andnot_si256(first_lanes(first), first_lanes(first + run));
  return _mm256_and_si256(_mm256_and_si256(outcomes, lanes),
                          _mm256_set1_epi8(static_cast<char>(entry.gray)));
}

// A block of few runs takes each run's draws at once; the runs hang together only through
// the state of a value that has two of them, so the processor overlaps them.
AVX2_TARGET __m256i draw_runs(const std::uint8_t* block, std::uint32_t starts,
                              std::uint32_t continued, draw_tables& tables) {
  __m256i drawn = _mm256_setzero_si256();
  for (; starts != 0; starts &= starts - 1) {
    auto first = static_cast<std::size_t>(std::countr_zero(starts));
    auto run = static_cast<std::size_t>(std::countr_one(continued >> first >> 1)) + 1;
    drawn = _mm256_or_si256(drawn, draw_run(first, run, tables.entries[block[first]]));
  }
  return drawn;
}

// Takes the values with many pixels in the block (L.pixels_at_once) one at a time, while
// there are such, their draws 32 at a time; returns the lanes left for drawing one by one.
template <block_limits L>
AVX2_TARGET std::uint32_t draw_values_at_once(__m256i values, __m256i pixels,
                                              const std::uint8_t* block, std::uint32_t drawn,
                                              __m256i& result, draw_tables& tables) {
  while (drawn != 0) {
    std::uint8_t value = block[__builtin_ctz(drawn)];
    __m256i chosen = _mm256_and_si256(
        pixels, _mm256_cmpeq_epi8(values, _mm256_set1_epi8(static_cast<char>(value))));
    std::uint32_t lanes = lanes_where(chosen);
    if (__builtin_popcount(lanes) < L.pixels_at_once) break;
    result = _mm256_blendv_epi8(result, draw_lanes_at_once(chosen, lanes, tables.entries[value]),
                                chosen);
    drawn &= ~lanes;
  }
  return drawn;
}

// A set of values as 256 bits, byte k holding values 8k to 8k + 7: 32 bytes, split into
// two halves each copied into both 128-bit halves for vpshufb. Testing membership costs a
// fraction of a full table lookup.
struct value_set {
  __m256i low;
  __m256i high;
};

AVX2_TARGET value_set load_set(const value_table& flags) {
  alignas(32) std::uint32_t bits[8];
  for (std::size_t i = 0; i < 8; ++i) bits[i] = lanes_where(load_block(flags.data() + 32 * i));
  return {_mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(bits))),
          _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(bits + 4)))};
}

// 0xFF in the lanes whose value is in the set.
AVX2_TARGET __m256i in_set(const value_set& set, __m256i values) {
  __m256i byte = _mm256_and_si256(_mm256_srli_epi16(values, 3), _mm256_set1_epi8(0x1F));
  __m256i bits =
      _mm256_blendv_epi8(_mm256_shuffle_epi8(set.low, byte), _mm256_shuffle_epi8(set.high, byte),
                         _mm256_slli_epi16(byte, 3));
  // Bytes 1, 2, 4 ... 128 in every 8 bytes: the bit of a value within its byte.
  __m256i bit =
      _mm256_shuffle_epi8(_mm256_set1_epi64x(static_cast<long long>(0x8040201008040201ull)),
                          _mm256_and_si256(values, _mm256_set1_epi8(7)));
  return _mm256_cmpeq_epi8(_mm256_and_si256(bits, bit), bit);
}

// A block of one value (flat areas): its fixed value, or its draws in lane order.
AVX2_TARGET __m256i flat_block(std::uint8_t value, std::size_t count, draw_tables& tables) {
  __m256i fixed = _mm256_set1_epi8(static_cast<char>(tables.fixed[value]));
  if (tables.decided_flags[value] == 0) return fixed;
  draw_entry& entry = tables.entries[value];
  __m256i outcomes = gray_outcomes(entry.state, entry.threshold, count);
  entry.state = BLOCK_JUMPS.after(entry.state, count);
  return _mm256_and_si256(outcomes, fixed);
}

// Every pixel first takes its fixed value; then the values a draw decides. Above
// L.drawn_runs_up_to runs a block counts as busy.
template <block_limits L>
AVX2_TARGET void draw_block(const std::uint8_t* from, std::uint8_t* to, __m256i pixels,
                            const slice_table& fixed, const value_set& decided,
                            draw_tables& tables) {
  __m256i values = load_block(from);
  std::uint32_t valid = lanes_where(pixels);
  std::uint32_t same =
      lanes_where(_mm256_cmpeq_epi8(values, _mm256_set1_epi8(static_cast<char>(from[0]))));
  if (L.flat_blocks && (same & valid) == valid) {
    store_block(to,
                flat_block(from[0], static_cast<std::size_t>(__builtin_popcount(valid)), tables));
    return;
  }
  __m256i drawn_lanes = _mm256_and_si256(pixels, in_set(decided, values));
  std::uint32_t drawn = lanes_where(drawn_lanes);
  // A block drawn whole (noise near the background) needs no fixed values.
  __m256i result = drawn == valid ? values : look_up(fixed, values);
  if (drawn == 0) {
    store_block(to, result);
    return;
  }
  std::uint32_t continued =
      lanes_where(_mm256_cmpeq_epi8(values, previous_lanes(values))) & drawn & (drawn << 1);
  std::uint32_t starts = drawn & ~continued;
  if (std::popcount(starts) <= L.drawn_runs_up_to) {
    store_block(
        to, _mm256_blendv_epi8(result, draw_runs(from, starts, continued, tables), drawn_lanes));
    return;
  }
  std::uint32_t left = draw_values_at_once<L>(values, pixels, from, drawn, result, tables);
  // The lanes left are drawn one by one after the store, which may overwrite the input.
  alignas(32) std::uint8_t lane_values[LANES];
  store_block(lane_values, values);
  store_block(to, result);
  for (; left != 0; left &= left - 1) {
    auto lane = static_cast<std::size_t>(__builtin_ctz(left));
    to[lane] = draw_pixel(tables.entries[lane_values[lane]]);
  }
}

template <block_limits L>
AVX2_TARGET void draw_avx2(const std::uint8_t* in, std::uint8_t* out, std::size_t length,
                           draw_tables& tables) {
  slice_table fixed = load_slices(tables.fixed);
  value_set decided = load_set(tables.decided_flags);
  for_each_block(in, out, length,
                 [&](const std::uint8_t* from, std::uint8_t* to, __m256i pixels)
                     AVX2_TARGET { draw_block<L>(from, to, pixels, fixed, decided, tables); });
}

// Four blocks a step, so that the maxima do not wait on one another.
AVX2_TARGET std::uint8_t highest_avx2(const std::uint8_t* in, std::size_t length) {
  __m256i most[4] = {};
  std::size_t i = 0;
  for (; i + 4 * LANES <= length; i += 4 * LANES) {
    for (std::size_t k = 0; k < 4; ++k)
      most[k] = _mm256_max_epu8(most[k], load_block(in + i + k * LANES));
  }
  __m256i all =
      _mm256_max_epu8(_mm256_max_epu8(most[0], most[1]), _mm256_max_epu8(most[2], most[3]));
  alignas(32) std::uint8_t lanes[LANES];
  store_block(lanes, all);
  std::uint8_t highest = 0;
  for (std::uint8_t lane : lanes) highest = std::max(highest, lane);
  for (; i < length; ++i) highest = std::max(highest, in[i]);
  return highest;
}

template <block_limits L>
struct avx2_kernels {
  static constexpr pixel_kernels set{map_avx2, count_avx2<L>, draw_avx2<L>, highest_avx2};
};

}  // namespace

const pixel_kernels* avx2_kernels_if_supported(block_way way) {
  static const bool supported = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
  return supported ? kernels_for_way<avx2_kernels, CHOSEN>(way) : nullptr;
}

#else

const pixel_kernels* avx2_kernels_if_supported(block_way) {
  return nullptr;
}

#endif
