// The single-pass engine against the literal reference model, and the four facts that let
// one pass replace up to 264: swaps compose into one table, a histogram gives each value
// its first draw, the generator can jump ahead, and each value has one threshold.

#include <gtest/gtest.h>

#include <random>

#include "bmp_builder.h"
#include "image/byte_order.h"
#include "memory_run.h"
#include "output_checks.h"
#include "palette/near_background.h"
#include "palette/pixel_kernels.h"
#include "palette/pixel_transform.h"
#include "palette/random_sequence.h"
#include "palette/row_ranges.h"
#include "palette/slot_placement.h"
#include "png_builder.h"
#include "whole_files.h"

namespace {

rgb random_color(std::mt19937& random) {
  static const rgb specials[] = {{255, 255, 0}, {255, 0, 255}, {255, 150, 255},
                                 {1, 1, 255},   {0, 0, 0},     {255, 255, 255}};
  if (pick(random, 0, 9) == 0) return specials[pick(random, 0, 5)];
  auto channel = [&] {
    int kind = pick(random, 0, 3);
    if (kind == 0) return static_cast<std::uint8_t>(pick(random, 0, 1) * 255);
    return static_cast<std::uint8_t>(pick(random, 0, 255));
  };
  return {channel(), channel(), channel()};
}

std::int32_t colors_used_near_the_edges(std::mt19937& random, int entries) {
  switch (pick(random, 0, 4)) {
    case 0:
      return 0;
    case 1:
      return 256;
    case 2:
      return pick(random, 1, 8);
    case 3:
      return pick(random, 240, 255);
    default:
      return pick(random, 1, std::max(1, entries));
  }
}

float random_share(std::mt19937& random) {
  const int percentages[] = {0, 1, 16, 30, 100, 150, -5};
  int percentage = pick(random, 0, 1) == 0 ? percentages[pick(random, 0, 6)] : pick(random, 0, 100);
  return static_cast<float>(percentage * 0.01);
}

struct random_case {
  std::vector<std::uint8_t> file;
  translation_parameters parameters;
};

// A true-colour bitmap of 24 or 32 bits, bottom-up or top-down, of a few colours or of
// about 256 (more are refused), some near the background and some the markers.
std::vector<std::uint8_t> random_true_colour_bmp(std::mt19937& random) {
  true_colour_bmp file;
  file.bits = pick(random, 0, 1) == 0 ? 24 : 32;
  file.width = pick(random, 0, 5) == 0 ? pick(random, 60, 120) : pick(random, 1, 11);
  int rows = pick(random, 1, 6);
  file.height = rows * (pick(random, 0, 2) == 0 ? -1 : 1);
  std::vector<std::uint32_t> colours;
  int count = pick(random, 0, 3) == 0 ? pick(random, 250, 262) : pick(random, 1, 12);
  for (int i = 0; i < count; ++i) {
    rgb c = random_color(random);
    colours.push_back(std::uint32_t{c.red} << 16 | std::uint32_t{c.green} << 8 | c.blue);
  }
  for (int row = 0, at = 0; row < rows; ++row) {
    file.rows.emplace_back();
    for (int col = 0; col < file.width; ++col, ++at) {
      std::size_t k = at < count ? static_cast<std::size_t>(at)
                                 : static_cast<std::size_t>(pick(random, 0, count - 1));
      file.rows.back().push_back(colours[k]);
    }
  }
  return build_true_colour_bmp(file);
}

random_case make_case(std::mt19937& random) {
  bmp_recipe recipe;
  int entries = pick(random, 0, 3) == 0 ? 256 : pick(random, 0, 40);
  for (int i = 0; i < entries; ++i) recipe.palette.push_back(random_color(random));
  // A marker colour twice: the highest entry holding it is the one that moves.
  if (entries >= 2 && pick(random, 0, 3) == 0) {
    rgb marker = pick(random, 0, 1) == 0 ? rgb{255, 255, 0} : rgb{255, 0, 255};
    recipe.palette[static_cast<std::size_t>(pick(random, 0, entries - 1))] = marker;
    recipe.palette[static_cast<std::size_t>(pick(random, 0, entries - 1))] = marker;
  }
  recipe.colors_used = colors_used_near_the_edges(random, entries);
  recipe.info_size = pick(random, 0, 4) == 0 ? 124 : 40;
  // Wide images reach the 64-pixel vector blocks; runs make flat blocks.
  recipe.width = pick(random, 0, 5) == 0 ? pick(random, 60, 200) : pick(random, 0, 11);
  int run_length = pick(random, 1, 80);
  recipe.height = pick(random, 1, 7) * (pick(random, 0, 2) == 0 ? -1 : 1);
  int top_value = pick(random, 0, 1) == 0 ? 255 : std::max(1, entries + 2);
  for (int row = 0; row < std::abs(recipe.height); ++row) {
    std::vector<std::uint8_t> line;
    for (int col = 0; col < recipe.width + 3; ++col) {
      bool repeat = col % run_length != 0 && !line.empty();
      line.push_back(repeat ? line.back() : static_cast<std::uint8_t>(pick(random, 0, top_value)));
    }
    recipe.rows.push_back(line);
  }
  recipe.trailing_bytes = static_cast<std::size_t>(pick(random, 0, 1) * pick(random, 0, 40));
  random_case made{build_bmp(recipe), {}};
  if (pick(random, 0, 5) == 0)
    made.file.resize(made.file.size() - static_cast<std::size_t>(pick(random, 0, 20)));
  const int tolerances[] = {0, -1, 255, 1000};
  auto tolerance = [&] {
    return pick(random, 0, 3) == 0 ? tolerances[pick(random, 0, 3)] : pick(random, 0, 120);
  };
  made.parameters = {tolerance(), tolerance(), tolerance(), random_share(random)};
  return made;
}

TEST(Engine, MatchesTheReferenceModelByteForByte) {
  std::mt19937 random(4242);
  int converted = 0;
  for (int trial = 0; trial < 4000; ++trial) {
    random_case made = make_case(random);
    // Every fifth a PNG, whose palette's alphas go along, and every seventh a true-colour
    // bitmap.
    if (trial % 5 == 4) made.file = build_png(random_png_recipe(random));
    if (trial % 7 == 6) made.file = random_true_colour_bmp(random);
    // Every third run compacted: the literal model then reads the compacted file.
    made.parameters.compact_palette = trial % 3 == 0;
    memory_run literal;
    literal.input = made.file;
    run_in_memory(literal, made.parameters, engine::reference);
    if (literal.report.done()) {
      ASSERT_EQ(output_fault(made.file, made.parameters, literal.written()), "")
          << "trial " << trial;
    }
    // Every other run cut into row ranges, each on a thread of its own; cuts past the
    // last row are dropped.
    std::vector<std::uint32_t> cuts;
    for (int cut = pick(random, 1, 3) * (trial % 2); cut < 8; cut += pick(random, 1, 4))
      cuts.push_back(static_cast<std::uint32_t>(cut));
    for (kernel_tier tier : tiers_under_test()) {
      memory_run fast;
      fast.input = made.file;
      fast.row_cuts = cuts;
      run_on_tier(fast, made.parameters, tier);
      ASSERT_EQ(fast.report.refused, literal.report.refused) << "trial " << trial;
      ASSERT_EQ(fast.written(), literal.written()) << "trial " << trial;
      if (fast.report.done()) {
        ASSERT_EQ(fast.image.output_alpha, literal.literal_alpha) << "trial " << trial;
      }
    }
    converted += literal.report.done() && made.parameters.background_share > 0.0f;
  }
  EXPECT_GT(converted, 1000) << "enough runs exercise the near-background pass";
}

// Spans of runs of random lengths up to a bound: flat blocks, fine detail (runs of 1 to 3)
// and, with few distinct values, blocks of a few runs where one value comes back (A B A).
std::vector<std::uint8_t> random_span(std::mt19937& random) {
  std::vector<std::uint8_t> span(static_cast<std::size_t>(pick(random, 0, 300)));
  int longest_run = pick(random, 0, 1) == 0 ? pick(random, 1, 3) : pick(random, 1, 130);
  int top_value = pick(random, 0, 1) == 0 ? 255 : pick(random, 1, 12);
  for (std::size_t i = 0; i < span.size();) {
    auto value = static_cast<std::uint8_t>(pick(random, 0, top_value));
    for (int n = pick(random, 1, longest_run); n > 0 && i < span.size(); --n) span[i++] = value;
  }
  return span;
}

draw_tables random_draw_tables(std::mt19937& random) {
  draw_tables tables;
  int decided_one_in = pick(random, 1, 3);
  for (std::size_t k = 0; k < 256; ++k) {
    tables.fixed[k] = static_cast<std::uint8_t>(pick(random, 0, 255));
    tables.decided_flags[k] = pick(random, 1, decided_one_in) == 1 ? 0xFF : 0;
    tables.entries[k] = {static_cast<std::uint32_t>(random()),
                         static_cast<std::uint16_t>(pick(random, 0, 32768)),
                         static_cast<std::uint8_t>(pick(random, 1, 255))};
    if (tables.decided_flags[k] != 0) tables.fixed[k] = tables.entries[k].gray;
  }
  return tables;
}

// Each kernel of a tier against the portable one, in place and into a separate buffer.
void expect_same_as_portable(const pixel_kernels& tier, const std::vector<std::uint8_t>& span,
                             const draw_tables& tables, bool in_place) {
  const pixel_kernels& portable = portable_kernels();
  value_counts counts_portable{};
  value_counts counts_tier{};
  portable.count(span.data(), span.size(), counts_portable);
  tier.count(span.data(), span.size(), counts_tier);
  ASSERT_EQ(counts_tier, counts_portable);
  ASSERT_EQ(tier.highest(span.data(), span.size()), portable.highest(span.data(), span.size()));
  std::vector<std::uint8_t> expected(span.size());
  std::vector<std::uint8_t> input = span;
  std::vector<std::uint8_t> separate(span.size());
  std::vector<std::uint8_t>& result = in_place ? input : separate;
  portable.map(span.data(), expected.data(), span.size(), tables.fixed);
  tier.map(input.data(), result.data(), span.size(), tables.fixed);
  ASSERT_EQ(result, expected);
  draw_tables tables_portable = tables;
  draw_tables tables_tier = tables;
  input = span;
  portable.draw(span.data(), expected.data(), span.size(), tables_portable);
  tier.draw(input.data(), result.data(), span.size(), tables_tier);
  ASSERT_EQ(result, expected);
  for (std::size_t k = 0; k < 256; ++k)
    ASSERT_EQ(tables_tier.entries[k].state, tables_portable.entries[k].state) << "value " << k;
}

// Each way through a block alone gives the same bytes: the tier's own choice, and every
// block run by run, value by value, lane by lane.
TEST(Engine, EveryTierGivesThePortableBytes) {
  for (kernel_tier tier : tiers_under_test()) {
    for (block_way way : BLOCK_WAYS) {
      std::mt19937 random(11);
      for (int trial = 0; trial < 2000; ++trial) {
        std::vector<std::uint8_t> span = random_span(random);
        draw_tables tables = random_draw_tables(random);
        expect_same_as_portable(*kernels_of(tier, way), span, tables, trial % 2 == 0);
        ASSERT_FALSE(HasFatalFailure())
            << tier_name(tier) << " way " << static_cast<int>(way) << " trial " << trial;
      }
    }
  }
}

// One lone pixel of another value at every position of a flat span (A ... A B A ... A):
// a block of three runs where the first value comes back, at every lane of both widths.
TEST(Engine, EveryTierHandlesALonePixelAtEveryLane) {
  std::mt19937 random(5);
  for (kernel_tier tier : tiers_under_test()) {
    for (block_way way : BLOCK_WAYS) {
      for (std::size_t lone = 0; lone < 130; ++lone) {
        std::vector<std::uint8_t> span(130, 7);
        span[lone] = 9;
        draw_tables tables = random_draw_tables(random);
        for (std::size_t value : {7, 9}) {
          tables.decided_flags[value] = 0xFF;
          tables.fixed[value] = tables.entries[value].gray;
        }
        expect_same_as_portable(*kernels_of(tier, way), span, tables, lone % 2 == 0);
        ASSERT_FALSE(HasFatalFailure())
            << tier_name(tier) << " way " << static_cast<int>(way) << " lone pixel at " << lone;
      }
    }
  }
}

// Ranges of one row, and range boundaries inside a run of one value (the flat picture,
// whose rows have no fill bytes, is one run from first pixel to last).
TEST(Engine, RowRangesGiveTheSinglePassBytes) {
  std::mt19937 random(23);
  std::vector<std::vector<std::uint8_t>> flat(6, std::vector<std::uint8_t>(96, 5));
  std::vector<std::vector<std::uint8_t>> noise(7, std::vector<std::uint8_t>(70));
  for (auto& row : noise) {
    for (auto& value : row) value = static_cast<std::uint8_t>(pick(random, 0, 12));
  }
  // Grays 15 apart: the values far from the background take real coin tosses.
  std::vector<rgb> grays;
  for (int i = 0; i < 16; ++i) {
    auto level = static_cast<std::uint8_t>(3 + 15 * i);
    grays.push_back({level, level, level});
  }
  const std::vector<std::uint8_t> pictures[] = {
      build_bmp(image_with(grays, 16, flat)),
      build_bmp(image_with(grays, 16, noise)),
      build_bmp(full_palette_image(noise)),
  };
  const std::vector<std::uint32_t> cut_sets[] = {{1}, {5}, {1, 2, 3, 4, 5}, {3}, {2, 4}};
  const translation_parameters parameter_sets[] = {
      {120, 120, 120, 0.5f}, {255, 255, 255, 0.0f}, {120, 120, 120, 0.5f, true}};
  for (const auto& picture : pictures) {
    for (const translation_parameters& parameters : parameter_sets) {
      memory_run whole;
      whole.input = picture;
      run_in_memory(whole, parameters);
      ASSERT_TRUE(whole.report.done() || !parameters.compact_palette);
      for (kernel_tier tier : tiers_under_test()) {
        for (const auto& cuts : cut_sets) {
          memory_run ranged;
          ranged.input = picture;
          ranged.row_cuts = cuts;
          run_on_tier(ranged, parameters, tier);
          ASSERT_EQ(ranged.image.row_cuts.size(), cuts.size());
          ASSERT_EQ(ranged.written(), whole.written()) << tier_name(tier) << " " << cuts.size();
        }
      }
    }
  }
}

// The caller's cuts count only inside the rows and in rising order; the rest are dropped.
TEST(Engine, RowCutsOutsideTheRowsOrOutOfOrderAreDropped) {
  memory_run run;
  run.input = build_bmp(image_with(distinct_palette(4), 4, {{0}, {1}, {2}, {3}, {0}}));
  run.row_cuts = {0, 2, 2, 1, 4, 5, 9};
  ASSERT_TRUE(load_in_memory(run));
  EXPECT_EQ(run.image.row_cuts, (std::vector<std::uint32_t>{2, 4}));
}

TEST(Engine, ThreadsOnlyWherePicturesAreBig) {
  const struct {
    std::uint64_t pixels;
    unsigned processors;
    unsigned threads;
  } cases[] = {
      {64 * 64, 16, 1},                       // the start-up workload: no thread at all
      {0, 4, 1},                              // nothing to do still takes this thread
      {8192ull * 8192, 1, 1},                 // one processor
      {8192ull * 8192, 2, 2},                 // every processor
      {3 * MIN_PIXELS_PER_THREAD - 1, 8, 2},  // capped by the picture's size
  };
  for (const auto& c : cases)
    EXPECT_EQ(threads_for_picture(c.pixels, c.processors), c.threads) << c.pixels;
  EXPECT_EQ(even_row_cuts(8192, 2), (std::vector<std::uint32_t>{4096}));
  EXPECT_EQ(even_row_cuts(3, 8), (std::vector<std::uint32_t>{1, 2}));
  EXPECT_TRUE(even_row_cuts(5, 1).empty());
}

TEST(Engine, SwapsComposeIntoTheIndexMap) {
  std::mt19937 random(7);
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<rgb> palette;
    for (int i = 0; i < 256; ++i) palette.push_back(random_color(random));
    std::vector<std::vector<std::uint8_t>> rows(16);
    for (int value = 0; value < 256; ++value)
      rows[static_cast<std::size_t>(value / 16)].push_back(static_cast<std::uint8_t>(value));
    std::swap(rows[0][0], rows[0][static_cast<std::size_t>(pick(random, 0, 15))]);
    bmp_recipe recipe = image_with(palette, colors_used_near_the_edges(random, 248), rows);
    memory_run literal;
    literal.input = build_bmp(recipe);
    run_in_memory(literal, {}, engine::reference);
    memory_run fast;
    fast.input = literal.input;
    if (!prepare_in_memory(fast)) continue;
    held_entries held = entries_in_use(fast.image);
    if (apply_slot_table(fast.image, held) != refusal::none) continue;
    ASSERT_EQ(literal.report.refused, refusal::none);
    const std::vector<std::uint8_t> literal_output = literal.written();
    const std::uint8_t* literal_rows = literal_output.data() + 1078;
    for (std::size_t at = 0; at < 256; ++at) {
      ASSERT_EQ(fast.image.index_map[input_pixels(fast.image)[at]], literal_rows[at])
          << "trial " << trial << " pixel " << at;
    }
  }
}

