// PNG in and out: a PNG reads as its 8-bit equivalent U built straight from the rules, the
// same as libspng reads it, and translates as U does; every way a PNG can be wrong has its
// refusal; a PNG output holds the bitmap output's indices and palette, and the alphas.

#include <gtest/gtest.h>

#include <random>

#include "bmp_builder.h"
#include "case_names.h"
#include "image/compression.h"
#include "image/png_write.h"
#include "kit/refusal_words.h"
#include "memory_run.h"
#include "output_checks.h"
#include "plain_pnm.h"
#include "png_builder.h"
#include "spng_reference.h"
#include "whole_files.h"

namespace {

// The file as libspng reads it, beside U: the same samples, and where libspng applies the
// palette, the same colours and alphas.
void expect_libspng_agrees(const std::vector<std::uint8_t>& file, const png_recipe& recipe,
                           const png_equivalent& u) {
  spng_picture decoded;
  if (!decode_with_spng(file, decoded)) {
    // libspng refuses an index past the palette, which the tool keeps.
    return;
  }
  ASSERT_EQ(decoded.width, recipe.width);
  ASSERT_EQ(decoded.height, recipe.height);
  std::uint32_t stride = (recipe.width + 3) / 4 * 4;
  for (std::uint32_t y = 0; y < recipe.height; ++y) {
    for (std::uint32_t x = 0; x < recipe.width; ++x) {
      std::size_t at = std::size_t{y} * recipe.width + x;
      std::uint8_t index = u.bytes[1078 + std::size_t{recipe.height - 1 - y} * stride + x];
      const std::uint8_t* entry = u.bytes.data() + 54 + 4 * index;
      if (png_channels(recipe.color_type) > 1) {
        // A true-colour pixel: its colour, a clear one by its alpha alone.
        ASSERT_EQ(decoded.rgba[4 * at + 3], u.alpha[index]) << x << "," << y;
        if (u.alpha[index] == 0) continue;
      } else {
        ASSERT_EQ(decoded.samples[at], index) << x << "," << y;
      }
      ASSERT_EQ(decoded.rgba[4 * at], entry[2]) << x << "," << y;
      ASSERT_EQ(decoded.rgba[4 * at + 1], entry[1]) << x << "," << y;
      ASSERT_EQ(decoded.rgba[4 * at + 2], entry[0]) << x << "," << y;
      ASSERT_EQ(decoded.rgba[4 * at + 3], u.alpha[index]) << x << "," << y;
    }
  }
}

TEST(PngInput, RandomPicturesReadAsTheirEquivalentAndTranslateAsIt) {
  std::mt19937 random(30);
  int compared_with_libspng = 0;
  for (int trial = 0; trial < 1500; ++trial) {
    png_recipe recipe = random_png_recipe(random);
    std::vector<std::uint8_t> file = build_png(recipe);
    png_equivalent expected = expected_equivalent(recipe);
    eight_bit_form form = read_eight_bit_form(file);
    if (expected.too_many) {
      ASSERT_EQ(form.refused, refusal::too_many_colours) << "trial " << trial;
      continue;
    }
    ASSERT_EQ(form.refused, refusal::none) << "trial " << trial;
    ASSERT_EQ(form.bytes, expected.bytes) << "trial " << trial;
    ASSERT_TRUE(std::equal(expected.alpha.begin(), expected.alpha.end(), form.alpha.begin()))
        << "trial " << trial;
    if (have_spng()) {
      expect_libspng_agrees(file, recipe, expected);
      ASSERT_FALSE(HasFatalFailure()) << "trial " << trial;
      ++compared_with_libspng;
    }
    // The PNG and its U, stored as a bitmap, translate alike.
    translation_parameters parameters{pick(random, 0, 120), pick(random, 0, 120),
                                      pick(random, 0, 120),
                                      static_cast<float>(pick(random, 0, 3) * 0.3)};
    parameters.compact_palette = trial % 4 == 0;
    memory_run png;
    png.input = file;
    run_in_memory(png, parameters);
    memory_run bitmap;
    bitmap.input = expected.bytes;
    // An 8-bit grayscale PNG is taken compacted; its U as a bitmap is not.
    parameters.compact_palette = parameters.compact_palette || is_eight_bit_gray_png(file);
    run_in_memory(bitmap, parameters);
    ASSERT_EQ(png.report.refused, bitmap.report.refused) << "trial " << trial;
    ASSERT_EQ(png.written(), bitmap.written()) << "trial " << trial;
  }
  if (have_spng()) {
    EXPECT_GT(compared_with_libspng, 1300);
  }
}

// Every way a PNG can be wrong, each with its reason. The recipe's file is taken apart
// into its chunks and put back changed.
struct refusal_case {
  const char* name;
  std::function<std::vector<std::uint8_t>()> file;
  refusal outcome;
  const char* text = nullptr;  // where the words name what is wrong: the words in full
};

void PrintTo(const refusal_case& c, std::ostream* out) {
  *out << c.name;
}

png_recipe small_palette_png() {
  png_recipe recipe;
  recipe.width = 3;
  recipe.height = 2;
  recipe.depth = 4;
  recipe.palette = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}};
  recipe.transparency = {0};
  recipe.rows = {{0, 1, 2}, {2, 1, 0}};
  return recipe;
}

