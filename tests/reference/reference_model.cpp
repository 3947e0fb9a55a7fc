#include "reference_model.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>

namespace {

constexpr int ENTRIES = 256;
constexpr int GRAYS[] = {70, 90, 110, 130, 150, 180, 230};
constexpr float STEP = 1.0f / 32767.0f;

struct color {
  int red;
  int green;
  int blue;
  friend bool operator==(const color&, const color&) = default;
};

// The picture as the literal steps see it: the 8-bit form's bytes, read only, and the
// output under construction.
struct literal_image {
  literal_image(const std::vector<std::uint8_t>& file, const bmp_header& read)
      : bytes(file), header(read) {}
  const std::vector<std::uint8_t>& bytes;
  const bmp_header& header;
  std::vector<std::uint8_t> prefix = std::vector<std::uint8_t>(1078, 0);
  std::vector<std::uint8_t> rows;  // the output's
  int used = 0;
  std::array<bool, ENTRIES> held{};
  std::array<std::uint8_t, ENTRIES> input_alpha{};
  std::array<std::uint8_t, ENTRIES> alpha{};  // the output's, 255 where the tool fills it
  std::uint64_t draws = 0;

  std::uint8_t byte(std::uint64_t at) const {
    return at < bytes.size() ? bytes[static_cast<std::size_t>(at)] : 0;
  }
  std::size_t width() const { return static_cast<std::size_t>(header.width); }
  std::size_t at(std::size_t row, std::size_t col) const { return row * header.stride + col; }
  std::uint8_t input_pixel(std::size_t row, std::size_t col) const {
    return byte(header.pixel_offset + at(row, col));
  }
  color input_color(int k) const {
    std::uint64_t entry = header.palette_offset + 4 * static_cast<std::uint64_t>(k);
    return {byte(entry + 2), byte(entry + 1), byte(entry)};
  }
  std::uint8_t* entry(int k) { return prefix.data() + 54 + 4 * k; }
  color output_color(int k) {
    std::uint8_t* e = entry(k);
    return {e[2], e[1], e[0]};
  }
  void set_output_color(int k, color c) {
    std::uint8_t* e = entry(k);
    e[0] = static_cast<std::uint8_t>(c.blue);
    e[1] = static_cast<std::uint8_t>(c.green);
    e[2] = static_cast<std::uint8_t>(c.red);
  }
  // A colour the translation puts in itself: opaque.
  void put_color(int k, color c) {
    set_output_color(k, c);
    alpha[static_cast<std::size_t>(k)] = 255;
  }
};

// Every picture pixel (columns 0 to width - 1 of every row), in stored order.
template <typename F>
void each_pixel(const literal_image& image, F f) {
  for (std::size_t row = 0; row < image.header.rows && image.width() > 0; ++row) {
    for (std::size_t col = 0; col < image.width(); ++col) f(row, col);
  }
}

bool only_0_and_255(color c) {
  auto extreme = [](int v) { return v == 0 || v == 255; };
  return extreme(c.red) && extreme(c.green) && extreme(c.blue);
}

// Colours used 0 or 256: the palette's guess, kept at least as high as the highest
// pixel value and its catch-all.
std::int64_t used_count_of(const literal_image& image) {
  std::int32_t colors_used = image.header.colors_used;
  if (colors_used != 0 && colors_used != 256) return std::int64_t{colors_used} + 1;
  std::int64_t guess = 1;
  for (int k = ENTRIES - 1; k >= 0; --k) {
    if (!only_0_and_255(image.input_color(k))) {
      guess = k + 2;
      break;
    }
  }
  int highest = -1;
  each_pixel(image, [&](std::size_t row, std::size_t col) {
    highest = std::max<int>(highest, image.input_pixel(row, col));
  });
  return std::max<std::int64_t>(guess, highest + 2);
}

void assemble(literal_image& image) {
  for (std::size_t i = 0; i < 54; ++i) image.prefix[i] = image.byte(i);
  std::uint64_t length = 1078 + std::uint64_t{image.header.stride} * image.header.rows;
  write_le32(image.prefix.data() + 2, static_cast<std::uint32_t>(length));
  write_le32(image.prefix.data() + 10, 1078);
  write_le32(image.prefix.data() + 14, 40);
  write_le32(image.prefix.data() + 46, 256);
  image.alpha.fill(255);
  for (int k = 0; k < image.used - 1; ++k) {
    for (std::uint64_t i = 0; i < 4; ++i)
      image.entry(k)[i] = image.byte(image.header.palette_offset + 4 * std::uint64_t(k) + i);
    image.alpha[static_cast<std::size_t>(k)] = image.input_alpha[static_cast<std::size_t>(k)];
  }
  // The rows with their fill bytes zeroed, and every pixel past the used entries sent to
  // the black catch-all; the entries the pixels then point to hold colours in use.
  image.rows.assign(std::size_t{image.header.stride} * image.header.rows, 0);
  each_pixel(image, [&](std::size_t row, std::size_t col) {
    int value = image.input_pixel(row, col);
    if (value >= image.used) value = image.used - 1;
    image.rows[image.at(row, col)] = static_cast<std::uint8_t>(value);
    image.held[static_cast<std::size_t>(value)] = true;
  });
}

std::optional<int> find(literal_image& image, color c) {
  for (int k = ENTRIES - 1; k >= 0; --k) {
    if (image.output_color(k) == c) return k;
  }
  return std::nullopt;
}

// The first entry from the used count on that holds no colour in use.
std::optional<int> append(literal_image& image, color c) {
  int k = image.used;
  while (k < ENTRIES && image.held[static_cast<std::size_t>(k)]) ++k;
  if (k == ENTRIES) return std::nullopt;
  image.put_color(k, c);
  image.held[static_cast<std::size_t>(k)] = true;
  image.used = k + 1;
  return k;
}

void swap_entries(literal_image& image, int a, int b) {
  color first = image.output_color(a);
  image.set_output_color(a, image.output_color(b));
  image.set_output_color(b, first);
  std::swap(image.held[static_cast<std::size_t>(a)], image.held[static_cast<std::size_t>(b)]);
  std::swap(image.alpha[static_cast<std::size_t>(a)], image.alpha[static_cast<std::size_t>(b)]);
  each_pixel(image, [&](std::size_t row, std::size_t col) {
    std::uint8_t& value = image.rows[image.at(row, col)];
    if (value == a)
      value = static_cast<std::uint8_t>(b);
    else if (value == b)
      value = static_cast<std::uint8_t>(a);
  });
}

enum class source { background, find_or_append, append };

bool place(literal_image& image, source how, int slot, color c) {
  std::optional<int> from;
  if (how == source::background) from = image.byte(image.header.pixel_offset);
  if (how == source::find_or_append) from = find(image, c);
  if (!from) from = append(image, c);
  if (!from) return false;
  if (*from != slot) swap_entries(image, *from, slot);
  image.held[static_cast<std::size_t>(slot)] = true;
  return true;
}

bool place_fixed_colors(literal_image& image) {
  const struct {
    source how;
    int slot;
    color c;
  } table[] = {
      {source::background, 0, {}},
      {source::find_or_append, 5, {255, 255, 0}},
      {source::find_or_append, 4, {255, 0, 255}},
      {source::find_or_append, 1, {255, 150, 255}},
      {source::append, 2, {1, 1, 255}},
      {source::append, 3, {1, 2, 255}},
      {source::append, 6, {1, 3, 255}},
      {source::append, 7, {1, 4, 255}},
  };
  for (const auto& step : table) {
    if (!place(image, step.how, step.slot, step.c)) return false;
  }
  // The grays go above every colour in use.
  for (int k = ENTRIES - 1; k >= 0; --k) {
    if (image.held[static_cast<std::size_t>(k)]) {
      image.used = std::max(image.used, k + 1);
      break;
    }
  }
  return true;
}

// The ramp level nearest the brightest component of the input's entry k; ties go low.
int nearest_gray(const literal_image& image, int k) {
  color c = image.input_color(k);
  int brightest = std::max({c.red, c.green, c.blue});
  int nearest = 0;
  for (int i = 1; i < 7; ++i) {
    if (std::abs(GRAYS[i] - brightest) < std::abs(GRAYS[nearest] - brightest)) nearest = i;
  }
  return nearest;
}

bool convert_near_background(literal_image& image, const translation_parameters& p) {
  if (static_cast<double>(p.background_share) <= 0.0001) return true;
  if (image.used > 248) return false;
  for (int i = 0; i < 7; ++i) image.put_color(image.used + i, {GRAYS[i], GRAYS[i], GRAYS[i]});
  int max_tolerance = std::max({p.red_tolerance, p.green_tolerance, p.blue_tolerance});
  if (max_tolerance <= 0) return true;
  color background = image.output_color(0);
  stepping_generator generator;
  // Matching reads the input's values: every pixel is converted at most once.
  std::vector<std::uint8_t> before = image.rows;
  for (int k = 0; k < ENTRIES; ++k) {
    // The colour the pixels of value k show now; the same for all of them.
    std::optional<color> shown;
    each_pixel(image, [&](std::size_t row, std::size_t col) {
      if (!shown && image.input_pixel(row, col) == k)
        shown = image.output_color(before[image.at(row, col)]);
    });
    if (!shown) continue;
    int red = std::abs(shown->red - background.red);
    int green = std::abs(shown->green - background.green);
    int blue = std::abs(shown->blue - background.blue);
    if (red > p.red_tolerance || green > p.green_tolerance || blue > p.blue_tolerance) continue;
    int distance = std::max({red, green, blue});
    auto gray = static_cast<std::uint8_t>(image.used + nearest_gray(image, k));
    each_pixel(image, [&](std::size_t row, std::size_t col) {
      if (image.input_pixel(row, col) != k) return;
      ++image.draws;
      double v = ((generator.next() * static_cast<double>(STEP)) * distance) / max_tolerance;
      image.rows[image.at(row, col)] = v < static_cast<double>(p.background_share) ? 0 : gray;
    });
  }
  return true;
}

}  // namespace

reference_result reference_translate(const eight_bit_form& form,
                                     const translation_parameters& parameters) {
  reference_result result;
  result.refused = form.refused;
  if (result.refused != refusal::none) return result;
  literal_image image{form.bytes, form.header};
  std::copy(form.alpha.begin(), form.alpha.end(), image.input_alpha.begin());
  std::int64_t used = used_count_of(image);
  result.used_count = static_cast<int>(std::min<std::int64_t>(used, 1 << 30));
  if (used > 255) {
    result.refused = refusal::palette_full;
    return result;
  }
  image.used = static_cast<int>(used);
  assemble(image);
  bool placed = place_fixed_colors(image);
  result.used_count = image.used;
  if (!placed) {
    result.refused = refusal::palette_full;
    return result;
  }
  if (!convert_near_background(image, parameters)) {
    result.refused = refusal::no_room_for_grays;
    return result;
  }
  result.draws = image.draws;
  result.alpha = image.alpha;
  result.output = image.prefix;
  result.output.insert(result.output.end(), image.rows.begin(), image.rows.end());
  return result;
}
