#include "reference_model.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>

namespace {

// The bitmap the tool writes, as its rules describe it.
constexpr std::size_t FILE_SIZE_AT = 2;
constexpr std::size_t PIXELS_AT_FIELD = 10;
constexpr std::size_t INFO_SIZE_AT = 14;
constexpr std::size_t COLOURS_USED_AT = 46;
constexpr std::size_t HEADERS_LENGTH = 14 + 40;
constexpr std::size_t ENTRY_LENGTH = 4;
constexpr std::size_t PIXELS_START = HEADERS_LENGTH + 256 * ENTRY_LENGTH;

constexpr rgb YELLOW{255, 255, 0};
constexpr rgb MAGENTA{255, 0, 255};
constexpr rgb PINK{255, 150, 255};
constexpr rgb PLACEHOLDERS[] = {{1, 1, 255}, {1, 2, 255}, {1, 3, 255}, {1, 4, 255}};
constexpr int PLACEHOLDER_SLOTS[] = {2, 3, 6, 7};
constexpr int GRAY_LEVELS[] = {70, 90, 110, 130, 150, 180, 230};

// One palette entry as the rules move it: its colour, its alpha, whether a colour in use
// sits in it, and which stored entry it came from (none for a colour the translation
// brought in).
struct entry {
  rgb colour{};
  std::uint8_t alpha = 255;
  bool held = false;
  std::optional<int> origin;
};

// The 8-bit form as the rules speak of it: pixel values in stored order, and the stored
// palette. A byte past the end of the file reads 0.
struct stored_picture {
  std::size_t width = 0;
  std::size_t rows = 0;
  std::vector<int> values;
  std::array<rgb, 256> colours{};
  std::array<std::uint8_t, 256> fourth_bytes{};
  std::array<std::uint8_t, 256> alphas{};
  int first_byte = 0;  // the byte where the rows start, whatever the width
};

std::uint8_t byte_of(const std::vector<std::uint8_t>& bytes, std::uint64_t at) {
  return at < bytes.size() ? bytes[static_cast<std::size_t>(at)] : 0;
}

stored_picture read_picture(const eight_bit_form& form) {
  const bmp_header& h = form.header;
  stored_picture p;
  p.width = static_cast<std::size_t>(std::max(h.width, 0));
  p.rows = h.rows;
  for (std::size_t row = 0; row < p.rows; ++row) {
    for (std::size_t col = 0; col < p.width; ++col)
      p.values.push_back(byte_of(form.bytes, h.pixel_offset + std::uint64_t{h.stride} * row + col));
  }
  for (std::size_t k = 0; k < 256; ++k) {
    std::uint64_t at = h.palette_offset + ENTRY_LENGTH * k;
    p.colours[k] = {byte_of(form.bytes, at + 2), byte_of(form.bytes, at + 1),
                    byte_of(form.bytes, at)};
    p.fourth_bytes[k] = byte_of(form.bytes, at + 3);
    p.alphas[k] = form.alpha[k];
  }
  p.first_byte = byte_of(form.bytes, h.pixel_offset);
  return p;
}

// "Kept": the colours-used field's count, or where it is 0 or 256, every entry up to the
// last one with a component other than 0 and 255, and every entry up to the highest pixel.
std::int64_t kept_entries(const stored_picture& p, std::int32_t colours_used) {
  if (colours_used != 0 && colours_used != 256) return colours_used;
  auto padding = [](rgb c) {
    auto extreme = [](int v) { return v == 0 || v == 255; };
    return extreme(c.red) && extreme(c.green) && extreme(c.blue);
  };
  std::int64_t kept = 0;
  for (int k = 0; k < 256; ++k) {
    if (!padding(p.colours[static_cast<std::size_t>(k)])) kept = k + 1;
  }
  for (int value : p.values) kept = std::max<std::int64_t>(kept, value + 1);
  return kept;
}

// The translation's state: the palette as a plain list, the count of entries in use.
struct translation {
  std::array<entry, 256> palette{};
  int used = 0;
};

void exchange(translation& t, int a, int b) {
  std::swap(t.palette[static_cast<std::size_t>(a)], t.palette[static_cast<std::size_t>(b)]);
}

// "Added": into the first entry from the used count on where no colour in use sits, which
// then counts as used; none when there is no such entry.
std::optional<int> add_colour(translation& t, rgb colour) {
  for (int k = t.used; k < 256; ++k) {
    entry& e = t.palette[static_cast<std::size_t>(k)];
    if (e.held) continue;
    e = {colour, 255, true, std::nullopt};
    t.used = k + 1;
    return k;
  }
  return std::nullopt;
}

// Found (the highest entry holding it, in use or not) or added, then moved to the slot.
bool bring_to_slot(translation& t, rgb colour, int slot, bool may_find) {
  std::optional<int> at;
  for (int k = 255; k >= 0 && may_find && !at; --k) {
    if (t.palette[static_cast<std::size_t>(k)].colour == colour) at = k;
  }
  if (!at) at = add_colour(t, colour);
  if (!at) return false;
  exchange(t, *at, slot);
  t.palette[static_cast<std::size_t>(slot)].held = true;
  return true;
}

// Brightness to the nearest of the seven levels; a tie goes to the darker one.
int nearest_level(rgb colour) {
  int brightness = std::max({colour.red, colour.green, colour.blue});
  int best = 0;
  for (int i = 0; i < 7; ++i) {
    if (std::abs(GRAY_LEVELS[i] - brightness) < std::abs(GRAY_LEVELS[best] - brightness)) best = i;
  }
  return best;
}

void put_le32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

reference_result reference_translate(const eight_bit_form& form,
                                     const translation_parameters& parameters) {
  reference_result result;
  result.refused = form.refused;
  if (result.refused != refusal::none) return result;
  const stored_picture picture = read_picture(form);

  // The used entries and the black catch-all after them; the room check keeps one entry
  // free at least.
  std::int64_t kept = kept_entries(picture, form.header.colors_used);
  result.used_count = static_cast<int>(std::min<std::int64_t>(kept + 1, 1 << 30));
  if (kept + 1 > 255) {
    result.refused = refusal::palette_full;
    return result;
  }
  translation t;
  const int catch_all = static_cast<int>(kept);
  t.used = catch_all + 1;
  for (int k = 0; k < catch_all; ++k) {
    auto i = static_cast<std::size_t>(k);
    t.palette[i] = {picture.colours[i], picture.alphas[i], false, k};
  }
  t.palette[static_cast<std::size_t>(catch_all)].origin = catch_all;
  // Each pixel's entry: its own, or the catch-all for a value past the kept ones. The
  // entries the pixels point to hold colours in use.
  std::vector<int> origin_of_pixel;
  for (int value : picture.values) {
    int origin = std::min(value, catch_all);
    origin_of_pixel.push_back(origin);
    t.palette[static_cast<std::size_t>(origin)].held = true;
  }

  // The background to 0: the entry that the first stored byte names, as stored.
  exchange(t, picture.first_byte, 0);
  t.palette[0].held = true;
  bool placed = bring_to_slot(t, YELLOW, 5, true) && bring_to_slot(t, MAGENTA, 4, true) &&
                bring_to_slot(t, PINK, 1, true);
  for (int i = 0; i < 4 && placed; ++i)
    placed = bring_to_slot(t, PLACEHOLDERS[i], PLACEHOLDER_SLOTS[i], false);
  if (!placed) {
    result.used_count = t.used;
    result.refused = refusal::palette_full;
    return result;
  }
  // The grays go above every colour in use.
  for (int k = 0; k < 256; ++k) {
    if (t.palette[static_cast<std::size_t>(k)].held) t.used = std::max(t.used, k + 1);
  }
  result.used_count = t.used;

  // Where each stored entry ended up, and so each pixel.
  std::array<int, 256> slot_of_origin{};
  for (int k = 0; k < 256; ++k) {
    std::optional<int> origin = t.palette[static_cast<std::size_t>(k)].origin;
    if (origin) slot_of_origin[static_cast<std::size_t>(*origin)] = k;
  }
  std::vector<int> slot_of_pixel;
  for (int origin : origin_of_pixel)
    slot_of_pixel.push_back(slot_of_origin[static_cast<std::size_t>(origin)]);

  // Near the background: the grays above the used entries, and a draw for every pixel
  // whose colour now lies within the tolerances of entry 0's.
  const float share = parameters.background_share;
  if (static_cast<double>(share) > 0.0001) {
    if (t.used > 248) {
      result.refused = refusal::no_room_for_grays;
      return result;
    }
    for (int i = 0; i < 7; ++i) {
      auto level = static_cast<std::uint8_t>(GRAY_LEVELS[i]);
      t.palette[static_cast<std::size_t>(t.used + i)] = {
          {level, level, level}, 255, false, std::nullopt};
    }
    const int widest =
        std::max({parameters.red_tolerance, parameters.green_tolerance, parameters.blue_tolerance});
    const rgb background = t.palette[0].colour;
    std::vector<std::optional<int>> distance(picture.values.size());
    for (std::size_t n = 0; n < picture.values.size() && widest > 0; ++n) {
      rgb shown = t.palette[static_cast<std::size_t>(slot_of_pixel[n])].colour;
      int red = std::abs(shown.red - background.red);
      int green = std::abs(shown.green - background.green);
      int blue = std::abs(shown.blue - background.blue);
      if (red <= parameters.red_tolerance && green <= parameters.green_tolerance &&
          blue <= parameters.blue_tolerance)
        distance[n] = std::max({red, green, blue});
    }
    // The sequence is read value by value, ascending, and each value's pixels in stored
    // order: the pixels that draw, sorted so.
    std::vector<std::size_t> drawing;
    for (std::size_t n = 0; n < distance.size(); ++n) {
      if (distance[n]) drawing.push_back(n);
    }
    std::stable_sort(drawing.begin(), drawing.end(), [&](std::size_t a, std::size_t b) {
      return picture.values[a] < picture.values[b];
    });
    stepping_generator sequence;
    const float unit = 1.0f / 32767.0f;
    for (std::size_t n : drawing) {
      double scaled = (sequence.next() * static_cast<double>(unit) * *distance[n]) / widest;
      int gray =
          t.used + nearest_level(picture.colours[static_cast<std::size_t>(picture.values[n])]);
      slot_of_pixel[n] = scaled < static_cast<double>(share) ? 0 : gray;
    }
    result.draws = drawing.size();
  }

  // The file: the stored headers with the output's size, offset, info size and a full
  // palette; the entries (the fourth byte of a kept one stays where it was stored); the
  // rows, fill bytes 0.
  const std::size_t stride = form.header.stride;
  std::vector<std::uint8_t>& out = result.output;
  out.assign(PIXELS_START + stride * picture.rows, 0);
  for (std::size_t i = 0; i < HEADERS_LENGTH; ++i) out[i] = byte_of(form.bytes, i);
  put_le32(out, FILE_SIZE_AT, static_cast<std::uint32_t>(out.size()));
  put_le32(out, PIXELS_AT_FIELD, static_cast<std::uint32_t>(PIXELS_START));
  put_le32(out, INFO_SIZE_AT, 40);
  put_le32(out, COLOURS_USED_AT, 256);
  for (std::size_t k = 0; k < 256; ++k) {
    std::uint8_t* e = out.data() + HEADERS_LENGTH + ENTRY_LENGTH * k;
    e[0] = t.palette[k].colour.blue;
    e[1] = t.palette[k].colour.green;
    e[2] = t.palette[k].colour.red;
    e[3] = static_cast<int>(k) < catch_all ? picture.fourth_bytes[k] : 0;
    result.alpha[k] = t.palette[k].alpha;
  }
  for (std::size_t n = 0; n < slot_of_pixel.size(); ++n) {
    std::size_t row = n / picture.width;
    std::size_t col = n % picture.width;
    out[PIXELS_START + row * stride + col] = static_cast<std::uint8_t>(slot_of_pixel[n]);
  }
  return result;
}