// The rows are counted only where a rule or the draws need the counts: a guessed used
// count that no rule needs checked first is checked by the pass itself, and a guess that
// fills the palette is refused without a look at the pixels.
TEST(Engine, CountsTheRowsOnlyWhereARuleNeedsThem) {
  std::vector<rgb> padded = distinct_palette(20);
  padded.resize(256);  // black above: the guess keeps 20 entries and the catch-all
  const struct {
    const char* name;
    bmp_recipe recipe;
    translation_parameters parameters;
    refusal outcome;
    bool counted;
  } cases[] = {
      {"a guess the pixels keep, percentage 0",
       image_with(padded, 0, {{0, 5, 19, 3}}),
       {},
       refusal::none,
       false},
      {"a guess the pixels raise",
       image_with(padded, 0, {{0, 5, 200, 3}}),
       {},
       refusal::none,
       true},
      {"a guess that fills the palette",
       full_palette_image({{0, 1}}),
       {},
       refusal::palette_full,
       false},
      {"colours used 12", image_with(padded, 12, {{0, 5, 11, 3}}), {}, refusal::none, false},
      {"fewer than 8 entries in use", image_with(padded, 5, {{0, 1}}), {}, refusal::none, true},
      {"draws",
       image_with(padded, 12, {{0, 5, 11, 3}}),
       {255, 255, 255, 0.1f},
       refusal::none,
       true},
  };
  for (const auto& c : cases) {
    memory_run run;
    run.input = build_bmp(c.recipe);
    run_in_memory(run, c.parameters);
    EXPECT_EQ(run.report.refused, c.outcome) << c.name;
    EXPECT_EQ(run.image.census.known, c.counted) << c.name;
    memory_run literal;
    literal.input = build_bmp(c.recipe);
    run_in_memory(literal, c.parameters, engine::reference);
    EXPECT_EQ(run.written(), literal.written()) << c.name;
  }
}

