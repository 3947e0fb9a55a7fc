// Writes the fuzzer's seed corpus: valid images of many shapes, each behind the 8 bytes of
// parameters the fuzz target reads first.
// Usage: make-fuzz-seeds DIR

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bmp_builder.h"
#include "fuzz_input.h"
#include "png_builder.h"
#include "whole_files.h"

namespace {

struct seed_parameters {
  std::int16_t red, green, blue, percentage;
};

std::vector<std::uint8_t> with_parameters(const std::vector<std::uint8_t>& file,
                                          seed_parameters p) {
  std::vector<std::uint8_t> bytes;
  for (std::int16_t value : {p.red, p.green, p.blue, p.percentage}) {
    bytes.push_back(static_cast<std::uint8_t>(value));
    bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(value) >> 8));
  }
  bytes.insert(bytes.end(), file.begin(), file.end());
  return bytes;
}

bmp_recipe shaped(std::int32_t width, std::int32_t height, int entries, std::int32_t colors_used) {
  bmp_recipe recipe;
  recipe.width = width;
  recipe.height = height;
  recipe.palette = distinct_palette(entries);
  recipe.colors_used = colors_used;
  for (int row = 0; row < std::abs(height); ++row) {
    std::vector<std::uint8_t> line;
    for (int col = 0; col < width; ++col)
      line.push_back(static_cast<std::uint8_t>((row * 7 + col / 3) % (entries + 3)));
    recipe.rows.push_back(line);
  }
  return recipe;
}

std::vector<bmp_recipe> seed_images() {
  std::vector<bmp_recipe> recipes = {
      shaped(1, 1, 2, 2),    shaped(4, 2, 10, 10),   shaped(5, 3, 16, 16), shaped(7, -4, 16, 0),
      shaped(64, 3, 40, 40), shaped(130, 2, 8, 0),   shaped(3, 5, 256, 0), shaped(6, 2, 1, 1),
      shaped(0, 3, 4, 4),    shaped(9, 2, 250, 248), shaped(2, 2, 4, 256)};
  bmp_recipe markers = shaped(8, 3, 12, 12);
  markers.palette[3] = {255, 255, 0};
  markers.palette[7] = {255, 0, 255};
  markers.palette[9] = {255, 150, 255};
  recipes.push_back(markers);
  bmp_recipe long_header = shaped(5, 4, 16, 16);
  long_header.info_size = 124;
  recipes.push_back(long_header);
  bmp_recipe trailing = shaped(4, 4, 16, 16);
  trailing.trailing_bytes = 37;
  recipes.push_back(trailing);
  bmp_recipe background_above = shaped(6, 2, 20, 10);
  background_above.rows[0][0] = 15;
  recipes.push_back(background_above);
  bmp_recipe deep = shaped(3, 2, 4, 4);
  deep.bits = 24;
  recipes.push_back(deep);
  // Compressions the tool refuses, each named in its refusal.
  for (std::uint32_t compression : {3u, 4u, 5u, 6u, 11u}) {
    bmp_recipe refused = shaped(3, 2, 4, 4);
    refused.compression = compression;
    recipes.push_back(refused);
  }
  // Drawn in a full palette: refused unless compacted.
  recipes.push_back(full_palette_image({{200, 200, 3, 4}, {4, 77, 200, 200}}));
  // The decoded forms: packed 1 and 4 bits both ways up, RLE8, RLE4, the core header.
  const struct {
    std::uint16_t bits;
    std::uint32_t compression;
    std::uint32_t info_size;
    int height;
  } forms[] = {{1, 0, 40, 3}, {4, 0, 124, -3}, {8, 1, 40, 4}, {4, 2, 40, 4},
               {1, 0, 12, 2}, {4, 0, 12, 3},   {8, 0, 12, 2}};
  for (const auto& form : forms) {
    bmp_recipe decoded = shaped(9, form.height, 1 << form.bits, 0);
    for (auto& line : decoded.rows) {
      for (auto& value : line) value = static_cast<std::uint8_t>(value % (1 << form.bits));
    }
    decoded.bits = form.bits;
    decoded.compression = form.compression;
    decoded.info_size = form.info_size;
    recipes.push_back(decoded);
  }
  return recipes;
}

