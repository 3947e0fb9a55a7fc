#include "palette/pixel_kernels.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))

#include <immintrin.h>

#define VECTOR_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi")))

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

VECTOR_TARGET void map_vector(std::uint8_t* span, std::size_t length, const value_table& table) {
  vector_table lut = load_table(table);
  for (std::size_t i = 0; i < length; i += LANES) {
    __mmask64 mask = tail_mask(length - i);
    __m512i values = _mm512_maskz_loadu_epi8(mask, span + i);
    _mm512_mask_storeu_epi8(span + i, mask, look_up(lut, values));
  }
}

// Blocks of one value (flat areas) are counted at once; the others byte by byte.
VECTOR_TARGET void count_vector(const std::uint8_t* span, std::size_t length,
                                value_counts& counts) {
  partial_counts partial{};
  std::size_t i = 0;
  for (; i + LANES <= length; i += LANES) {
    __m512i values = _mm512_loadu_si512(span + i);
    if (_mm512_cmpeq_epi8_mask(values, _mm512_set1_epi8(static_cast<char>(span[i]))) ==
        ~__mmask64{0}) {
      counts[span[i]] += LANES;
    } else {
      count_bytes(span + i, LANES, partial);
    }
  }
  count_bytes(span + i, length - i, partial);
  add_partial_counts(partial, counts);
}

// Every pixel first takes its fixed value; only those a draw decides are then visited.
VECTOR_TARGET void draw_vector(std::uint8_t* span, std::size_t length, draw_tables& tables) {
  vector_table fixed = load_table(tables.fixed);
  vector_table decided = load_table(tables.decided_flags);
  for (std::size_t i = 0; i < length; i += LANES) {
    __mmask64 mask = tail_mask(length - i);
    __m512i values = _mm512_maskz_loadu_epi8(mask, span + i);
    __m512i flags = look_up(decided, values);
    std::uint64_t drawn = _mm512_test_epi8_mask(flags, flags) & mask;
    alignas(64) std::uint8_t original[LANES];
    if (drawn != 0) _mm512_store_si512(original, values);
    _mm512_mask_storeu_epi8(span + i, mask, look_up(fixed, values));
    for (; drawn != 0; drawn &= drawn - 1) {
      auto lane = static_cast<std::size_t>(__builtin_ctzll(drawn));
      span[i + lane] = draw_pixel(tables.entries[original[lane]]);
    }
  }
}

}  // namespace

const pixel_kernels* vector_kernels() {
  static const pixel_kernels kernels{map_vector, count_vector, draw_vector};
  static const bool supported = __builtin_cpu_supports("avx512f") &&
                                __builtin_cpu_supports("avx512bw") &&
                                __builtin_cpu_supports("avx512vbmi");
  return supported ? &kernels : nullptr;
}

#else

const pixel_kernels* vector_kernels() {
  return nullptr;
}

#endif
