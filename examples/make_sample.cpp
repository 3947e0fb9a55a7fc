// Draws the demo image: a small round creature on a flat sky-blue background, with
// anti-aliased edges and a soft shadow whose colours lie close to the background. As
// OUT.png it is a palette PNG as a sprite editor exports it: the background transparent.
// Usage: make-sample OUT.bmp | OUT.png

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "bmp_builder.h"
#include "png_builder.h"
#include "whole_files.h"

namespace {

constexpr int WIDTH = 96;
constexpr int HEIGHT = 64;

enum color_index : std::uint8_t {
  BACKGROUND,
  SHADOW,
  EDGE_FAINT,  // 15 % body over the background: near the background
  EDGE_LIGHT,  // 30 %: still near
  EDGE_HALF,   // 50 %: too far from it
  BODY,
  BODY_DARK,
  OUTLINE,
  EYE_WHITE,
  PUPIL,
  HIGHLIGHT,  // yellow: a marker colour already in the palette
  COLOR_COUNT
};

const rgb SKY{64, 128, 192};
const rgb SLIME{60, 180, 75};

rgb mix(rgb a, rgb b, double t) {
  auto channel = [t](int x, int y) {
    return static_cast<std::uint8_t>(std::lround(x + (y - x) * t));
  };
  return {channel(a.red, b.red), channel(a.green, b.green), channel(a.blue, b.blue)};
}

std::vector<rgb> sample_palette() {
  return {SKY,
          mix(SKY, {0, 0, 0}, 0.12),
          mix(SKY, SLIME, 0.15),
          mix(SKY, SLIME, 0.30),
          mix(SKY, SLIME, 0.5),
          SLIME,
          {30, 120, 50},
          {20, 70, 30},
          {250, 250, 245},
          {16, 16, 24},
          {255, 255, 0}};
}

// How far (x, y) lies inside the creature's body ellipse, in pixels (negative: outside).
double inside_body(double x, double y) {
  double dx = (x - 48.0) / 30.0;
  double dy = (y - 30.0) / 22.0;
  return (1.0 - std::sqrt(dx * dx + dy * dy)) * 22.0;
}

std::uint8_t body_pixel(double depth, double x, double y) {
  if (depth < 1.5) return OUTLINE;
  if (std::hypot(x - 38, y - 36) < 5 || std::hypot(x - 58, y - 36) < 5) {
    return std::hypot(x - 39, y - 35) < 2.2 || std::hypot(x - 59, y - 35) < 2.2 ? PUPIL : EYE_WHITE;
  }
  if (std::hypot(x - 36, y - 45) < 3) return HIGHLIGHT;
  return y < 18 ? BODY_DARK : BODY;
}

std::uint8_t edge_pixel(double depth) {
  if (depth > -0.4) return EDGE_HALF;
  if (depth > -0.9) return EDGE_LIGHT;
  return EDGE_FAINT;
}

bool in_shadow(double x, double y) {
  double dx = (x - 50.0) / 32.0;
  double dy = (y - 6.0) / 4.0;
  return dx * dx + dy * dy < 1.0;
}

// Rows are stored bottom-up: row 0 is the bottom of the picture.
std::uint8_t pixel_at(int column, int row) {
  double x = column + 0.5;
  double y = row + 0.5;
  double depth = inside_body(x, y);
  if (depth >= 0) return body_pixel(depth, x, y);
  if (depth > -1.4) return edge_pixel(depth);
  return in_shadow(x, y) ? SHADOW : BACKGROUND;
}

// The picture's rows, bottom first.
std::vector<std::vector<std::uint8_t>> sample_rows() {
  std::vector<std::vector<std::uint8_t>> rows;
  for (int row = 0; row < HEIGHT; ++row) {
    std::vector<std::uint8_t> line;
    for (int column = 0; column < WIDTH; ++column) line.push_back(pixel_at(column, row));
    rows.push_back(line);
  }
  return rows;
}

std::vector<std::uint8_t> sample_bmp() {
  bmp_recipe recipe;
  recipe.width = WIDTH;
  recipe.height = HEIGHT;
  recipe.palette = sample_palette();
  recipe.colors_used = COLOR_COUNT;
  recipe.rows = sample_rows();
  return build_bmp(recipe);
}

std::vector<std::uint8_t> sample_png() {
  png_recipe recipe;
  recipe.width = WIDTH;
  recipe.height = HEIGHT;
  recipe.palette = sample_palette();
  recipe.transparency = {0};  // the sky entry: the background shows through
  recipe.rows = sample_rows();
  std::reverse(recipe.rows.begin(), recipe.rows.end());  // PNG stores the top row first
  return build_png(recipe);
}

// The same picture as most editors save it: RGBA, without a palette, the sky clear.
std::vector<std::uint8_t> sample_rgba_png() {
  png_recipe recipe;
  recipe.width = WIDTH;
  recipe.height = HEIGHT;
  recipe.color_type = 6;
  std::vector<rgb> palette = sample_palette();
  std::vector<std::vector<std::uint8_t>> rows = sample_rows();
  for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
    std::vector<std::uint8_t> line;
    for (std::uint8_t value : *row) {
      const rgb& c = palette[value];
      line.insert(line.end(), {c.red, c.green, c.blue,
                               static_cast<std::uint8_t>(value == BACKGROUND ? 0 : 255)});
    }
    recipe.rows.push_back(line);
  }
  return build_png(recipe);
}

bool ends_with(const std::string& name, const std::string& end) {
  return name.size() >= end.size() && name.compare(name.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: make-sample OUT.bmp | OUT.png | OUT-rgba.png\n", stderr);
    return 2;
  }
  std::string name = argv[1];
  std::vector<std::uint8_t> bytes = ends_with(name, "-rgba.png") ? sample_rgba_png()
                                    : ends_with(name, ".png")    ? sample_png()
                                                                 : sample_bmp();
  if (!write_file(name, bytes)) {
    std::fprintf(stderr, "make-sample: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
