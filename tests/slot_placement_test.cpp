#include <gtest/gtest.h>

#include "bmp_builder.h"
#include "case_names.h"
#include "memory_run.h"
#include "output_checks.h"
#include "palette/slot_placement.h"

namespace {

const rgb BLACK{0, 0, 0};
const rgb YELLOW{255, 255, 0};
const rgb MAGENTA{255, 0, 255};
const rgb PINK{255, 150, 255};
const rgb PLACEHOLDER[] = {{1, 1, 255}, {1, 2, 255}, {1, 3, 255}, {1, 4, 255}};

std::vector<rgb> palette_of(const work_image& image, int count) {
  std::vector<rgb> colors;
  for (int i = 0; i < count; ++i) colors.push_back(output_palette_color(image, i));
  return colors;
}

std::vector<std::vector<std::uint8_t>> rows_of(const work_image& image) {
  std::vector<std::vector<std::uint8_t>> rows;
  for (std::uint32_t row = 0; row < image.header.rows; ++row) {
    const std::uint8_t* line = image.output_pixels + std::size_t{row} * image.header.stride;
    rows.emplace_back(line, line + image.header.width);
  }
  return rows;
}

memory_run prepared(const bmp_recipe& recipe) {
  memory_run run;
  run.input = build_bmp(recipe);
  EXPECT_TRUE(prepare_in_memory(run));
  return run;
}

// The slot table on a prepared run, with the entries its pixels use marked.
refusal placed(memory_run& run) {
  held_entries held = entries_in_use(run.image);
  return apply_slot_table(run.image, held);
}

TEST(SlotPlacement, EightOrMoreUsedEntriesMoveAsideIntoTheAppendedOnes) {
  std::vector<rgb> palette = distinct_palette(10);
  memory_run run = prepared(image_with(palette, 10, {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 200}}));
  const int u = run.image.used_count;
  ASSERT_EQ(u, 11);
  ASSERT_EQ(placed(run), refusal::none);
  remap_rows(run);
  EXPECT_EQ(run.image.used_count, u + 7);
  std::vector<rgb> expected = {
      palette[0],     PINK,           PLACEHOLDER[0], PLACEHOLDER[1], MAGENTA,    YELLOW,
      PLACEHOLDER[2], PLACEHOLDER[3], palette[8],     palette[9],     BLACK,      palette[5],
      palette[4],     palette[1],     palette[2],     palette[3],     palette[6], palette[7]};
  EXPECT_EQ(palette_of(run.image, u + 7), expected);
  // Every pixel still shows its colour; 10 and 200 show the black catch-all.
  std::vector<rgb> shown;
  std::vector<std::uint8_t> row = rows_of(run.image)[0];
  for (std::uint8_t value : row) shown.push_back(output_palette_color(run.image, value));
  std::vector<rgb> before(palette.begin(), palette.end());
  before.push_back(BLACK);
  before.push_back(BLACK);
  EXPECT_EQ(shown, before);
}

TEST(SlotPlacement, SevenUsedEntriesParkSlotFiveAtTheLastAppend) {
  std::vector<rgb> palette = distinct_palette(6);
  memory_run run = prepared(image_with(palette, 6, {{0, 1, 2}}));
  ASSERT_EQ(run.image.used_count, 7);
  ASSERT_EQ(placed(run), refusal::none);
  remap_rows(run);
  EXPECT_EQ(output_palette_color(run.image, 7 + 6), palette[5]);
}

TEST(SlotPlacement, TheHighestCopyOfAMarkerIsTheOneMoved) {
  std::vector<rgb> palette = distinct_palette(14);
  palette[9] = YELLOW;
  palette[12] = YELLOW;
  memory_run run = prepared(image_with(palette, 14, {{0, 9, 12, 5}}));
  ASSERT_EQ(placed(run), refusal::none);
  remap_rows(run);
  EXPECT_EQ(output_palette_color(run.image, 5), YELLOW);
  EXPECT_EQ(output_palette_color(run.image, 9), YELLOW);
  EXPECT_EQ(output_palette_color(run.image, 12), palette[5]);
  EXPECT_EQ(rows_of(run.image)[0], (std::vector<std::uint8_t>{0, 9, 5, 12}));
}

// A yellow background sits at 0 when yellow is looked for: found there, it moves to
// slot 5 and takes its pixels along; nothing is appended.
TEST(SlotPlacement, AMarkerColourAtIndexZeroIsFound) {
  std::vector<rgb> palette = distinct_palette(12);
  palette[3] = YELLOW;
  memory_run run = prepared(image_with(palette, 12, {{3, 1, 5, 3}}));
  int used_before = run.image.used_count;
  ASSERT_EQ(placed(run), refusal::none);
  remap_rows(run);
  EXPECT_EQ(output_palette_color(run.image, 5), YELLOW);
  EXPECT_EQ(rows_of(run.image)[0][0], 5);
  EXPECT_EQ(run.image.used_count, used_before + 2 + 4) << "magenta, pink and the placeholders";
}