// The same at 8 bits a pixel, whose rows are inflated whole: 5 wide, so its rows are
// stored 8 bytes apart.
png_recipe eight_bit_png() {
  png_recipe recipe = small_palette_png();
  recipe.depth = 8;
  recipe.width = 5;
  recipe.rows = {{0, 1, 2, 1, 0}, {2, 1, 0, 0, 1}};
  return recipe;
}

// An RGBA strip whose first line holds its 300 colours.
png_recipe colours_then_clear() {
  png_recipe recipe = rgba_strip(300);
  std::swap(recipe.rows[0], recipe.rows[1]);
  return recipe;
}

// An RGBA strip of two like lines of 256 opaque colours: a palette's worth, and no more.
png_recipe full_opaque_strip() {
  png_recipe recipe = rgba_strip(256);
  recipe.rows[0] = recipe.rows[1];
  return recipe;
}

// The chunks of the small palette PNG (or another), changed by `change`.
std::function<std::vector<std::uint8_t>()> changed(
    std::function<void(std::vector<png_chunk>&)> change,
    const png_recipe& recipe = small_palette_png()) {
  return [change, recipe] {
    std::vector<png_chunk> chunks = png_chunks(recipe);
    change(chunks);
    return assemble_png(chunks);
  };
}

std::function<std::vector<std::uint8_t>()> with_recipe(std::function<void(png_recipe&)> change) {
  return [change] {
    png_recipe recipe = small_palette_png();
    change(recipe);
    return build_png(recipe);
  };
}

png_chunk& find(std::vector<png_chunk>& chunks, const char* type) {
  return *std::find_if(chunks.begin(), chunks.end(),
                       [&](const png_chunk& c) { return c.type == type; });
}

std::size_t index_of(std::vector<png_chunk>& chunks, const char* type) {
  return static_cast<std::size_t>(&find(chunks, type) - chunks.data());
}

void move_before(std::vector<png_chunk>& chunks, const char* type, const char* before) {
  png_chunk moved = find(chunks, type);
  chunks.erase(chunks.begin() + static_cast<std::ptrdiff_t>(index_of(chunks, type)));
  chunks.insert(chunks.begin() + static_cast<std::ptrdiff_t>(index_of(chunks, before)), moved);
}

// The small palette PNG with a pHYs chunk, moved before the chunk of that type.
std::function<std::vector<std::uint8_t>()> with_phys_moved_before(const char* type) {
  return [type] {
    png_recipe recipe = small_palette_png();
    recipe.physical = std::vector<std::uint8_t>{0, 0, 0, 1, 0, 0, 0, 1, 1};
    std::vector<png_chunk> chunks = png_chunks(recipe);
    move_before(chunks, "pHYs", type);
    return assemble_png(chunks);
  };
}

// A stream of the rows that ends `short_by` bytes early, with its end marker intact.
std::vector<std::uint8_t> short_stream(std::size_t short_by,
                                       const png_recipe& recipe = small_palette_png()) {
  std::vector<std::uint8_t> rows = filtered_rows(recipe);
  rows.resize(rows.size() - short_by);
  return zlib_stream(rows);
}

