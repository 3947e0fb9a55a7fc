#include "palette/pixel_kernels.h"

#include "palette/random_sequence.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))

#include <immintrin.h>

#define VECTOR_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi,bmi2")))

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

VECTOR_TARGET __mmask64 tail_mask(std::size_t count) {
  return count >= LANES ? ~__mmask64{0} : (__mmask64{1} << count) - 1;
}

VECTOR_TARGET void map_vector(const std::uint8_t* in, std::uint8_t* out, std::size_t length,
                              const value_table& table) {
  vector_table lut = load_table(table);
  for (std::size_t i = 0; i < length; i += LANES) {
    __mmask64 mask = tail_mask(length - i);
    __m512i values = _mm512_maskz_loadu_epi8(mask, in + i);
    _mm512_mask_storeu_epi8(out + i, mask, look_up(lut, values));
  }
}

// Where one value fills most of a block (flat areas, maybe with a few other pixels), its
// lanes are counted at once and the others one by one; mixed blocks go byte by byte.
VECTOR_TARGET void count_vector(const std::uint8_t* span, std::size_t length,
                                value_counts& counts) {
  partial_counts partial{};
  std::size_t i = 0;
  for (; i + LANES <= length; i += LANES) {
    __m512i values = _mm512_loadu_si512(span + i);
    std::uint64_t same =
        _mm512_cmpeq_epi8_mask(values, _mm512_set1_epi8(static_cast<char>(span[i])));
    int count = __builtin_popcountll(same);
    if (count < static_cast<int>(LANES) - 8) {
      count_bytes(span + i, LANES, partial);
      continue;
    }
    counts[span[i]] += static_cast<std::uint64_t>(count);
    for (std::uint64_t others = ~same; others != 0; others &= others - 1) {
      ++counts[span[i + static_cast<std::size_t>(__builtin_ctzll(others))]];
    }
  }
  count_bytes(span + i, length - i, partial);
  add_partial_counts(partial, counts);
}

// The generator's maps for 1 to 64 steps, 16 to a vector.
constexpr jump_arrays<LANES> BLOCK_JUMPS = make_jump_arrays<LANES>();

// The outcomes of the next 64 draws from a state, bit j for draw j + 1 (set: gray). Every
// draw comes straight from the start state, so none waits on the one before.
VECTOR_TARGET std::uint64_t gray_outcomes(std::uint32_t state, std::uint16_t threshold) {
  __m512i start = _mm512_set1_epi32(static_cast<int>(state));
  __m512i limit = _mm512_set1_epi32(threshold);
  std::uint64_t gray = 0;
  for (std::size_t quarter = 0; quarter < 4; ++quarter) {
    __m512i multiplier = _mm512_load_si512(BLOCK_JUMPS.multiplier + 16 * quarter);
    __m512i increment = _mm512_load_si512(BLOCK_JUMPS.increment + 16 * quarter);
    __m512i next = _mm512_add_epi32(_mm512_mullo_epi32(start, multiplier), increment);
    __m512i drawn =
        _mm512_and_si512(_mm512_maskz_srli_epi32(0xFFFF, next, 16), _mm512_set1_epi32(0x7FFF));
    gray |= std::uint64_t{_mm512_cmpge_epu32_mask(drawn, limit)} << (16 * quarter);
  }
  return gray;
}

// From this many pixels of one value in a block on, its draws are made 64 at a time;
// blocks of many values with few pixels each (fine detail) go pixel by pixel.
constexpr int MANY_PIXELS = 4;

// The lanes of one value, in lane order, take consecutive numbers of its sequence.
VECTOR_TARGET std::uint64_t draw_lanes_at_once(std::uint64_t lanes, draw_entry& entry) {
  auto last = static_cast<std::size_t>(__builtin_popcountll(lanes) - 1);
  std::uint64_t gray = _pdep_u64(gray_outcomes(entry.state, entry.threshold), lanes);
  entry.state = BLOCK_JUMPS.multiplier[last] * entry.state + BLOCK_JUMPS.increment[last];
  return gray;
}

// Takes the values with many pixels in the block one at a time, while there are such;
// returns the lanes left for drawing one by one.
VECTOR_TARGET std::uint64_t draw_values_at_once(__m512i values, const std::uint8_t* lane_values,
                                                std::uint64_t drawn, __m512i& result,
                                                draw_tables& tables) {
  while (drawn != 0) {
    std::uint8_t value = lane_values[__builtin_ctzll(drawn)];
    std::uint64_t lanes =
        _mm512_cmpeq_epi8_mask(values, _mm512_set1_epi8(static_cast<char>(value))) & drawn;
    if (__builtin_popcountll(lanes) < MANY_PIXELS) break;
    draw_entry& entry = tables.entries[value];
    std::uint64_t gray = draw_lanes_at_once(lanes, entry);
    result = _mm512_mask_mov_epi8(result, lanes,
                                  _mm512_maskz_set1_epi8(gray, static_cast<char>(entry.gray)));
    drawn &= ~lanes;
  }
  return drawn;
}

// Every pixel first takes its fixed value; then the values a draw decides.
VECTOR_TARGET void draw_vector(const std::uint8_t* in, std::uint8_t* out, std::size_t length,
                               draw_tables& tables) {
  vector_table fixed = load_table(tables.fixed);
  vector_table decided = load_table(tables.decided_flags);
  for (std::size_t i = 0; i < length; i += LANES) {
    __mmask64 mask = tail_mask(length - i);
    __m512i values = _mm512_maskz_loadu_epi8(mask, in + i);
    __m512i flags = look_up(decided, values);
    __m512i result = look_up(fixed, values);
    std::uint64_t drawn = _mm512_test_epi8_mask(flags, flags) & mask;
    if (drawn == 0) {
      _mm512_mask_storeu_epi8(out + i, mask, result);
      continue;
    }
    alignas(64) std::uint8_t lane_values[LANES];
    _mm512_store_si512(lane_values, values);
    std::uint64_t left = draw_values_at_once(values, lane_values, drawn, result, tables);
    _mm512_mask_storeu_epi8(out + i, mask, result);
    for (; left != 0; left &= left - 1) {
      auto lane = static_cast<std::size_t>(__builtin_ctzll(left));
      out[i + lane] = draw_pixel(tables.entries[lane_values[lane]]);
    }
  }
}

}  // namespace

const pixel_kernels* avx512_kernels_if_supported() {
  static const pixel_kernels kernels{map_vector, count_vector, draw_vector};
  static const bool supported =
      __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("bmi2");
  return supported ? &kernels : nullptr;
}

#else

const pixel_kernels* avx512_kernels_if_supported() {
  return nullptr;
}

#endif
