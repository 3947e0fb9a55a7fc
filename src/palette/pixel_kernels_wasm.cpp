#include "kernel_tiers.h"

// WebAssembly's 128-bit SIMD, in a module built with -msimd128. Such a module does not load
// at all where the engine lacks SIMD, so the page and the package carry a second build
// without it and choose between the two before loading (web/simd_choice.js).
#if defined(__wasm_simd128__)

#include <wasm_simd128.h>

#include <cstring>

namespace {

constexpr std::size_t LANES = 16;

// A 256-entry byte table as sixteen slices of 16, each one swizzle's reach.
struct slice_table {
  v128_t slice[16];
};

slice_table load_slices(const value_table& table) {
  slice_table slices;
  for (std::size_t i = 0; i < 16; ++i) slices.slice[i] = wasm_v128_load(table.data() + 16 * i);
  return slices;
}

// 16 lookups: a swizzle gives 0 for an index past its 16 entries, so each slice, offered
// the values less its start, fills exactly the lanes whose value falls in it.
v128_t look_up(const slice_table& slices, v128_t values) {
  const v128_t step = wasm_i8x16_splat(16);
  v128_t result = wasm_i8x16_swizzle(slices.slice[0], values);
  for (std::size_t i = 1; i < 16; ++i) {
    values = wasm_i8x16_sub(values, step);
    result = wasm_v128_or(result, wasm_i8x16_swizzle(slices.slice[i], values));
  }
  return result;
}

// One bit per lane of a comparison's all-ones or zero bytes, lane 0 lowest.
std::uint32_t lanes_where(v128_t bytes) {
  return static_cast<std::uint32_t>(wasm_i8x16_bitmask(bytes));
}

// Where a stretch of whole blocks of `value`, from `i` on, ends: a sprite sheet is mostly such
// stretches, which cost a comparison a block and no table.
std::size_t flat_stretch_end(const std::uint8_t* in, std::size_t i, std::size_t length,
                             std::uint8_t value) {
  v128_t same = wasm_i8x16_splat(static_cast<std::int8_t>(value));
  while (i + LANES <= length && wasm_i8x16_all_true(wasm_i8x16_eq(wasm_v128_load(in + i), same)))
    i += LANES;
  return i;
}

// Fills [i, end) with one byte.
void fill_blocks(std::uint8_t* out, std::size_t i, std::size_t end, std::uint8_t byte) {
  v128_t all = wasm_i8x16_splat(static_cast<std::int8_t>(byte));
  for (; i < end; i += LANES) wasm_v128_store(out + i, all);
}

// Runs a block kernel over whole blocks, and over the last partial block through a copy;
// the kernel is told how many lanes hold pixels. With FLAT, a stretch of whole blocks of one
// value goes to `flat` at once instead: flat(value, from, end) for [from, end).
template <bool FLAT, typename Block, typename Flat>
void for_each_block(const std::uint8_t* in, std::uint8_t* out, std::size_t length, Block block,
                    Flat flat) {
  std::size_t i = 0;
  while (i + LANES <= length) {
    if constexpr (FLAT) {
      std::size_t end = flat_stretch_end(in, i, length, in[i]);
      if (end != i) {
        // Read before the fill: in place, it overwrites the stretch.
        std::uint8_t value = in[i];
        flat(value, i, end);
        i = end;
        continue;
      }
    }
    block(in + i, out + i, LANES);
    i += LANES;
  }
  if (i == length) return;
  std::uint8_t tail_in[LANES] = {};
  std::uint8_t tail_out[LANES];
  std::memcpy(tail_in, in + i, length - i);
  block(tail_in, tail_out, length - i);
  std::memcpy(out + i, tail_out, length - i);
}

constexpr std::uint32_t lanes_below(std::size_t count) {
  return (std::uint32_t{1} << count) - 1;
}

// The limits this tier is tuned for; the tests force each way in turn.
constexpr block_limits CHOSEN{5, 4, 0, true};

template <block_limits L>
void map_wasm(const std::uint8_t* in, std::uint8_t* out, std::size_t length,
              const value_table& table) {
  slice_table slices = load_slices(table);
  auto block = [&](const std::uint8_t* from, std::uint8_t* to, std::size_t) {
    wasm_v128_store(to, look_up(slices, wasm_v128_load(from)));
  };
  for_each_block<L.flat_blocks>(in, out, length, block,
                                [&](std::uint8_t value, std::size_t from, std::size_t end) {
                                  fill_blocks(out, from, end, table[value]);
                                });
}

// A block's run starts but the first, as lane bits.
std::uint32_t run_starts(v128_t values) {
  v128_t previous = wasm_i8x16_shuffle(wasm_i8x16_splat(0), values, 15, 16, 17, 18, 19, 20, 21, 22,
                                       23, 24, 25, 26, 27, 28, 29, 30);
  return ~lanes_where(wasm_i8x16_eq(values, previous)) & 0xFFFEu;
}

template <block_limits L>
void count_wasm(const std::uint8_t* in, std::size_t length, value_counts& counts) {
  auto starts = [](const std::uint8_t* block) {
    return std::uint64_t{run_starts(wasm_v128_load(block))};
  };
  if constexpr (L.flat_blocks)
    count_by_runs<LANES, L.count_runs_below>(in, length, counts, starts, flat_stretch_end);
  else
    count_by_runs<LANES, L.count_runs_below>(in, length, counts, starts);
}

constexpr jump_arrays<LANES> BLOCK_JUMPS = make_jump_arrays<LANES>();

// Draws 4k + 1 to 4k + 4 from a state: the drawn numbers, 0 to 32767, as 32-bit lanes.
v128_t four_draws(v128_t start, std::size_t k) {
  v128_t next =
      wasm_i32x4_add(wasm_i32x4_mul(start, wasm_v128_load(BLOCK_JUMPS.multiplier + 4 * k)),
                     wasm_v128_load(BLOCK_JUMPS.increment + 4 * k));
  return wasm_v128_and(wasm_u32x4_shr(next, 16), wasm_i32x4_splat(0x7FFF));
}

// The outcomes of the next 16 draws from a state as bytes, byte j for draw j + 1 (0xFF:
// gray). Every draw comes straight from the start state, so none waits on the one before.
// The numbers fit 16 bits, and so does the threshold less one (-1 to 32767). Kept out of
// line: inlined into the block kernel, emscripten 3.1.6 at -O1 and above drew from the state
// after the block's draws instead of the one before (the differential tests showed it).
[[gnu::noinline]] v128_t gray_outcomes(std::uint32_t state, std::uint16_t threshold) {
  v128_t start = wasm_i32x4_splat(static_cast<std::int32_t>(state));
  v128_t below = wasm_i16x8_splat(static_cast<std::int16_t>(threshold - 1));
  v128_t low =
      wasm_i16x8_gt(wasm_i16x8_narrow_i32x4(four_draws(start, 0), four_draws(start, 1)), below);
  v128_t high =
      wasm_i16x8_gt(wasm_i16x8_narrow_i32x4(four_draws(start, 2), four_draws(start, 3)), below);
  // Each 16-bit outcome is all ones or zeros: its low byte is the outcome's byte.
  return wasm_i8x16_shuffle(low, high, 0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
}

// A set of values as 256 bits, byte k holding values 8k to 8k + 7, in two swizzle tables.
// Testing membership costs a fraction of a full table lookup.
struct value_set {
  v128_t low;
  v128_t high;
};

value_set load_set(const value_table& flags) {
  std::uint16_t bits[16];
  for (std::size_t i = 0; i < 16; ++i)
    bits[i] = static_cast<std::uint16_t>(lanes_where(wasm_v128_load(flags.data() + 16 * i)));
  return {wasm_v128_load(bits), wasm_v128_load(bits + 8)};
}

// 0xFF in the lanes whose value is in the set.
v128_t in_set(const value_set& set, v128_t values) {
  v128_t byte = wasm_u8x16_shr(values, 3);
  v128_t bits =
      wasm_v128_or(wasm_i8x16_swizzle(set.low, byte),
                   wasm_i8x16_swizzle(set.high, wasm_i8x16_sub(byte, wasm_i8x16_splat(16))));
  v128_t bit = wasm_i8x16_swizzle(
      wasm_i8x16_const(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128),
      wasm_v128_and(values, wasm_i8x16_splat(7)));
  return wasm_i8x16_eq(wasm_v128_and(bits, bit), bit);
}

// A block of few runs (L.drawn_runs_up_to or fewer) takes each of its values at once, with
// no table lookup; a busier one looks every pixel up. Either way the lanes a draw decides,
// usually few, are then drawn one by one in pixel order, since each value's draws follow one
// another.
template <block_limits L>
void draw_block(const std::uint8_t* from, std::uint8_t* to, std::size_t pixels,
                const slice_table& fixed, const value_set& decided, draw_tables& tables) {
  v128_t values = wasm_v128_load(from);
  // Kept apart: in place, the store below overwrites the values.
  std::uint8_t lane_values[LANES];
  wasm_v128_store(lane_values, values);
  std::uint32_t drawn = 0;
  v128_t result;
  if (std::popcount(run_starts(values)) < L.drawn_runs_up_to) {
    result = wasm_i8x16_splat(0);
    for (std::uint32_t left = 0xFFFF; left != 0;) {
      std::uint8_t value = lane_values[std::countr_zero(left)];
      v128_t lanes = wasm_i8x16_eq(values, wasm_i8x16_splat(static_cast<std::int8_t>(value)));
      std::uint32_t bits = lanes_where(lanes);
      left &= ~bits;
      result = wasm_v128_bitselect(wasm_i8x16_splat(static_cast<std::int8_t>(tables.fixed[value])),
                                   result, lanes);
      if (tables.decided_flags[value] != 0) drawn |= bits;
    }
  } else {
    drawn = lanes_where(in_set(decided, values));
    result = look_up(fixed, values);
  }
  wasm_v128_store(to, result);
  // Lanes past the pixels are never drawn: their draws would be extra ones.
  for (drawn &= lanes_below(pixels); drawn != 0; drawn &= drawn - 1) {
    auto lane = static_cast<std::size_t>(std::countr_zero(drawn));
    to[lane] = draw_pixel(tables.entries[lane_values[lane]]);
  }
}

// A stretch of whole blocks of one value: its fixed value, or its draws 16 at once.
void flat_stretch(std::uint8_t value, std::uint8_t* out, std::size_t from, std::size_t end,
                  draw_tables& tables) {
  if (tables.decided_flags[value] == 0) {
    fill_blocks(out, from, end, tables.fixed[value]);
    return;
  }
  draw_entry& entry = tables.entries[value];
  v128_t gray = wasm_i8x16_splat(static_cast<std::int8_t>(entry.gray));
  for (; from < end; from += LANES) {
    wasm_v128_store(out + from, wasm_v128_and(gray_outcomes(entry.state, entry.threshold), gray));
    entry.state = BLOCK_JUMPS.after(entry.state, LANES);
  }
}

template <block_limits L>
void draw_wasm(const std::uint8_t* in, std::uint8_t* out, std::size_t length, draw_tables& tables) {
  slice_table fixed = load_slices(tables.fixed);
  value_set decided = load_set(tables.decided_flags);
  auto block = [&](const std::uint8_t* from, std::uint8_t* to, std::size_t pixels) {
    draw_block<L>(from, to, pixels, fixed, decided, tables);
  };
  for_each_block<L.flat_blocks>(in, out, length, block,
                                [&](std::uint8_t value, std::size_t from, std::size_t end) {
                                  flat_stretch(value, out, from, end, tables);
                                });
}

// Four blocks a step, so that the maxima do not wait on one another.
std::uint8_t highest_wasm(const std::uint8_t* in, std::size_t length) {
  v128_t most[4] = {wasm_i8x16_splat(0), wasm_i8x16_splat(0), wasm_i8x16_splat(0),
                    wasm_i8x16_splat(0)};
  std::size_t i = 0;
  for (; i + 4 * LANES <= length; i += 4 * LANES) {
    for (std::size_t k = 0; k < 4; ++k)
      most[k] = wasm_u8x16_max(most[k], wasm_v128_load(in + i + k * LANES));
  }
  std::uint8_t lanes[LANES];
  wasm_v128_store(
      lanes, wasm_u8x16_max(wasm_u8x16_max(most[0], most[1]), wasm_u8x16_max(most[2], most[3])));
  std::uint8_t highest = 0;
  for (std::uint8_t lane : lanes) highest = lane > highest ? lane : highest;
  for (; i < length; ++i) highest = in[i] > highest ? in[i] : highest;
  return highest;
}

template <block_limits L>
struct wasm_kernels {
  static constexpr pixel_kernels set{map_wasm<L>, count_wasm<L>, draw_wasm<L>, highest_wasm};
};

}  // namespace

const pixel_kernels* wasm_kernels_if_supported(block_way way) {
  return kernels_for_way<wasm_kernels, CHOSEN>(way);
}

#else

const pixel_kernels* wasm_kernels_if_supported(block_way) {
  return nullptr;
}

#endif