TEST(Engine, CountsSkipFillBytes) {
  bmp_recipe recipe = image_with(distinct_palette(4), 4, {{1, 2, 3, 9, 9}, {3, 3, 0, 9, 9}});
  recipe.width = 3;  // the 9s sit in the fill bytes
  memory_run run;
  run.input = build_bmp(recipe);
  ASSERT_TRUE(prepare_in_memory(run));
  auto counts = count_values(run.image);
  EXPECT_EQ(counts[0], 1u);
  EXPECT_EQ(counts[1], 1u);
  EXPECT_EQ(counts[2], 1u);
  EXPECT_EQ(counts[3], 3u);
  EXPECT_EQ(counts[9], 0u);
}

TEST(Engine, JumpingAheadEqualsDrawingOneByOne) {
  std::mt19937 random(99);
  for (std::uint64_t steps : {0ull, 1ull, 2ull, 3ull, 255ull, 1000ull, 123457ull}) {
    auto start = static_cast<std::uint32_t>(random());
    std::uint32_t state = start;
    for (std::uint64_t i = 0; i < steps; ++i) draw_random(state);
    EXPECT_EQ(random_state_after(start, steps), state) << steps;
    random_jump back = random_jump_back(steps);
    EXPECT_EQ(back.multiplier * state + back.increment, start) << "back " << steps;
  }
  // Far jumps compose: 2^40 + 2^41 steps in two jumps or one.
  std::uint32_t two_jumps = random_state_after(random_state_after(5, 1ull << 40), 1ull << 41);
  EXPECT_EQ(two_jumps, random_state_after(5, (1ull << 40) + (1ull << 41)));
  // The period is 2^32.
  EXPECT_EQ(random_state_after(5, 1ull << 32), 5u);
}