const refusal_case REFUSAL_CASES[] = {
    {"signature only", [] { return assemble_png({}); }, refusal::png_no_end},
    {"cut inside a chunk",
     [] {
       std::vector<std::uint8_t> file = build_png(small_palette_png());
       file.resize(40);
       return file;
     },
     refusal::png_cut_short},
    {"no IEND", changed([](auto& c) { c.pop_back(); }), refusal::png_no_end},
    {"IEND with data", changed([](auto& c) { c.back().data = {1}; }), refusal::png_end_with_data},
    {"a chunk type that is not four letters", changed([](auto& c) {
       c.insert(c.begin() + 1, {"a1b!", {}});
     }),
     refusal::png_bad_chunk_type},
    {"a chunk longer than 2^31 - 1",
     [] {
       std::vector<std::uint8_t> file = build_png(small_palette_png());
       file[33] = 0x80;  // PLTE's length field
       return file;
     },
     refusal::png_cut_short},
    {"a CRC mismatch in IDAT", changed([](auto& c) { find(c, "IDAT").bad_crc = true; }),
     refusal::png_bad_crc},
    {"a CRC mismatch in an ancillary chunk", changed([](auto& c) {
       c.insert(c.begin() + 1, {"teXt", {'a'}, true});
     }),
     refusal::png_bad_crc},
    {"a CRC mismatch in a chunk whose type is no letters", changed([](auto& c) {
       c.insert(c.begin() + 1, {"a b\x7F", {}, true});
     }),
     refusal::png_bad_crc, "Bad PNG: the CRC of the a\\x20b\\x7F chunk does not match its bytes."},
    {"IHDR not first", changed([](auto& c) { std::swap(c[0], c[1]); }), refusal::png_ihdr_not_first,
     "Bad PNG: the first chunk is PLTE, not IHDR."},
    {"IHDR twice", changed([](auto& c) { c.insert(c.begin() + 1, c[0]); }),
     refusal::png_ihdr_repeated},
    {"IHDR of 14 bytes", changed([](auto& c) { c[0].data.push_back(0); }),
     refusal::png_ihdr_length},
    {"width 0", with_recipe([](auto& r) { r.width = 0; }), refusal::png_bad_size,
     "Bad PNG: the width is 0."},
    {"height 0", with_recipe([](auto& r) { r.height = 0; }), refusal::png_bad_size,
     "Bad PNG: the height is 0."},
    {"height above 2^31 - 1", changed([](auto& c) { c[0].data[4] = 0x80; }), refusal::png_bad_size,
     "Bad PNG: the height is above 2147483647."},
    {"width above 2^31 - 1", changed([](auto& c) { c[0].data[0] = 0x80; }), refusal::png_bad_size,
     "Bad PNG: the width is above 2147483647."},
    {"width 0 and height above 2^31 - 1", changed([](auto& c) {
       c[0].data[0] = c[0].data[1] = c[0].data[2] = c[0].data[3] = 0;
       c[0].data[4] = 0x80;
     }),
     refusal::png_bad_size, "Bad PNG: the width is 0."},
    {"palette at 16 bits", with_recipe([](auto& r) { r.depth = 16; }), refusal::png_bad_form},
    {"grayscale at 3 bits", with_recipe([](auto& r) {
       r.color_type = 0;
       r.depth = 3;
     }),
     refusal::png_bad_form, "Bad PNG: colour type 0 with 3 bits a sample is no PNG form."},
    {"colour type 5", with_recipe([](auto& r) { r.color_type = 5; }), refusal::png_bad_form},
    {"compression method 1", changed([](auto& c) { c[0].data[10] = 1; }),
     refusal::png_bad_compression_method},
    {"filter method 1", changed([](auto& c) { c[0].data[11] = 1; }),
     refusal::png_bad_filter_method},
    {"interlace method 2", changed([](auto& c) { c[0].data[12] = 2; }),
     refusal::png_bad_interlace_method},
    {"true colour at 16 bits", with_recipe([](auto& r) {
       r.color_type = 2;
       r.depth = 16;
       r.transparency.clear();
     }),
     refusal::png_unsupported},
    {"true colour with alpha at 16 bits", with_recipe([](auto& r) {
       r.color_type = 6;
       r.depth = 16;
     }),
     refusal::png_unsupported},
    {"true colour tRNS of 2 bytes", with_recipe([](auto& r) {
       r.color_type = 2;
       r.depth = 8;
       r.transparency = {0, 1};
     }),
     refusal::png_transparency_length},
    {"PLTE in grayscale with alpha", with_recipe([](auto& r) {
       r.color_type = 4;
       r.depth = 8;
     }),
     refusal::png_palette_unexpected},
    {"257 colours", [] { return build_png(rgba_strip(256)); }, refusal::too_many_colours},
    {"grayscale at 16 bits", with_recipe([](auto& r) {
       r.color_type = 0;
       r.depth = 16;
       r.palette.clear();
       r.transparency.clear();
     }),
     refusal::png_unsupported},
    {"no PLTE", with_recipe([](auto& r) { r.palette.clear(), r.transparency.clear(); }),
     refusal::png_palette_missing},
    {"PLTE in grayscale", with_recipe([](auto& r) {
       r.color_type = 0;
       r.transparency.clear();
     }),
     refusal::png_palette_unexpected},
    {"PLTE twice", changed([](auto& c) { c.insert(c.begin() + 1, find(c, "PLTE")); }),
     refusal::png_palette_repeated},
    {"PLTE after IDAT", changed([](auto& c) {
       find(c, "tRNS").type = "zzZz";
       move_before(c, "PLTE", "IEND");
     }),
     refusal::png_palette_after_data},
    {"empty PLTE", changed([](auto& c) { find(c, "PLTE").data.clear(); }),
     refusal::png_palette_empty},
    {"PLTE of 17 entries at 4 bits",
     changed([](auto& c) { find(c, "PLTE").data.assign(3 * 17, 1); }),
     refusal::png_palette_too_long},
    {"PLTE of 257 entries at 8 bits",
     changed([](auto& c) { find(c, "PLTE").data.assign(3 * 257, 1); }, eight_bit_png()),
     refusal::png_palette_too_long},
    {"PLTE of 8 bytes", changed([](auto& c) { find(c, "PLTE").data.resize(8); }),
     refusal::png_palette_not_whole},
    {"tRNS before PLTE", changed([](auto& c) { move_before(c, "tRNS", "PLTE"); }),
     refusal::png_transparency_before_palette},
    {"tRNS after IDAT", changed([](auto& c) { move_before(c, "tRNS", "IEND"); }),
     refusal::png_transparency_after_data},
    {"pHYs after IDAT", with_phys_moved_before("IEND"), refusal::png_resolution_after_data},
    {"pHYs twice", changed([](auto& c) {
       c.insert(c.begin() + 1, {"pHYs", {0, 0, 0, 1, 0, 0, 0, 1, 1}});
       c.insert(c.begin() + 1, {"pHYs", {0, 0, 0, 1, 0, 0, 0, 1, 1}});
     }),
     refusal::png_resolution_repeated},
    {"tRNS twice", changed([](auto& c) { c.insert(c.begin() + 3, find(c, "tRNS")); }),
     refusal::png_transparency_repeated},
    {"tRNS longer than PLTE", changed([](auto& c) { find(c, "tRNS").data.assign(4, 0); }),
     refusal::png_transparency_length},
    {"grayscale tRNS of 3 bytes", with_recipe([](auto& r) {
       r.color_type = 0;
       r.palette.clear();
       r.transparency = {0, 1, 2};
     }),
     refusal::png_transparency_length},
    {"no IDAT", changed([](auto& c) {
       c.erase(c.begin() + static_cast<std::ptrdiff_t>(index_of(c, "IDAT")));
     }),
     refusal::png_no_data},
    {"IDAT chunks apart",
     [] {
       png_recipe recipe = small_palette_png();
       recipe.idat_piece = 4;
       std::vector<png_chunk> chunks = png_chunks(recipe);
       chunks.insert(chunks.begin() + static_cast<std::ptrdiff_t>(index_of(chunks, "IDAT")) + 1,
                     {"teXt", {'a'}});
       return assemble_png(chunks);
     },
     refusal::png_data_apart},
    {"an unknown critical chunk", changed([](auto& c) {
       c.insert(c.begin() + 1, {"ABCD", {}});
     }),
     refusal::png_unknown_critical},
    {"a corrupt stream", changed([](auto& c) { find(c, "IDAT").data[0] ^= 0x0F; }),
     refusal::png_stream_corrupt},
    {"a stream that ends before the last row",
     changed([](auto& c) { find(c, "IDAT").data = short_stream(1); }), refusal::png_stream_short},
    {"a stream cut before the last row", changed([](auto& c) { find(c, "IDAT").data.resize(6); }),
     refusal::png_stream_short},
    {"filter type 5", with_recipe([](auto& r) {
       r.filters = {0, 5};
     }),
     refusal::png_bad_filter},
    // 8-bit rows, inflated whole: a stream it cannot take is read again for the reason.
    {"8 bits: a corrupt stream",
     changed([](auto& c) { find(c, "IDAT").data[0] ^= 0x0F; }, eight_bit_png()),
     refusal::png_stream_corrupt},
    {"8 bits: a stream that ends before the last row",
     changed([](auto& c) { find(c, "IDAT").data = short_stream(1, eight_bit_png()); },
             eight_bit_png()),
     refusal::png_stream_short},
    // Lines inflated a band at a time: the whole lines before a cut are read first.
    {"true colour: 300 colours in the line before a stream that ends short",
     changed([](auto& c) { find(c, "IDAT").data = short_stream(1, colours_then_clear()); },
             colours_then_clear()),
     refusal::too_many_colours},
    // ... and only those: the cut line's bytes never count, so that a clear pixel its
    // missing alpha would make is no 257th colour.
    {"true colour: 256 colours in the line before a stream that ends short",
     changed([](auto& c) { find(c, "IDAT").data = short_stream(1, full_opaque_strip()); },
             full_opaque_strip()),
     refusal::png_stream_short},
    {"8 bits: filter type 5",
     changed([](auto&) {},
             [] {
               png_recipe recipe = eight_bit_png();
               recipe.filters = {0, 5};
               return recipe;
             }()),
     refusal::png_bad_filter},
    {"a decoded size of 2 GiB in a file of 100 bytes", changed([](auto& c) {
       c[0].data = {0, 0, 0xEA, 0x60, 0, 0, 0xEA, 0x60, 8, 3, 0, 0, 0};  // 60000 x 60000
     }),
     refusal::decoded_too_large},
};