// With fewer than 8 entries in use, the markers and placeholders take entries that slots
// 4 and 5 already hold: each append skips the entries in use, so every slot keeps its
// colour and the pixels theirs.
TEST(SlotPlacement, OneColourUsedKeepsEverySlotsColour) {
  const rgb background{10, 20, 30};
  memory_run run = prepared(image_with({background, {40, 50, 60}}, 1, {{0, 1, 7, 0}}));
  ASSERT_EQ(run.image.used_count, 2);
  ASSERT_EQ(placed(run), refusal::none);
  remap_rows(run);
  std::vector<rgb> expected = {background, PINK,   PLACEHOLDER[0], PLACEHOLDER[1],
                               MAGENTA,    YELLOW, PLACEHOLDER[2], PLACEHOLDER[3],
                               BLACK,      BLACK,  BLACK};
  EXPECT_EQ(palette_of(run.image, 11), expected);
  // The catch-all's pixels moved with it, twice: to 6 for the pink, to 9 for a placeholder.
  EXPECT_EQ(rows_of(run.image)[0], (std::vector<std::uint8_t>{0, 9, 9, 0}));
  EXPECT_EQ(run.image.used_count, 11);
}

TEST(SlotPlacement, FiveByTwoExample) {
  memory_run run =
      prepared(image_with({{10, 20, 30}, YELLOW, MAGENTA}, 3, {{0, 1, 2, 0, 1}, {2, 2, 1, 0, 0}}));
  ASSERT_EQ(placed(run), refusal::none);
  remap_rows(run);
  EXPECT_EQ(rows_of(run.image),
            (std::vector<std::vector<std::uint8_t>>{{0, 5, 4, 0, 5}, {4, 4, 5, 0, 0}}));
  std::vector<rgb> expected = {{10, 20, 30}, PINK,   PLACEHOLDER[0], PLACEHOLDER[1],
                               MAGENTA,      YELLOW, PLACEHOLDER[2], PLACEHOLDER[3]};
  EXPECT_EQ(palette_of(run.image, 8), expected);
  EXPECT_EQ(run.image.used_count, 11);
}

// The first pixel, 11, points at an entry counted as unused; the background is that
// all-zero entry, and the colour of slot 0, which pixels use, is parked at 11. The
// appends go past it.
TEST(SlotPlacement, BackgroundIndexAtTheUsedCountKeepsTheColourParkedThere) {
  std::vector<rgb> palette = distinct_palette(12);
  memory_run run = prepared(image_with(palette, 10, {{11, 0, 3, 0}}));
  ASSERT_EQ(run.image.used_count, 11);
  ASSERT_EQ(run.image.index_map[11], 10) << "clamped to the catch-all";
  ASSERT_EQ(placed(run), refusal::none);
  remap_rows(run);
  EXPECT_EQ(output_palette_color(run.image, 0), BLACK);
  EXPECT_EQ(output_palette_color(run.image, 5), YELLOW);
  EXPECT_EQ(output_palette_color(run.image, 11), palette[0]);
  EXPECT_EQ(output_palette_color(run.image, 12), palette[5]) << "yellow went in at 12";
  EXPECT_EQ(rows_of(run.image)[0], (std::vector<std::uint8_t>{10, 11, 16, 11}));
  EXPECT_EQ(run.image.used_count, 19);
}

// Where no swap parks a colour in use above the used count, which entries the pixels use
// cannot change the outcome, and the translation does not count them for it.
TEST(SlotPlacement, HeldEntriesMatterOnlyWhereASwapCanParkAColourInUse) {
  const struct {
    const char* name;
    std::int32_t colors_used;
    std::uint8_t first_pixel;
    bool matter;
  } cases[] = {
      {"8 used entries, background inside", 7, 3, false},
      {"7 used entries", 6, 0, true},
      {"background at the used count", 20, 21, true},
      {"background on the catch-all", 20, 20, false},
  };
  for (const auto& c : cases) {
    memory_run run;
    run.input = build_bmp(image_with(distinct_palette(30), c.colors_used, {{c.first_pixel, 1}}));
    ASSERT_TRUE(load_in_memory(run)) << c.name;
    EXPECT_EQ(held_entries_matter(run.image), c.matter) << c.name;
  }
}

TEST(SlotPlacement, AFullPaletteStopsAtTheAppendThatFindsNoRoom) {
  const struct {
    std::int32_t colors_used;
    refusal outcome;
    int used_count_after;
  } cases[] = {
      {249, refusal::palette_full, 256},
      {248, refusal::none, 256},
  };
  for (const auto& c : cases) {
    memory_run run;
    run.input = build_bmp(image_with(distinct_palette(256), c.colors_used, {{0, 1}}));
    run_in_memory(run, {});
    EXPECT_EQ(run.report.refused, c.outcome) << c.colors_used;
    EXPECT_EQ(run.image.used_count, c.used_count_after) << c.colors_used;
  }
}