// A small picture of a few colours, some clear, in each true-colour form.
std::vector<std::vector<std::uint8_t>> true_colour_seeds() {
  std::vector<std::vector<std::uint8_t>> files;
  for (int color_type : {2, 4, 6}) {
    for (int interlace : {0, 1}) {
      png_recipe recipe;
      recipe.width = 7;
      recipe.height = 5;
      recipe.color_type = static_cast<std::uint8_t>(color_type);
      recipe.interlace = static_cast<std::uint8_t>(interlace);
      recipe.filters = {0, 1, 2, 3, 4};
      std::uint32_t channels = png_channels(recipe.color_type);
      for (std::uint32_t y = 0; y < recipe.height; ++y) {
        std::vector<std::uint8_t> row;
        for (std::uint32_t i = 0; i < recipe.width * channels; ++i)
          row.push_back(static_cast<std::uint8_t>((y * 3 + i / channels) % 4 * 60 + i % channels));
        recipe.rows.push_back(row);
      }
      if (color_type == 2) recipe.transparency = {0, 0, 0, 1, 0, 2};
      files.push_back(build_png(recipe));
    }
  }
  const struct {
    std::uint16_t bits;
    std::uint32_t compression;
    std::uint32_t info_size;
    std::array<std::uint32_t, 4> masks;
  } forms[] = {
      {16, 0, 40, {}},
      {16, 3, 40, {0xF800, 0x07E0, 0x001F, 0}},
      {24, 0, 40, {}},
      {32, 0, 40, {}},
      {32, 3, 40, {0x00FF0000, 0x0000FF00, 0x000000FF, 0}},
      {32, 3, 124, {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}},
  };
  for (const auto& form : forms) {
    true_colour_bmp recipe;
    recipe.width = 5;
    recipe.height = form.bits == 24 ? -3 : 3;
    recipe.bits = form.bits;
    recipe.compression = form.compression;
    recipe.info_size = form.info_size;
    recipe.masks = form.masks;
    for (int y = 0; y < 3; ++y) {
      std::vector<std::uint32_t> row;
      for (int x = 0; x < 5; ++x)
        row.push_back(static_cast<std::uint32_t>((x + y) % 3) * 0x01234567u);
      recipe.rows.push_back(row);
    }
    files.push_back(build_true_colour_bmp(recipe));
  }
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: make-fuzz-seeds DIR\n", stderr);
    return 2;
  }
  std::filesystem::create_directories(argv[1]);
  // The last two ask for compaction and for row cuts (bits 14 and 9 to 13 of the
  // percentage, see fuzz_input.h).
  const seed_parameters parameter_sets[] = {
      {40, 40, 40, 30},
      {0, 0, 0, 30},
      {-1, 40, 40, 16},
      {255, 255, 255, 100},
      {40, 40, 40, 30 | COMPACT_BIT},
      {255, 255, 255, 30 | (2 << CUT_SHIFT)},
      {255, 255, 255, 30 | (17 << CUT_SHIFT)},
  };
  int written = 0;
  for (const bmp_recipe& recipe : seed_images()) {
    for (const seed_parameters& parameters : parameter_sets) {
      std::string path = std::string(argv[1]) + "/seed-" + std::to_string(written++) + ".bin";
      write_file(path, with_parameters(build_bmp(recipe), parameters));
    }
  }
  // A file cut short inside its palette.
  std::vector<std::uint8_t> cut = build_bmp(shaped(4, 2, 16, 16));
  cut.resize(80);
  write_file(std::string(argv[1]) + "/seed-cut.bin", cut);
  // PNGs of every form: palette and grayscale at each depth, interlaced or not, with
  // transparency, split image data and every filter.
  std::mt19937 random(7);
  for (int png = 0; png < 24; ++png) {
    png_recipe recipe = random_png_recipe(random);
    recipe.width = std::min<std::uint32_t>(recipe.width, 24);
    const seed_parameters& parameters = parameter_sets[static_cast<std::size_t>(png) % 7];
    std::string path = std::string(argv[1]) + "/seed-png-" + std::to_string(png) + ".bin";
    write_file(path, with_parameters(build_png(recipe), parameters));
  }
  // The true-colour forms: PNG RGB with a key, gray with alpha and RGBA (one interlaced),
  // and bitmaps of 16, 24 and 32 bits, plain and with masks after or inside the header.
  int true_colour = 0;
  for (const std::vector<std::uint8_t>& file : true_colour_seeds()) {
    const seed_parameters& parameters = parameter_sets[static_cast<std::size_t>(true_colour) % 7];
    std::string path =
        std::string(argv[1]) + "/seed-true-colour-" + std::to_string(true_colour++) + ".bin";
    write_file(path, with_parameters(file, parameters));
  }
  return 0;
}