class PngRefusals : public testing::TestWithParam<refusal_case> {};

TEST_P(PngRefusals, EachFaultHasItsReason) {
  memory_run run;
  run.input = GetParam().file();
  run_in_memory(run, {});
  EXPECT_EQ(run.report.refused, GetParam().outcome);
  EXPECT_TRUE(run.written().empty());
  if (GetParam().text != nullptr) {
    EXPECT_EQ(refusal_text(run.report), GetParam().text);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, PngRefusals, testing::ValuesIn(REFUSAL_CASES), named_case());

// Ignored: unknown ancillary chunks, everything after IEND, and whatever follows the last
// row's bytes in the stream, its checksum too. 8-bit rows are inflated whole, where a
// stream that does not end right after them is read again row by row.
TEST(PngInput, WhatFollowsTheRowsIsIgnored) {
  png_recipe eight_bits = eight_bit_png();
  png_recipe four_wide = eight_bits;
  four_wide.width = 4;
  using change = std::function<void(std::vector<png_chunk>&, const png_recipe&)>;
  const change changes[] = {
      [](auto& c, const png_recipe&) {
        c.insert(c.begin() + 1, {"zxCv", {1, 2, 3}});
      },
      [](auto&, const png_recipe&) {},  // bytes after IEND, added below
      [](auto& c, const png_recipe& recipe) {
        std::vector<std::uint8_t> rows = filtered_rows(recipe);
        rows.insert(rows.end(), 40, 9);  // rows past the last
        find(c, "IDAT").data = zlib_stream(rows);
      },
      [](auto& c, const png_recipe&) {
        std::vector<std::uint8_t>& stream = find(c, "IDAT").data;
        stream.resize(stream.size() - 4);  // the checksum gone
      },
      [](auto& c, const png_recipe&) { find(c, "IDAT").data.back() ^= 1; },  // checksum wrong
  };
  for (const png_recipe& recipe : {small_palette_png(), eight_bits, four_wide}) {
    png_equivalent expected = expected_equivalent(recipe);
    for (std::size_t k = 0; k < std::size(changes); ++k) {
      std::vector<png_chunk> chunks = png_chunks(recipe);
      changes[k](chunks, recipe);
      std::vector<std::uint8_t> file = assemble_png(chunks);
      if (k == 1) file.insert(file.end(), {'j', 'u', 'n', 'k'});
      eight_bit_form form = read_eight_bit_form(file);
      ASSERT_EQ(form.refused, refusal::none) << "change " << k << ", width " << recipe.width;
      EXPECT_EQ(form.bytes, expected.bytes) << "change " << k << ", width " << recipe.width;
    }
  }
}

// The output PNG as libspng reads it: B's indices, top row first, and B's palette, with
// the alphas of the reference model.
void expect_png_holds_the_bitmap(const memory_run& run, const memory_run& literal) {
  std::vector<std::uint8_t> png;
  ASSERT_EQ(png_output(run.image, 1, png), refusal::none);
  std::vector<std::uint8_t> bitmap = run.written();
  ASSERT_LE(png.size(), 2 * bitmap.size());
  spng_picture decoded;
  ASSERT_TRUE(decode_with_spng(png, decoded));
  const bmp_header& header = run.image.header;
  ASSERT_EQ(decoded.width, static_cast<std::uint32_t>(header.width));
  ASSERT_EQ(decoded.height, header.rows);
  ASSERT_EQ(decoded.palette.size(), 256u);
  for (std::size_t k = 0; k < 256; ++k) {
    const std::uint8_t* entry = bitmap.data() + 54 + 4 * k;
    ASSERT_EQ(decoded.palette[k], (rgb{entry[2], entry[1], entry[0]})) << "entry " << k;
    std::uint8_t alpha = k < decoded.transparency.size() ? decoded.transparency[k] : 255;
    ASSERT_EQ(alpha, literal.literal_alpha[k]) << "entry " << k;
  }
  for (std::uint32_t y = 0; y < header.rows; ++y) {
    std::uint32_t stored = header.height > 0 ? header.rows - 1 - y : y;
    for (std::uint32_t x = 0; x < decoded.width; ++x) {
      ASSERT_EQ(decoded.samples[std::size_t{y} * decoded.width + x],
                bitmap[1078 + std::size_t{stored} * header.stride + x])
          << x << "," << y;
    }
  }
}

TEST(PngOutput, HoldsTheBitmapsIndicesPaletteAndTheAlphas) {
  if (!have_spng()) GTEST_SKIP() << "built without libspng (apt-get install libspng-dev)";
  std::mt19937 random(31);
  for (int trial = 0; trial < 400; ++trial) {
    png_recipe recipe = random_png_recipe(random);
    bmp_recipe bitmap = image_with(distinct_palette(30), 20, {{0, 3, 5, 7}, {9, 9, 2, 1}});
    bitmap.height = trial % 5 == 0 ? -2 : 2;
    std::vector<std::uint8_t> file = trial % 3 == 0 ? build_bmp(bitmap) : build_png(recipe);
    translation_parameters parameters{40, 40, 40, static_cast<float>(pick(random, 0, 1) * 0.3)};
    parameters.compact_palette = trial % 4 == 1;
    memory_run literal;
    literal.input = file;
    run_in_memory(literal, parameters, engine::reference);
    memory_run run;
    run.input = file;
    run_in_memory(run, parameters);
    ASSERT_EQ(run.report.refused, literal.report.refused) << "trial " << trial;
    if (!run.report.done()) continue;
    ASSERT_EQ(run.written(), literal.written()) << "trial " << trial;
    expect_png_holds_the_bitmap(run, literal);
    ASSERT_FALSE(HasFatalFailure()) << "trial " << trial;
  }
}

// A full palette guessed down to its colours: the catch-all lands on an entry the file's
// tRNS makes clear, and stays opaque as every entry the tool adds itself.
TEST(PngOutput, TheCatchAllIsOpaqueWhateverTheFileSaysOfItsEntry) {
  png_recipe recipe;
  recipe.width = 4;
  recipe.height = 1;
  recipe.palette = distinct_palette(10);
  recipe.palette.resize(256, rgb{0, 0, 0});
  recipe.transparency.assign(256, 0);
  recipe.rows = {{0, 1, 2, 3}};
  memory_run run;
  run.input = build_png(recipe);
  ASSERT_TRUE(prepare_in_memory(run));
  ASSERT_EQ(run.image.used_count, 11) << "ten colours and the catch-all";
  EXPECT_EQ(run.image.output_alpha[1], 0) << "a kept entry keeps its alpha";
  EXPECT_EQ(run.image.output_alpha[10], 255) << "the catch-all";
}

// A palette of few colours, one transparent: at percentage 0 the output is the same
// picture, transparency included, with the background at index 0.
// A translated file and its PNG output, as libspng decodes them.
void decode_input_and_output(const std::vector<std::uint8_t>& file, const memory_run& run,
                             spng_picture& before, spng_picture& after) {
  std::vector<std::uint8_t> png;
  ASSERT_EQ(png_output(run.image, 1, png), refusal::none);
  ASSERT_TRUE(decode_with_spng(file, before));
  ASSERT_TRUE(decode_with_spng(png, after));
}

TEST(PngOutput, KeepsThePictureAndItsTransparency) {
  if (!have_spng()) GTEST_SKIP() << "built without libspng (apt-get install libspng-dev)";
  png_recipe recipe = small_palette_png();
  recipe.rows = {{0, 1, 2}, {2, 1, 1}};  // the lower-left pixel is entry 2
  std::vector<std::uint8_t> file = build_png(recipe);
  memory_run run;
  run.input = file;
  run_in_memory(run, {});
  ASSERT_EQ(run.report.refused, refusal::none);
  spng_picture before;
  spng_picture after;
  ASSERT_NO_FATAL_FAILURE(decode_input_and_output(file, run, before, after));
  EXPECT_EQ(after.rgba, before.rgba);
  EXPECT_EQ(after.palette[0], (rgb{70, 80, 90})) << "the background at 0";
  for (int slot = 1; slot < 8; ++slot)
    EXPECT_EQ(slot < static_cast<int>(after.transparency.size()) ? after.transparency[slot] : 255,
              255)
        << "slot " << slot;
  EXPECT_EQ(output_fault(file, {}, run.written()), "");
}

// The image data is deflated in fixed parts side by side: whatever the length and the
// number of threads, the stream inflates to the source, the bytes do not depend on the
// threads, and a stream of one part is zlib's own.
TEST(PngOutput, DeflatesInPartsToTheSameStreamOnAnyNumberOfThreads) {
  constexpr std::size_t part = std::size_t{1} << 20;
  std::mt19937 random(5);
  std::vector<std::uint8_t> source(3 * part + part / 2);
  // Runs of few values, as sprite rows are: matches reach across the parts' cuts.
  for (std::size_t at = 0; at < source.size();) {
    std::size_t run = static_cast<std::size_t>(pick(random, 1, 300));
    auto value = static_cast<std::uint8_t>(pick(random, 0, 7));
    for (; run > 0 && at < source.size(); --run) source[at++] = value;
  }
  for (std::size_t length :
       {std::size_t{0}, std::size_t{1}, part - 1, part, part + 1, source.size()}) {
    deflate_source from{length, [&](std::size_t begin, std::size_t end, std::uint8_t* dest) {
                          std::copy(source.begin() + static_cast<std::ptrdiff_t>(begin),
                                    source.begin() + static_cast<std::ptrdiff_t>(end), dest);
                        }};
    std::vector<std::uint8_t> wanted(source.begin(),
                                     source.begin() + static_cast<std::ptrdiff_t>(length));
    std::vector<std::uint8_t> alone;
    ASSERT_EQ(deflate_all(from, PNG_DEFLATE_LEVEL, 1, alone), refusal::none);
    EXPECT_EQ(zlib_inflated(alone, length), wanted) << length;
    if (length <= part) {
      EXPECT_EQ(alone, zlib_stream(wanted, PNG_DEFLATE_LEVEL)) << length;
    }
    for (unsigned threads : {2u, 3u, 8u}) {
      std::vector<std::uint8_t> side_by_side;
      ASSERT_EQ(deflate_all(from, PNG_DEFLATE_LEVEL, threads, side_by_side), refusal::none);
      EXPECT_EQ(side_by_side, alone) << length << " bytes on " << threads << " threads";
    }
  }
}

// The files real tools write, each against its source picture, its U built straight from
// what libspng reads of it, and its translation at percentage 0.
struct png_fixture {
  const char* file;
  const char* source;
};

void PrintTo(const png_fixture& f, std::ostream* out) {
  *out << f.file;
}

const png_fixture PNG_FIXTURES[] = {
    {"imagemagick-png8.png", "source-40.ppm"}, {"imagemagick-png8-interlaced.png", "source-40.ppm"},
    {"pillow-1bit.png", "source-2.ppm"},       {"pillow-2bit.png", "source-4.ppm"},
    {"pillow-4bit.png", "source-12.ppm"},      {"pillow-8bit.png", "source-40.ppm"},
    {"netpbm-palette.png", "source-12.ppm"},   {"netpbm-interlaced.png", "source-40.ppm"},
    {"netpbm-gray.png", "source-gray.pgm"},    {"gimp-indexed.png", "source-40.ppm"},
    {"imagemagick-rgb.png", "source-40.ppm"},  {"imagemagick-rgb-interlaced.png", "source-40.ppm"},
    {"imagemagick-rgba.png", "source-40.ppm"}, {"netpbm-rgb-keyed.png", "source-40.ppm"},
    {"pillow-rgba.png", "source-40.ppm"},      {"pillow-gray-alpha.png", "source-gray.pgm"},
    {"gimp-rgba.png", "source-40.ppm"},
};

// A true-colour file translated at 0 0 0 0 to a PNG is the same RGBA picture, as libspng
// decodes both; clear pixels are compared by their alpha alone.
void expect_same_rgba_picture(const std::vector<std::uint8_t>& file, memory_run& run) {
  spng_picture before;
  spng_picture after;
  ASSERT_NO_FATAL_FAILURE(decode_input_and_output(file, run, before, after));
  ASSERT_EQ(before.rgba.size(), after.rgba.size());
  for (std::size_t at = 0; at < before.rgba.size(); at += 4) {
    ASSERT_EQ(before.rgba[at + 3], after.rgba[at + 3]) << "pixel " << at / 4;
    if (before.rgba[at + 3] == 0) continue;
    for (std::size_t c = 0; c < 3; ++c)
      ASSERT_EQ(before.rgba[at + c], after.rgba[at + c]) << "pixel " << at / 4;
  }
}

// A decoded PNG as a recipe: what the rules build U from.
png_recipe recipe_of(const spng_picture& decoded) {
  png_recipe recipe;
  recipe.width = decoded.width;
  recipe.height = decoded.height;
  recipe.depth = decoded.depth;
  recipe.color_type = decoded.color_type;
  recipe.interlace = decoded.interlace;
  recipe.palette = decoded.palette;
  recipe.transparency = decoded.transparency;
  if (!decoded.physical.empty()) recipe.physical = decoded.physical;
  std::uint32_t samples = decoded.width * png_channels(decoded.color_type);
  for (std::uint32_t y = 0; y < decoded.height; ++y) {
    auto row = decoded.samples.begin() + static_cast<std::ptrdiff_t>(y) * samples;
    recipe.rows.emplace_back(row, row + samples);
  }
  return recipe;
}

class RealToolPngs : public testing::TestWithParam<png_fixture> {};

TEST_P(RealToolPngs, ReadAsTheirSourceAsLibspngDoesAndKeepThem) {
  const png_fixture& f = GetParam();
  std::vector<std::uint8_t> file = read_file(FIXTURE_DIR "/" + std::string(f.file));
  std::vector<std::vector<rgb>> picture = read_plain_pnm(FIXTURE_DIR "/" + std::string(f.source));
  eight_bit_form form = read_eight_bit_form(file);
  ASSERT_EQ(form.refused, refusal::none);
  const bmp_header& header = form.header;
  ASSERT_EQ(header.rows, picture.size());
  for (std::size_t y = 0; y < picture.size(); ++y) {
    for (std::size_t x = 0; x < picture[y].size(); ++x) {
      std::uint8_t index = form.bytes[1078 + (header.rows - 1 - y) * header.stride + x];
      const std::uint8_t* entry = form.bytes.data() + 54 + 4 * std::size_t{index};
      if (form.alpha[index] == 0) continue;  // a clear pixel shows the first clear colour
      ASSERT_EQ((rgb{entry[2], entry[1], entry[0]}), picture[y][x]) << x << "," << y;
    }
  }
  if (have_spng()) {
    spng_picture decoded;
    ASSERT_TRUE(decode_with_spng(file, decoded));
    png_equivalent expected = expected_equivalent(recipe_of(decoded));
    EXPECT_EQ(form.bytes, expected.bytes);
    EXPECT_TRUE(std::equal(expected.alpha.begin(), expected.alpha.end(), form.alpha.begin()));
  }
  memory_run run;
  run.input = file;
  run_in_memory(run, {});
  ASSERT_EQ(run.report.refused, refusal::none);
  EXPECT_EQ(output_fault(file, {}, run.written()), "");
  if (have_spng() && png_channels(file[25]) > 1) expect_same_rgba_picture(file, run);
}

INSTANTIATE_TEST_SUITE_P(Rows, RealToolPngs, testing::ValuesIn(PNG_FIXTURES),
                         [](const testing::TestParamInfo<png_fixture>& info) {
                           return case_name(info.param.file);
                         });

}  // namespace
