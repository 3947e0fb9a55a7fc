#include "spng_reference.h"

#ifdef PALETTE_HAVE_SPNG

#include <spng.h>

#include <memory>

namespace {

using context = std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)>;

context opened(const std::vector<std::uint8_t>& file) {
  context ctx(spng_ctx_new(0), spng_ctx_free);
  spng_set_png_buffer(ctx.get(), file.data(), file.size());
  return ctx;
}

bool decode(const std::vector<std::uint8_t>& file, int format, int flags,
            std::vector<std::uint8_t>& out) {
  context ctx = opened(file);
  std::size_t size = 0;
  if (spng_decoded_image_size(ctx.get(), format, &size) != 0) return false;
  out.resize(size);
  return spng_decode_image(ctx.get(), out.data(), out.size(), format, flags) == 0;
}

// Samples packed below 8 bits, one to a byte.
std::vector<std::uint8_t> unpacked(const std::vector<std::uint8_t>& rows, const spng_ihdr& ihdr) {
  std::size_t row_bytes = (std::size_t{ihdr.width} * ihdr.bit_depth + 7) / 8;
  std::vector<std::uint8_t> samples;
  for (std::uint32_t y = 0; y < ihdr.height; ++y) {
    for (std::uint32_t x = 0; x < ihdr.width; ++x) {
      std::size_t bit = std::size_t{x} * ihdr.bit_depth;
      std::uint8_t byte = rows[y * row_bytes + bit / 8];
      unsigned shift = 8 - ihdr.bit_depth - static_cast<unsigned>(bit % 8);
      samples.push_back(static_cast<std::uint8_t>((byte >> shift) & ((1u << ihdr.bit_depth) - 1)));
    }
  }
  return samples;
}

}  // namespace

bool have_spng() {
  return true;
}

bool decode_with_spng(const std::vector<std::uint8_t>& file, spng_picture& picture) {
  picture = {};
  context ctx = opened(file);
  spng_ihdr ihdr{};
  if (spng_get_ihdr(ctx.get(), &ihdr) != 0) return false;
  picture.width = ihdr.width;
  picture.height = ihdr.height;
  picture.depth = ihdr.bit_depth;
  picture.color_type = ihdr.color_type;
  picture.interlace = ihdr.interlace_method;
  spng_plte plte{};
  if (spng_get_plte(ctx.get(), &plte) == 0) {
    for (std::uint32_t k = 0; k < plte.n_entries; ++k)
      picture.palette.push_back({plte.entries[k].red, plte.entries[k].green, plte.entries[k].blue});
  }
  spng_trns trns{};
  if (spng_get_trns(ctx.get(), &trns) == 0) {
    if (ihdr.color_type == SPNG_COLOR_TYPE_INDEXED)
      picture.transparency.assign(trns.type3_alpha, trns.type3_alpha + trns.n_type3_entries);
    else if (ihdr.color_type == SPNG_COLOR_TYPE_TRUECOLOR)
      for (std::uint16_t sample : {trns.red, trns.green, trns.blue})
        picture.transparency.insert(
            picture.transparency.end(),
            {static_cast<std::uint8_t>(sample >> 8), static_cast<std::uint8_t>(sample)});
    else
      picture.transparency = {static_cast<std::uint8_t>(trns.gray >> 8),
                              static_cast<std::uint8_t>(trns.gray)};
  }
  spng_phys phys{};
  if (spng_get_phys(ctx.get(), &phys) == 0) {
    picture.physical.resize(9);
    for (int i = 0; i < 4; ++i) {
      picture.physical[static_cast<std::size_t>(i)] =
          static_cast<std::uint8_t>(phys.ppu_x >> (24 - 8 * i));
      picture.physical[static_cast<std::size_t>(4 + i)] =
          static_cast<std::uint8_t>(phys.ppu_y >> (24 - 8 * i));
    }
    picture.physical[8] = phys.unit_specifier;
  }
  std::vector<std::uint8_t> raw;
  if (ihdr.bit_depth > 8 || !decode(file, SPNG_FMT_PNG, 0, raw)) return false;
  picture.samples = ihdr.bit_depth == 8 ? raw : unpacked(raw, ihdr);
  return decode(file, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS, picture.rgba);
}

#else

bool have_spng() {
  return false;
}

bool decode_with_spng(const std::vector<std::uint8_t>&, spng_picture&) {
  return false;
}

#endif
