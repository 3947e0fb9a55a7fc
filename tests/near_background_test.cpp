#include <gtest/gtest.h>

#include <random>

#include "bmp_builder.h"
#include "image/byte_order.h"
#include "memory_run.h"
#include "palette/near_background.h"
#include "palette/random_sequence.h"
#include "reference_model.h"

namespace {

const rgb BLACK{0, 0, 0};

rgb gray(int level) {
  auto l = static_cast<std::uint8_t>(level);
  return {l, l, l};
}

memory_run translated(const bmp_recipe& recipe, translation_parameters parameters,
                      engine which = engine::single_pass) {
  memory_run run;
  run.input = build_bmp(recipe);
  run_in_memory(run, parameters, which);
  return run;
}

std::vector<std::uint8_t> row_of(const memory_run& run, std::uint32_t row) {
  const std::uint8_t* line = run.image.output_pixels + std::size_t{row} * run.image.header.stride;
  return {line, line + run.image.header.width};
}

// The colour each picture pixel shows, in stored order.
std::vector<rgb> shown_colors(const work_image& image) {
  std::vector<rgb> colors;
  for (std::uint32_t row = 0; row < image.header.rows; ++row) {
    for (std::int32_t col = 0; col < image.header.width; ++col) {
      colors.push_back(
          output_palette_color(image, image.output_pixels[std::size_t{row} * image.header.stride +
                                                          static_cast<std::size_t>(col)]));
    }
  }
  return colors;
}

TEST(RandomSequence, StartsFromTheFixedState) {
  stepping_generator generator;
  std::vector<int> drawn;
  for (int i = 0; i < 12; ++i) drawn.push_back(generator.next());
  EXPECT_EQ(drawn, (std::vector<int>{41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962,
                                     24464, 5705, 28145}));
  EXPECT_EQ(stepping_generator{}.next(), 41);
  // The engine's own draws start from the same state and step alike.
  std::uint32_t state = RANDOM_START_STATE;
  for (int expected : drawn) EXPECT_EQ(draw_random(state), expected);
}

TEST(NearBackground, WholeFourByTwoRun) {
  const std::vector<rgb> palette = {{0, 255, 255},   {200, 0, 0},   {0, 200, 0},   {0, 0, 200},
                                    {100, 100, 100}, {50, 50, 50},  {150, 0, 150}, {0, 150, 150},
                                    {20, 240, 250},  {60, 200, 230}};
  memory_run run =
      translated(image_with(palette, 10, {{0, 8, 9, 3}, {8, 0, 9, 2}}), {40, 40, 40, 0.3f});
  ASSERT_EQ(run.report.refused, refusal::none);
  std::vector<std::uint8_t> out = run.written();
  ASSERT_EQ(out.size(), 1086u);
  EXPECT_EQ(read_le32(out.data() + 2), 1086u);
  std::vector<rgb> expected = {{0, 255, 255},   {255, 150, 255}, {1, 1, 255}, {1, 2, 255},
                               {255, 0, 255},   {255, 255, 0},   {1, 3, 255}, {1, 4, 255},
                               {20, 240, 250},  {60, 200, 230},  BLACK,       {50, 50, 50},
                               {100, 100, 100}, {200, 0, 0},     {0, 200, 0}, {0, 0, 200},
                               {150, 0, 150},   {0, 150, 150}};
  for (int level : gray_ramp) expected.push_back(gray(level));
  while (expected.size() < 256) expected.push_back(BLACK);
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(output_palette_color(run.image, i), expected[static_cast<std::size_t>(i)])
        << "entry " << i;
  }
  EXPECT_EQ(row_of(run, 0), (std::vector<std::uint8_t>{0, 0, 9, 15}));
  EXPECT_EQ(row_of(run, 1), (std::vector<std::uint8_t>{24, 0, 9, 14}));
  memory_run literal = translated(image_with(palette, 10, {{0, 8, 9, 3}, {8, 0, 9, 2}}),
                                  {40, 40, 40, 0.3f}, engine::reference);
  EXPECT_EQ(literal.draws, 4u);
  EXPECT_EQ(literal.written(), out);
}

