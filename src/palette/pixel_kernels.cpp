#include "kernel_tiers.h"

#include <algorithm>

#ifndef PALETTE_KERNEL_CAP
#define PALETTE_KERNEL_CAP 2
#endif

namespace {

void map_portable(const std::uint8_t* in, std::uint8_t* out, std::size_t length,
                  const value_table& table) {
  for (std::size_t i = 0; i < length; ++i) out[i] = table[in[i]];
}

void count_portable(const std::uint8_t* in, std::size_t length, value_counts& counts) {
  partial_counts partial{};
  count_bytes(in, length, partial);
  add_partial_counts(partial, counts);
}

void draw_portable(const std::uint8_t* in, std::uint8_t* out, std::size_t length,
                   draw_tables& tables) {
  for (std::size_t i = 0; i < length; ++i) {
    std::uint8_t value = in[i];
    out[i] =
        tables.decided_flags[value] != 0 ? draw_pixel(tables.entries[value]) : tables.fixed[value];
  }
}

std::uint8_t highest_portable(const std::uint8_t* in, std::size_t length) {
  std::uint8_t highest = 0;
  for (std::size_t i = 0; i < length; ++i) highest = std::max(highest, in[i]);
  return highest;
}

constexpr pixel_kernels PORTABLE{map_portable, count_portable, draw_portable, highest_portable};

}  // namespace

const char* tier_name(kernel_tier tier) {
  switch (tier) {
    case kernel_tier::avx512:
      return "avx512";
    case kernel_tier::avx2:
      return "avx2";
    case kernel_tier::neon:
      return "neon";
    case kernel_tier::wasm_simd:
      return "simd128";
    case kernel_tier::portable:
      break;
  }
  return "portable";
}

const pixel_kernels* kernels_of(kernel_tier tier, block_way way) {
  // The build's cap: the highest level it may use.
  if (tier_level(tier) > PALETTE_KERNEL_CAP) return nullptr;
  switch (tier) {
    case kernel_tier::avx512:
      return avx512_kernels_if_supported(way);
    case kernel_tier::avx2:
      return avx2_kernels_if_supported(way);
    case kernel_tier::neon:
      return neon_kernels_if_supported(way);
    case kernel_tier::wasm_simd:
      return wasm_kernels_if_supported(way);
    case kernel_tier::portable:
      break;
  }
  return &PORTABLE;
}

std::vector<kernel_tier> available_tiers() {
  std::vector<kernel_tier> tiers;
  for (kernel_tier tier : {kernel_tier::avx512, kernel_tier::avx2, kernel_tier::neon,
                           kernel_tier::wasm_simd, kernel_tier::portable}) {
    if (kernels_of(tier) != nullptr) tiers.push_back(tier);
  }
  return tiers;
}

const char* best_tier_name() {
  return tier_name(available_tiers().front());
}

const pixel_kernels& best_kernels() {
  static const pixel_kernels& best = *kernels_of(available_tiers().front());
  return best;
}
