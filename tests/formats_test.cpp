// The decoded forms (1 and 4 bits, RLE8 and RLE4, the core header) against their 8-bit
// equivalent: the same picture stored as an 8-bit uncompressed bitmap must translate to
// the same bytes.

#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "bmp_builder.h"
#include "case_names.h"
#include "image/byte_order.h"
#include "memory_run.h"
#include "output_checks.h"
#include "plain_pnm.h"
#include "subprocess.h"
#include "whole_files.h"

namespace {

struct form {
  const char* name;
  std::uint16_t bits;
  std::uint32_t compression;
  std::uint32_t info_size;
  bool top_down_allowed;
};

constexpr form FORMS[] = {
    {"1 bit", 1, 0, 40, true},        {"4 bits", 4, 0, 124, true},
    {"RLE8", 8, 1, 40, false},        {"RLE4", 4, 2, 108, false},
    {"core 1 bit", 1, 0, 12, false},  {"core 4 bits", 4, 0, 12, false},
    {"core 8 bits", 8, 0, 12, false},
};

// The colours-used field and, from it, how many entries the file stores.
std::int32_t random_colors_used(std::mt19937& random, int capacity) {
  switch (pick(random, 0, 3)) {
    case 0:
      return 0;
    case 1:
      return pick(random, 1, std::max(1, capacity - 1));
    case 2:
      return capacity;
    default:
      return capacity + pick(random, 1, 300);
  }
}

int stored_entries(std::int32_t colors_used, int capacity) {
  return colors_used > 0 && colors_used < capacity ? colors_used : capacity;
}

struct form_case {
  bmp_recipe stored;      // the picture in the form under test
  bmp_recipe equivalent;  // the same picture, 8 bits uncompressed
  int entries;            // how many palette entries the file stores
};

form_case make_form_case(std::mt19937& random, const form& f) {
  int capacity = 1 << f.bits;
  bmp_recipe stored;
  stored.bits = f.bits;
  stored.compression = f.compression;
  stored.info_size = f.info_size;
  stored.rle_seed = static_cast<std::uint32_t>(random());
  stored.reserved = static_cast<std::uint8_t>(pick(random, 0, 1) * 0x5A);
  stored.colors_used = f.info_size == 12 ? 0 : random_colors_used(random, capacity);
  int entries = stored_entries(stored.colors_used, capacity);
  for (int i = 0; i < entries; ++i) {
    stored.palette.push_back({static_cast<std::uint8_t>(pick(random, 0, 255)),
                              static_cast<std::uint8_t>(pick(random, 0, 255)),
                              static_cast<std::uint8_t>(pick(random, 0, 3) * 85)});
  }
  // A white top entry counts as unused in a palette scan: whether the equivalent keeps
  // the colours-used field or scans then shows in the used count.
  if (pick(random, 0, 2) == 0) stored.palette.back() = {255, 255, 255};
  stored.width = pick(random, 0, 3) == 0 ? pick(random, 30, 300) : pick(random, 0, 12);
  stored.height = pick(random, 1, 6);
  if (f.top_down_allowed && pick(random, 0, 1) == 0) stored.height = -stored.height;
  // Runs of one value and of background make RLE runs, deltas and early line ends.
  int run = pick(random, 1, 20);
  int top = pick(random, 0, 2) == 0 ? 1 : capacity - 1;
  for (int row = 0; row < std::abs(stored.height); ++row) {
    std::vector<std::uint8_t> line;
    bool blank = pick(random, 0, 3) == 0;
    for (int col = 0; col < stored.width; ++col) {
      bool repeat = col % run != 0 && !line.empty();
      line.push_back(blank    ? 0
                     : repeat ? line.back()
                              : static_cast<std::uint8_t>(pick(random, 0, top)));
    }
    stored.rows.push_back(line);
  }
  // Bytes after the rows of a packed form are no rows; RLE reads on to its end marker.
  if (f.compression == 0 && pick(random, 0, 3) == 0)
    stored.trailing_bytes = static_cast<std::size_t>(pick(random, 1, 300));
  bmp_recipe equivalent = stored;
  equivalent.trailing_bytes = 0;
  equivalent.bits = 8;
  equivalent.compression = 0;
  equivalent.info_size = 40;
  bool counts = stored.colors_used > 0 && stored.colors_used < capacity;
  equivalent.colors_used = counts ? stored.colors_used : 0;
  if (f.info_size == 12) equivalent.reserved = 0;
  equivalent.palette.resize(256);
  return {stored, equivalent, entries};
}

// The entries the file does not store are all zero, reserved byte too; the equivalent of
// a core header has no resolutions.
std::vector<std::uint8_t> equivalent_bytes(const form_case& c) {
  std::vector<std::uint8_t> bytes = build_bmp(c.equivalent);
  for (std::size_t i = static_cast<std::size_t>(c.entries); i < 256; ++i) bytes[54 + 4 * i + 3] = 0;
  if (c.stored.info_size == 12) {
    write_le32(bytes.data() + 38, 0);
    write_le32(bytes.data() + 42, 0);
  }
  return bytes;
}

TEST(Formats, EveryFormTranslatesLikeItsEightBitEquivalent) {
  std::mt19937 random(909);
  const translation_parameters parameter_sets[] = {
      {0, 0, 0, 0.0f}, {40, 40, 40, 0.3f}, {255, 255, 255, 0.5f}, {90, 0, 255, 0.16f}};
  for (const form& f : FORMS) {
    for (int trial = 0; trial < 150; ++trial) {
      form_case c = make_form_case(random, f);
      translation_parameters parameters = parameter_sets[trial % 4];
      memory_run stored;
      stored.input = build_bmp(c.stored);
      run_in_memory(stored, parameters);
      memory_run equivalent;
      equivalent.input = equivalent_bytes(c);
      run_in_memory(equivalent, parameters);
      ASSERT_EQ(stored.report.refused, equivalent.report.refused) << f.name << " " << trial;
      ASSERT_EQ(stored.written(), equivalent.written()) << f.name << " " << trial;
      // The header made for a decoded form is the one its equivalent's bytes hold.
      if (stored.report.loaded && !stored.report.header.in_place) {
        ASSERT_TRUE(stored.image.header == equivalent.image.header) << f.name << " " << trial;
      }
    }
  }
}

// Compaction reads every form as the plain translation reads it, so the 8-bit files, which
// are translated in place, join the decoded forms here.
constexpr form COMPACTED_FORMS[] = {
    {"8 bits", 8, 0, 40, true},       {"8 bits, 124-byte header", 8, 0, 124, true},
    {"1 bit", 1, 0, 40, true},        {"4 bits", 4, 0, 124, true},
    {"RLE8", 8, 1, 40, false},        {"RLE4", 4, 2, 108, false},
    {"core 4 bits", 4, 0, 12, false}, {"core 8 bits", 8, 0, 12, false},
};

// The colour a translation reads for a pixel value: entries the file does not store are
// black, as the clamp shows them.
rgb color_read(const form_case& c, std::uint8_t value) {
  return value < c.entries ? c.stored.palette[value] : rgb{};
}

rgb output_color(const std::vector<std::uint8_t>& written, std::uint8_t value) {
  const std::uint8_t* entry = written.data() + 54 + 4 * std::size_t{value};
  return {entry[2], entry[1], entry[0]};
}

// With percentage 0 and 8 or more entries in use, the output shows the input's picture.
void expect_same_picture(const form_case& c, const memory_run& run, const char* name) {
  std::vector<std::uint8_t> written = run.written();
  std::size_t stride = run.image.header.stride;
  for (std::size_t row = 0; row < c.stored.rows.size(); ++row) {
    for (std::size_t col = 0; col < c.stored.rows[row].size(); ++col) {
      std::uint8_t out = written[1078 + row * stride + col];
      ASSERT_EQ(output_color(written, out), color_read(c, c.stored.rows[row][col]))
          << name << " row " << row << " column " << col;
    }
  }
}

TEST(Formats, CompactionTranslatesLikeTheCompactedFile) {
  std::mt19937 random(4242);
  const translation_parameters parameter_sets[] = {{0, 0, 0, 0.0f, true},
                                                   {40, 40, 40, 0.3f, true},
                                                   {255, 255, 255, 0.5f, true},
                                                   {90, 0, 255, 0.16f, true}};
  int pictures_kept = 0;
  for (const form& f : COMPACTED_FORMS) {
    for (int trial = 0; trial < 120; ++trial) {
      form_case c = make_form_case(random, f);
      translation_parameters parameters = parameter_sets[trial % 4];
      memory_run compacted;
      compacted.input = build_bmp(c.stored);
      run_in_memory(compacted, parameters);
      memory_run literal;
      literal.input = compacted_file(build_bmp(c.stored));
      parameters.compact_palette = false;
      run_in_memory(literal, parameters);
      ASSERT_EQ(compacted.report.refused, literal.report.refused) << f.name << " " << trial;
      ASSERT_EQ(compacted.written(), literal.written()) << f.name << " " << trial;
      if (parameters.background_share == 0.0f && compacted.report.done() &&
          compacted.image.compaction.distinct >= 7) {
        expect_same_picture(c, compacted, f.name);
        ++pictures_kept;
      }
    }
  }
  EXPECT_GT(pictures_kept, 30);
}

// One row holding the values first, first + 1, ..., first + n - 1 (mod 256), after `lead`.
std::vector<std::uint8_t> values_row(int n, int first, std::vector<std::uint8_t> lead = {}) {
  for (int i = 0; i < n; ++i) lead.push_back(static_cast<std::uint8_t>(first + i));
  return lead;
}

// An RLE8 file whose stream writes two pixels of 9 and leaves the rest of its 4 x 2
// picture unwritten: those pixels are 0, and 0 joins the values in use.
std::vector<std::uint8_t> rle_leaving_pixels_unwritten() {
  bmp_recipe recipe = full_palette_image({{9, 9, 9, 9}, {9, 9, 9, 9}});
  std::vector<std::uint8_t> bytes = build_bmp(recipe);
  bytes.resize(read_le32(bytes.data() + 10));
  const std::uint8_t stream[] = {2, 9, 0, 0, 0, 1};
  bytes.insert(bytes.end(), std::begin(stream), std::end(stream));
  write_le32(bytes.data() + 30, 1);
  return bytes;
}

struct compaction_case {
  const char* name;
  std::vector<std::uint8_t> file;
  float share;
  refusal refused;
  int distinct;
};

TEST(Formats, CompactionAtItsBoundaries) {
  auto full = [](std::vector<std::vector<std::uint8_t>> rows) {
    return build_bmp(full_palette_image(std::move(rows)));
  };
  bmp_recipe top_down = full_palette_image({{200, 3, 3}, {3, 3, 90}});
  top_down.height = -2;
  bmp_recipe past_stored = full_palette_image({{200, 3, 255}, {3, 3, 4}});
  past_stored.colors_used = 10;
  bmp_recipe no_columns = full_palette_image({{}});
  no_columns.width = 0;
  no_columns.trailing_bytes = 3;
  const compaction_case cases[] = {
      {"one value", full({{77, 77}, {77, 77}}), 0.3f, refusal::none, 1},
      {"7 values", full({values_row(7, 30)}), 0.0f, refusal::none, 7},
      {"8 values", full({values_row(8, 30)}), 0.3f, refusal::none, 8},
      {"240 values: room for the grays", full({values_row(240, 9)}), 0.3f, refusal::none, 240},
      {"241 values: no room for the grays", full({values_row(241, 9)}), 0.3f,
       refusal::no_room_for_grays, 241},
      {"241 values at percentage 0", full({values_row(241, 9)}), 0.0f, refusal::none, 241},
      {"248 values at percentage 0", full({values_row(248, 0)}), 0.0f, refusal::none, 248},
      {"249 values: the last placeholder finds no room", full({values_row(249, 0)}), 0.0f,
       refusal::palette_full, 249},
      {"all 256 values", full({values_row(256, 0)}), 0.0f, refusal::palette_full, 256},
      {"the background is the largest value", full({values_row(20, 0, {250})}), 0.3f, refusal::none,
       21},
      {"values past the stored entries", build_bmp(past_stored), 0.3f, refusal::none, 4},
      {"no columns", build_bmp(no_columns), 0.3f, refusal::none, 0},
      {"top-down", build_bmp(top_down), 0.3f, refusal::none, 3},
      {"RLE leaving pixels unwritten", rle_leaving_pixels_unwritten(), 0.3f, refusal::none, 2},
  };
  for (const compaction_case& c : cases) {
    memory_run compacted;
    compacted.input = c.file;
    run_in_memory(compacted, {40, 40, 40, c.share, true});
    memory_run literal;
    literal.input = compacted_file(c.file);
    run_in_memory(literal, {40, 40, 40, c.share});
    EXPECT_EQ(compacted.report.refused, c.refused) << c.name;
    EXPECT_EQ(compacted.image.compaction.distinct, c.distinct) << c.name;
    EXPECT_EQ(compacted.written(), literal.written()) << c.name;
    // The plain translation sees a full palette in all but the one with 10 stored entries.
    memory_run plain;
    plain.input = c.file;
    run_in_memory(plain, {40, 40, 40, c.share});
    EXPECT_EQ(plain.report.refused == refusal::palette_full, c.file != build_bmp(past_stored))
        << c.name;
  }
}

// The stream after a 5 x 3 header, and the rows it decodes to.
struct rle_case {
  const char* name;
  std::uint32_t compression;
  std::vector<std::uint8_t> stream;
  std::vector<std::vector<std::uint8_t>> rows;
};

// A run on the file's bytes held in memory that goes on past the file's end, with other bytes.
memory_run with_memory_after(const std::vector<std::uint8_t>& file) {
  memory_run run;
  run.input = file;
  run.file_length = file.size();
  run.input.resize(file.size() + 64, 0xEE);
  return run;
}

TEST(Formats, RleStreamsDecodeAsViewersShowThem) {
  const rle_case cases[] = {
      {"every escape",
       1,
       {3, 7, 0, 0, 0, 2, 1, 0, 0, 3, 1, 2, 3, 0, 0, 0, 2, 9, 0, 1, 4, 4},
       {{7, 7, 7, 0, 0}, {0, 1, 2, 3, 0}, {9, 9, 0, 0, 0}}},
      {"run past the row end", 1, {7, 5, 1, 6, 0, 0, 1, 8}, {{5, 5, 5, 5, 5}, {8, 0, 0, 0, 0}}},
      {"literal past the row end", 1, {0, 6, 1, 2, 3, 4, 5, 6, 1, 9}, {{1, 2, 3, 4, 5}}},
      {"delta past the image", 1, {1, 4, 0, 2, 0, 9, 1, 5}, {{4, 0, 0, 0, 0}}},
      {"delta to the next row", 1, {1, 4, 0, 2, 1, 1, 1, 5}, {{4}, {0, 0, 5, 0, 0}}},
      {"literal cut by the end of the file", 1, {0, 4, 1, 2}, {{1, 2, 0, 0, 0}}},
      {"pair cut by the end of the file", 1, {2, 3, 9}, {{3, 3}}},
      {"delta cut by the end of the file", 1, {1, 1, 0, 2, 1}, {{1}}},
      {"no end marker", 1, {1, 1, 0, 0, 1, 2}, {{1}, {2}}},
      {"rows past the last are ignored", 1, {0, 0, 0, 0, 0, 0, 1, 9}, {}},
      {"empty stream", 1, {}, {}},
      {"RLE4 runs and literals",
       2,
       {3, 0x12, 0, 4, 0x34, 0x56, 0, 0, 0, 3, 0x78, 0x90, 0, 1},
       {{1, 2, 1, 3, 4}, {7, 8, 9}}},
      {"RLE4 literal cut by the end of the file", 2, {0, 5, 0xAB}, {{10, 11}}},
      {"RLE4 runs past the row's end change nothing",
       2,
       {5, 0x12, 2, 0x34, 0, 0, 1, 0x56},
       {{1, 2, 1, 2, 1}, {5}}},
  };
  for (const rle_case& c : cases) {
    bmp_recipe recipe;
    recipe.width = 5;
    recipe.height = 3;
    recipe.bits = c.compression == 1 ? 8 : 4;
    recipe.compression = c.compression;
    recipe.palette = distinct_palette(16);
    recipe.colors_used = 16;
    memory_run run;
    run.input = build_bmp(recipe);
    std::uint32_t pixels_at = read_le32(run.input.data() + 10);
    run.input.resize(pixels_at);
    run.input.insert(run.input.end(), c.stream.begin(), c.stream.end());
    // The file's end is where its bytes end, whatever the memory holds after it.
    memory_run padded = with_memory_after(run.input);
    for (memory_run* decoded : {&run, &padded}) {
      ASSERT_TRUE(load_in_memory(*decoded)) << c.name;
      for (std::size_t row = 0; row < 3; ++row) {
        std::vector<std::uint8_t> expected(8, 0);
        if (row < c.rows.size())
          std::copy(c.rows[row].begin(), c.rows[row].end(), expected.begin());
        const std::uint8_t* line = decoded->equivalent.data() + 1078 + row * 8;
        EXPECT_EQ(std::vector<std::uint8_t>(line, line + 8), expected)
            << c.name << " row " << row << (decoded == &padded ? ", memory after the end" : "");
      }
    }
  }
}

// A packed file cut by its end, in its palette or in its rows: what lies past the end is
// 0, whatever the memory holds after the file's last byte.
TEST(Formats, PackedFilesCutByTheirEndReadZeroWhateverFollows) {
  const struct {
    const char* name;
    std::uint16_t bits;
    std::size_t keep;  // bytes kept past the 54 of the headers
    bool loads;
  } cases[] = {{"4 bits, cut in the palette", 4, 9, false},
               {"4 bits, cut in the rows", 4, 64 + 3, true},
               {"1 bit, cut after the palette", 1, 8, true}};
  for (const auto& c : cases) {
    bmp_recipe recipe;
    recipe.width = 9;
    recipe.height = 3;
    recipe.bits = c.bits;
    recipe.palette = distinct_palette(1 << c.bits);
    recipe.rows = {{1, 0, 1, 1, 0, 1, 0, 0, 1}, {0, 1, 1, 0, 1, 0, 1, 1, 0}, {1, 1, 0, 0, 1}};
    memory_run alone;
    alone.input = build_bmp(recipe);
    alone.input.resize(54 + c.keep);
    memory_run padded = with_memory_after(alone.input);
    EXPECT_EQ(load_in_memory(alone), c.loads) << c.name;
    EXPECT_EQ(load_in_memory(padded), c.loads) << c.name;
    EXPECT_EQ(alone.report.refused, padded.report.refused) << c.name;
    EXPECT_EQ(alone.equivalent, padded.equivalent) << c.name;
  }
}

struct fixture {
  const char* file;
  const char* source;
  std::uint16_t bits;
  std::uint32_t compression;
  bool core;
};

void PrintTo(const fixture& f, std::ostream* out) {
  *out << f.file;
}

const fixture REAL_TOOL_FIXTURES[] = {
    {"imagemagick-default.bmp", "source-40.ppm", 8, 1, false},
    {"imagemagick-16-colours.bmp", "source-12.ppm", 4, 0, false},
    {"imagemagick-bmp3-4bit.bmp", "source-12.ppm", 4, 0, false},
    {"imagemagick-bmp2.bmp", "source-40.ppm", 8, 0, true},
    {"imagemagick-monochrome.bmp", "source-2.ppm", 1, 0, false},
    {"netpbm-os2-1bit.bmp", "source-2.ppm", 1, 0, true},
    {"netpbm-os2-4bit.bmp", "source-12.ppm", 4, 0, true},
    {"netpbm-os2-8bit.bmp", "source-40.ppm", 8, 0, true},
    {"netpbm-windows-4bit.bmp", "source-12.ppm", 4, 0, false},
    {"pillow-1bit.bmp", "source-2.ppm", 1, 0, false},
    {"imagemagick-24bit.bmp", "source-40.ppm", 24, 0, false},
    {"imagemagick-32bit.bmp", "source-40.ppm", 32, 3, false},
    {"netpbm-24bit.bmp", "source-40.ppm", 24, 0, false},
    {"pillow-24bit.bmp", "source-40.ppm", 24, 0, false},
    {"gimp-24bit.bmp", "source-40.ppm", 24, 0, false},
};

class RealToolFiles : public testing::TestWithParam<fixture> {};

TEST_P(RealToolFiles, DecodeToTheirSourcePicturesAndKeepThem) {
  const fixture& f = GetParam();
  std::vector<std::vector<rgb>> picture = read_plain_pnm(FIXTURE_DIR "/" + std::string(f.source));
  ASSERT_EQ(picture.size(), 7u) << f.source;
  memory_run run;
  std::vector<unsigned char> file = read_file(FIXTURE_DIR "/" + std::string(f.file));
  run.input.assign(file.begin(), file.end());
  bmp_header header;
  ASSERT_EQ(read_bmp_header(run.input.data(), static_cast<std::int32_t>(run.input.size()), header),
            refusal::none)
      << f.file;
  EXPECT_EQ(header.bits, f.bits) << f.file;
  EXPECT_EQ(header.compression, f.compression) << f.file;
  EXPECT_EQ(header.core, f.core) << f.file;
  ASSERT_TRUE(load_in_memory(run)) << f.file;
  const std::uint8_t* pixels = run.equivalent.data() + 1078;
  for (std::size_t y = 0; y < 7; ++y) {
    for (std::size_t x = 0; x < 13; ++x) {
      rgb shown = input_palette_color(run.image, pixels[(6 - y) * 16 + x]);
      ASSERT_EQ(shown, picture[y][x]) << f.file << " at " << x << "," << y;
    }
  }
  run_in_memory(run, {40, 40, 40, 0.3f});
  EXPECT_EQ(run.report.refused, refusal::none) << f.file;
  // At percentage 0 the output is the same picture, black-and-white ones too.
  run.input.assign(file.begin(), file.end());
  run_in_memory(run, {40, 40, 40, 0.0f});
  ASSERT_EQ(run.report.refused, refusal::none) << f.file;
  EXPECT_EQ(output_fault({file.begin(), file.end()}, {}, run.written()), "") << f.file;
}

INSTANTIATE_TEST_SUITE_P(Rows, RealToolFiles, testing::ValuesIn(REAL_TOOL_FIXTURES),
                         [](const testing::TestParamInfo<fixture>& info) {
                           return case_name(info.param.file);
                         });

}  // namespace