TEST(SlotPlacement, PlaceColorSwapsAndRemapsOnlyImagePixels) {
  bmp_recipe recipe = image_with(distinct_palette(12), 12, {{3, 7, 1}, {7, 3, 3}});
  memory_run run = prepared(recipe);
  std::uint8_t* fill = input_pixels(run.image) + 3;
  *fill = 7;  // a fill byte is not part of the picture
  held_entries held = entries_in_use(run.image);
  EXPECT_EQ(place_color(run.image, held, from_entry(7), 7, {}), refusal::none);
  EXPECT_EQ(place_color(run.image, held, from_entry(7), 3, {}), refusal::none);
  remap_rows(run);
  EXPECT_EQ(rows_of(run.image), (std::vector<std::vector<std::uint8_t>>{{7, 3, 1}, {3, 7, 7}}));
  EXPECT_EQ(output_palette_color(run.image, 3), recipe.palette[7]);
  EXPECT_EQ(output_palette_color(run.image, 7), recipe.palette[3]);
  EXPECT_EQ(*fill, 0);
  EXPECT_EQ(run.image.index_map[3], 7);
  EXPECT_EQ(run.image.index_map[7], 3);
}

TEST(SlotPlacement, AppendOnAFullPaletteChangesNothing) {
  memory_run run = prepared(image_with(distinct_palette(256), 254, {{0, 1}}));
  held_entries held = entries_in_use(run.image);
  ASSERT_EQ(place_color(run.image, held, APPEND, 2, {1, 1, 255}), refusal::none);
  ASSERT_EQ(run.image.used_count, 256);
  std::vector<std::uint8_t> before = run.output;
  EXPECT_EQ(place_color(run.image, held, APPEND, 3, {1, 2, 255}), refusal::palette_full);
  EXPECT_EQ(place_color(run.image, held, FIND_OR_APPEND, 3, {1, 2, 255}), refusal::palette_full);
  EXPECT_EQ(run.output, before);
  EXPECT_EQ(run.image.used_count, 256);
}

// Pictures of few or pure colours, as black-and-white scans and pixel art store them: at
// percentage 0 each comes out as the same picture with the fixed colours in their slots.
struct small_palette_case {
  const char* name;
  bmp_recipe recipe;
  refusal outcome;
  std::int64_t counted;
};

void PrintTo(const small_palette_case& c, std::ostream* out) {
  *out << c.name;
}

std::vector<rgb> pure_colours() {
  std::vector<rgb> pure;
  for (int i = 0; i < 256; ++i) {
    auto c = [&](int bit) { return static_cast<std::uint8_t>((i >> bit) & 1 ? 255 : 0); };
    pure.push_back({c(0), c(1), c(2)});
  }
  return pure;
}

bmp_recipe black_and_white() {
  bmp_recipe recipe = image_with({BLACK, {255, 255, 255}}, 2, {{0, 1, 1, 0, 1}, {1, 0}});
  recipe.bits = 1;
  return recipe;
}

const small_palette_case SMALL_PALETTE_CASES[] = {
    {"1-bit black and white", black_and_white(), refusal::none, 3},
    {"the eight pure colours, colours used 0",
     image_with(pure_colours(), 0, {{0, 1, 2, 3, 4, 5, 6, 7}, {7, 6, 5, 4, 3, 2, 1, 0}}),
     refusal::none, 9},
    {"pure colours, a pixel of 255: the palette is full", image_with(pure_colours(), 0, {{0, 255}}),
     refusal::palette_full, 257},
    {"three colours, yellow found",
     image_with({{10, 20, 30}, YELLOW, {50, 60, 70}}, 3, {{0, 1, 2, 1}, {2, 2, 0, 1}}),
     refusal::none, 4},
    {"two colours, background last", image_with({{10, 20, 30}, {40, 50, 60}}, 2, {{1, 0, 0}}),
     refusal::none, 3},
};

class SmallPalettes : public testing::TestWithParam<small_palette_case> {};

TEST_P(SmallPalettes, KeepTheirPicturesAndTheFixedSlots) {
  const small_palette_case& c = GetParam();
  memory_run run;
  run.input = build_bmp(c.recipe);
  run_in_memory(run, {40, 40, 40, 0.0f});
  EXPECT_EQ(run.report.refused, c.outcome);
  EXPECT_EQ(run.report.counted, c.counted);
  if (run.report.done()) {
    EXPECT_EQ(output_fault(build_bmp(c.recipe), {}, run.written()), "");
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, SmallPalettes, testing::ValuesIn(SMALL_PALETTE_CASES), named_case());

}  // namespace