TEST(Engine, EachDistanceHasOneThreshold) {
  std::mt19937 random(3);
  for (int trial = 0; trial < 120; ++trial) {
    int max_tolerance = pick(random, 1, 3) == 1 ? pick(random, 1, 300) : pick(random, 1, 100000);
    int distance = pick(random, 0, std::min(255, max_tolerance));
    float share = static_cast<float>(pick(random, 1, 120) * 0.01);
    int threshold = background_threshold(distance, max_tolerance, share);
    ASSERT_LE(threshold, RANDOM_MAX + 1);  // 32768 when every number draws background
    for (int drawn = 0; drawn <= RANDOM_MAX; ++drawn) {
      ASSERT_EQ(draws_background(drawn, distance, max_tolerance, share), drawn < threshold)
          << "distance " << distance << " of " << max_tolerance << ", share " << share << ", drawn "
          << drawn;
    }
  }
}

}  // namespace

namespace {

// The second draw of a run is 18467: find a distance and tolerance whose threshold is
// exactly that number, so the pixel that draws it sits right on the boundary.
TEST(Engine, ADrawEqualToTheThresholdGivesGray) {
  const float share = 0.3f;
  for (int tolerance = 1; tolerance < 3000; ++tolerance) {
    for (int distance = 1; distance <= std::min(255, tolerance); ++distance) {
      if (background_threshold(distance, tolerance, share) != 18467) continue;
      std::vector<rgb> palette = {{0, 0, 0}, {static_cast<std::uint8_t>(distance), 0, 0}};
      for (int i = 2; i < 8; ++i) palette.push_back({255, 255, static_cast<std::uint8_t>(i)});
      memory_run run;
      run.input = build_bmp(image_with(palette, 8, {{0, 1}}));
      run_in_memory(run, {tolerance, tolerance, tolerance, share});
      ASSERT_EQ(run.report.refused, refusal::none);
      EXPECT_NE(run.image.output_pixels[1], 0) << "distance " << distance << " of " << tolerance;
      return;
    }
  }
  FAIL() << "no distance has that threshold";
}

// A draw whose v equals the share exactly is not below it: gray. With tolerance and
// distance equal, the draw 16384 gives v = 0.5 + 2^-16, a float.
TEST(Engine, ADrawWhoseValueEqualsTheShareGivesGray) {
  const float share = 0x1.0002p-1f;
  EXPECT_FALSE(draws_background(16384, 40, 40, share));
  EXPECT_TRUE(draws_background(16383, 40, 40, share));
}

// A share just below 1 leaves one number, 32767, to gray: the pixel that draws it (the
// first such draw comes 38723 draws in) must not be sent to background with the rest.
TEST(Engine, OnlyTheTopDrawEscapesAShareJustBelowOne) {
  constexpr std::size_t TOP_DRAW_AT = 38723;
  constexpr float share = 0.99999f;
  ASSERT_EQ(background_threshold(255, 255, share), RANDOM_MAX);
  std::uint32_t state = RANDOM_START_STATE;
  for (std::size_t i = 0; i < TOP_DRAW_AT; ++i) ASSERT_NE(draw_random(state), RANDOM_MAX);
  ASSERT_EQ(draw_random(state), RANDOM_MAX);
  std::vector<rgb> palette = {{0, 0, 0}, {255, 0, 0}};
  for (int i = 2; i < 8; ++i) palette.push_back({255, 255, static_cast<std::uint8_t>(i)});
  // The background pixel takes draw 0, then pixel i of value 1 takes draw i.
  std::vector<std::vector<std::uint8_t>> rows(TOP_DRAW_AT / 256 + 1,
                                              std::vector<std::uint8_t>(256, 1));
  rows[0][0] = 0;
  translation_parameters parameters{255, 255, 255, share};
  auto grays_in = [&](const std::uint8_t* pixels) {
    std::vector<std::size_t> grays;
    for (std::size_t i = 0; i < rows.size() * 256; ++i)
      if (pixels[i] != 0) grays.push_back(i);
    return grays;
  };
  const std::vector<std::size_t> expected{TOP_DRAW_AT};
  memory_run literal;
  literal.input = build_bmp(image_with(palette, 8, rows));
  run_in_memory(literal, parameters, engine::reference);
  ASSERT_EQ(literal.report.refused, refusal::none);
  EXPECT_EQ(grays_in(literal.written().data() + 1078), expected);
  for (kernel_tier tier : tiers_under_test()) {
    memory_run run;
    run.input = literal.input;
    run_on_tier(run, parameters, tier);
    ASSERT_EQ(run.report.refused, refusal::none);
    EXPECT_EQ(grays_in(run.image.output_pixels), expected) << tier_name(tier);
  }
}

}  // namespace