TEST(NearBackground, GrayRoomBoundary) {
  const struct {
    std::int32_t colors_used;  // no markers: used_count ends 7 higher after placement
    refusal outcome;
  } cases[] = {{241, refusal::no_room_for_grays}, {240, refusal::none}};
  for (const auto& c : cases) {
    memory_run run =
        translated(image_with(distinct_palette(256), c.colors_used, {{0, 1}}), {10, 10, 10, 0.01f});
    EXPECT_EQ(run.report.refused, c.outcome) << c.colors_used;
    if (c.outcome != refusal::none) continue;
    ASSERT_EQ(run.image.used_count, 248);
    for (int i = 0; i < 7; ++i)
      EXPECT_EQ(output_palette_color(run.image, 248 + i),
                gray(gray_ramp[static_cast<std::size_t>(i)]));
    EXPECT_EQ(output_palette_color(run.image, 255), BLACK);
  }
}

TEST(NearBackground, PassesThatDrawNothing) {
  const std::vector<rgb> palette = {{50, 50, 50}, {52, 50, 49}, {60, 60, 60}, {200, 10, 10},
                                    {11, 12, 13}, {14, 15, 16}, {17, 18, 19}, {20, 21, 22}};
  const std::vector<std::vector<std::uint8_t>> rows = {{0, 1, 2, 3}, {1, 1, 0, 2}};
  const struct {
    const char* name;
    translation_parameters parameters;
    bool grays_added;
  } cases[] = {
      {"percentage 0", {40, 40, 40, 0.0f}, false},
      {"negative percentage", {40, 40, 40, -0.5f}, false},
      {"all tolerances 0", {0, 0, 0, 0.3f}, true},
      {"one tolerance negative", {-1, 40, 40, 0.3f}, true},
  };
  memory_run unconverted = translated(image_with(palette, 8, rows), {40, 40, 40, 0.0f});
  for (const auto& c : cases) {
    memory_run literal = translated(image_with(palette, 8, rows), c.parameters, engine::reference);
    EXPECT_EQ(literal.draws, 0u) << c.name << ": no draw";
    memory_run run = translated(image_with(palette, 8, rows), c.parameters);
    ASSERT_EQ(run.report.refused, refusal::none) << c.name;
    EXPECT_EQ(run.written(), literal.written()) << c.name;
    EXPECT_EQ(shown_colors(run.image), shown_colors(unconverted.image)) << c.name;
    EXPECT_EQ(output_palette_color(run.image, run.image.used_count) == gray(70), c.grays_added)
        << c.name;
  }
}

TEST(NearBackground, SingleShareDecidesAtTheBoundary) {
  // The 20th draw is 5436; at distance 217 of 225 it gives v = 0.15999999985, which lies
  // above the float nearest 0.16 but below 0.16 itself.
  std::vector<rgb> palette = {BLACK, {217, 0, 0}};
  for (int i = 2; i < 8; ++i) palette.push_back({250, 240, static_cast<std::uint8_t>(230 + i)});
  std::vector<std::uint8_t> row(19, 0);
  row.push_back(1);
  memory_run run = translated(image_with(palette, 8, {row}), {225, 225, 225, 0.16f});
  ASSERT_EQ(run.report.refused, refusal::none);
  double v = 5436 * static_cast<double>(RANDOM_STEP) * 217 / 225;
  ASSERT_TRUE(v < 0.16 && v >= static_cast<double>(0.16f));
  EXPECT_EQ(row_of(run, 0)[19], run.image.used_count + 6) << "gray 230, not background";
}

TEST(NearBackground, NearestGrayTiesGoToTheLowerLevel) {
  const std::vector<rgb> palette = {BLACK,       {255, 255, 255}, {100, 0, 0},
                                    {0, 165, 0}, {0, 0, 205},     {200, 40, 40}};
  memory_run run;
  run.input = build_bmp(image_with(palette, 6, {{0}}));
  ASSERT_TRUE(load_in_memory(run));
  const int expected[] = {0, 6, 1, 4, 5, 5};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(nearest_gray(run.image, k), expected[k]) << "entry " << k;
  // Entries past the end of this small file read black.
  EXPECT_EQ(nearest_gray(run.image, 255), 0);
}

