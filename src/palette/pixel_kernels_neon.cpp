#include "kernel_tiers.h"

// Every 64-bit ARM processor has NEON (Advanced SIMD): no check at run time is needed.
#if defined(__aarch64__) && (defined(__GNUC__) || defined(__clang__))

#include <arm_neon.h>

#include <cstring>

namespace {

constexpr std::size_t LANES = 16;

// A 256-entry byte table as four quarters of 64, each one tbl instruction's reach.
struct quarter_table {
  uint8x16x4_t quarter[4];
};

quarter_table load_quarters(const value_table& table) {
  quarter_table quarters;
  for (std::size_t q = 0; q < 4; ++q) quarters.quarter[q] = vld1q_u8_x4(table.data() + 64 * q);
  return quarters;
}

// 16 lookups: tbl gives 0 for an index past its 64 entries and tbx leaves the lane as it
// was, so each quarter fills exactly the lanes whose value falls in it.
uint8x16_t look_up(const quarter_table& quarters, uint8x16_t values) {
  const uint8x16_t step = vdupq_n_u8(64);
  uint8x16_t result = vqtbl4q_u8(quarters.quarter[0], values);
  for (std::size_t q = 1; q < 4; ++q) {
    values = vsubq_u8(values, step);
    result = vqtbx4q_u8(result, quarters.quarter[q], values);
  }
  return result;
}

// One bit per lane of a comparison's all-ones or zero bytes, lane 0 lowest.
std::uint64_t lanes_where(uint8x16_t bytes) {
  static const std::uint8_t WEIGHTS[LANES] = {1, 2, 4, 8, 16, 32, 64, 128,
                                              1, 2, 4, 8, 16, 32, 64, 128};
  uint8x16_t weighted = vandq_u8(bytes, vld1q_u8(WEIGHTS));
  return vaddv_u8(vget_low_u8(weighted)) | (std::uint64_t{vaddv_u8(vget_high_u8(weighted))} << 8);
}

// Runs a block kernel over whole blocks, and over the last partial block through a copy.
template <typename Block>
void for_each_block(const std::uint8_t* in, std::uint8_t* out, std::size_t length, Block block) {
  std::size_t i = 0;
  for (; i + LANES <= length; i += LANES) block(in + i, out + i, LANES);
  if (i == length) return;
  std::uint8_t tail_in[LANES] = {};
  std::uint8_t tail_out[LANES];
  std::memcpy(tail_in, in + i, length - i);
  block(tail_in, tail_out, length - i);
  std::memcpy(out + i, tail_out, length - i);
}

void map_neon(const std::uint8_t* in, std::uint8_t* out, std::size_t length,
              const value_table& table) {
  quarter_table quarters = load_quarters(table);
  for_each_block(in, out, length, [&](const std::uint8_t* from, std::uint8_t* to, std::size_t) {
    vst1q_u8(to, look_up(quarters, vld1q_u8(from)));
  });
}

// The limits this tier is tuned for; its draw has one way, its count two.
constexpr block_limits CHOSEN{4, 0, 0, false};

template <block_limits L>
void count_neon(const std::uint8_t* in, std::size_t length, value_counts& counts) {
  count_by_runs<LANES, L.count_runs_below>(in, length, counts, [](const std::uint8_t* block) {
    uint8x16_t values = vld1q_u8(block);
    uint8x16_t previous = vextq_u8(vdupq_n_u8(0), values, 15);
    return ~lanes_where(vceqq_u8(values, previous)) & 0xFFFE;
  });
}

// The fixed outputs come from one lookup; the lanes a draw decides, usually few, are then
// drawn one by one in pixel order, since each value's draws follow one another.
void draw_neon(const std::uint8_t* in, std::uint8_t* out, std::size_t length, draw_tables& tables) {
  quarter_table fixed = load_quarters(tables.fixed);
  quarter_table decided = load_quarters(tables.decided_flags);
  for_each_block(in, out, length,
                 [&](const std::uint8_t* from, std::uint8_t* to, std::size_t pixels) {
                   uint8x16_t values = vld1q_u8(from);
                   // Lanes past the pixels are never drawn: their draws would be extra ones.
                   std::uint64_t drawn =
                       lanes_where(look_up(decided, values)) & ((std::uint64_t{1} << pixels) - 1);
                   // Kept apart: in place, the store below overwrites the values.
                   std::uint8_t lane_values[LANES];
                   vst1q_u8(lane_values, values);
                   vst1q_u8(to, look_up(fixed, values));
                   for (; drawn != 0; drawn &= drawn - 1) {
                     auto lane = static_cast<std::size_t>(std::countr_zero(drawn));
                     to[lane] = draw_pixel(tables.entries[lane_values[lane]]);
                   }
                 });
}

// Four blocks a step, so that the maxima do not wait on one another.
std::uint8_t highest_neon(const std::uint8_t* in, std::size_t length) {
  uint8x16_t most[4] = {vdupq_n_u8(0), vdupq_n_u8(0), vdupq_n_u8(0), vdupq_n_u8(0)};
  std::size_t i = 0;
  for (; i + 4 * LANES <= length; i += 4 * LANES) {
    for (std::size_t k = 0; k < 4; ++k) most[k] = vmaxq_u8(most[k], vld1q_u8(in + i + k * LANES));
  }
  std::uint8_t highest =
      vmaxvq_u8(vmaxq_u8(vmaxq_u8(most[0], most[1]), vmaxq_u8(most[2], most[3])));
  for (; i < length; ++i) highest = in[i] > highest ? in[i] : highest;
  return highest;
}

template <block_limits L>
struct neon_kernels {
  static constexpr pixel_kernels set{map_neon, count_neon<L>, draw_neon, highest_neon};
};

}  // namespace

const pixel_kernels* neon_kernels_if_supported(block_way way) {
  return kernels_for_way<neon_kernels, CHOSEN>(way);
}

#else

const pixel_kernels* neon_kernels_if_supported(block_way) {
  return nullptr;
}

#endif