TEST(NearBackground, TestsTheColourThePixelsShowAfterPlacement) {
  const rgb background{50, 50, 50};
  const rgb far{250, 10, 10};
  const rgb near{60, 55, 45};  // sits in slot 2, which a placeholder takes
  std::vector<rgb> palette = {far,          {9, 9, 9},   near,      background,
                              {70, 200, 9}, {8, 8, 200}, {7, 7, 7}, {6, 100, 6}};
  memory_run run =
      translated(image_with(palette, 8, {{3, 0, 2, 0}, {2, 3, 0, 2}}), {40, 40, 40, 0.5f});
  ASSERT_EQ(run.report.refused, refusal::none);
  std::vector<rgb> shown = shown_colors(run.image);
  EXPECT_EQ(shown[1], far);
  EXPECT_EQ(shown[3], far);
  EXPECT_EQ(shown[6], far);
  for (std::size_t at : std::vector<std::size_t>{2, 4, 7}) {
    EXPECT_TRUE(shown[at] == background || shown[at] == gray(70)) << "pixel " << at;
  }
}

struct random_image {
  bmp_recipe recipe;
  translation_parameters parameters;
};

random_image make_random_image(std::mt19937& random) {
  auto pick = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  random_image made;
  bmp_recipe& recipe = made.recipe;
  recipe.colors_used = pick(7, 120);
  recipe.palette.resize(static_cast<std::size_t>(recipe.colors_used));
  const std::uint8_t levels[] = {0, 255, 40, 90, 128, 200};
  for (rgb& color : recipe.palette) {
    auto channel = [&] {
      return pick(0, 2) == 0 ? levels[pick(0, 5)] : static_cast<std::uint8_t>(pick(0, 255));
    };
    color = {channel(), channel(), channel()};
  }
  if (pick(0, 1) == 1)
    recipe.palette[static_cast<std::size_t>(pick(1, recipe.colors_used - 1))] = {255, 255, 0};
  if (pick(0, 1) == 1)
    recipe.palette[static_cast<std::size_t>(pick(1, recipe.colors_used - 1))] = {255, 0, 255};
  recipe.width = pick(1, 9);
  recipe.height = pick(1, 6) * (pick(0, 1) == 1 ? 1 : -1);
  int first = pick(0, recipe.colors_used);  // below used_count = colours used + 1
  for (int row = 0; row < std::abs(recipe.height); ++row) {
    std::vector<std::uint8_t> line;
    for (int col = 0; col < recipe.width; ++col)
      line.push_back(static_cast<std::uint8_t>(pick(0, recipe.colors_used + 6)));
    recipe.rows.push_back(line);
  }
  recipe.rows[0][0] = static_cast<std::uint8_t>(first);
  made.parameters = {pick(-5, 80), pick(-5, 80), pick(-5, 80),
                     pick(0, 1) == 1 ? 0.0f : static_cast<float>(pick(1, 100) * 0.01)};
  return made;
}

bool within(rgb color, rgb background, const translation_parameters& p) {
  return std::abs(color.red - background.red) <= p.red_tolerance &&
         std::abs(color.green - background.green) <= p.green_tolerance &&
         std::abs(color.blue - background.blue) <= p.blue_tolerance;
}

TEST(NearBackground, PixelsChangeOnlyNearTheBackgroundAndOnlyToBackgroundOrGray) {
  std::mt19937 random(20261207);
  for (int trial = 0; trial < 2000; ++trial) {
    random_image made = make_random_image(random);
    memory_run before;
    before.input = build_bmp(made.recipe);
    ASSERT_TRUE(prepare_in_memory(before));
    remap_rows(before);
    std::vector<rgb> was = shown_colors(before.image);
    memory_run after = translated(made.recipe, made.parameters);
    ASSERT_EQ(after.report.refused, refusal::none) << trial;
    std::vector<rgb> now = shown_colors(after.image);
    // Slot 0 after placement; a background that is itself a marker colour moves on.
    rgb background = output_palette_color(after.image, 0);
    bool pass_on = made.parameters.background_share > 0;
    for (std::size_t at = 0; at < was.size(); ++at) {
      if (!pass_on || !within(was[at], background, made.parameters) ||
          std::max({made.parameters.red_tolerance, made.parameters.green_tolerance,
                    made.parameters.blue_tolerance}) <= 0) {
        ASSERT_EQ(now[at], was[at]) << "trial " << trial << " pixel " << at;
        continue;
      }
      bool ramp_gray =
          now[at].red == now[at].green && now[at].green == now[at].blue &&
          std::find(gray_ramp.begin(), gray_ramp.end(), now[at].red) != gray_ramp.end();
      ASSERT_TRUE(now[at] == background || ramp_gray) << "trial " << trial << " pixel " << at;
    }
  }
}

}  // namespace
