#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "bmp_builder.h"
#include "case_names.h"
#include "image/assemble.h"
#include "image/byte_order.h"
#include "image/input_checks.h"
#include "image/palette_entry.h"
#include "image/png_chunks.h"
#include "image/used_colors.h"
#include "kit/exit_status.h"
#include "kit/refusal_words.h"
#include "memory_run.h"
#include "png_builder.h"
#include "whole_files.h"

namespace {

std::uint32_t field32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return read_le32(bytes.data() + at);
}

bmp_recipe palette_image(int entries, std::int32_t colors_used) {
  bmp_recipe recipe;
  recipe.width = 4;
  recipe.height = 2;
  recipe.palette = distinct_palette(entries);
  recipe.colors_used = colors_used;
  return recipe;
}

struct used_count_case {
  const char* name;
  bmp_recipe recipe;
  std::int64_t expected;
};

bmp_recipe with_entry(bmp_recipe recipe, int index, rgb color) {
  recipe.palette[static_cast<std::size_t>(index)] = color;
  return recipe;
}

bmp_recipe extremes_only(std::int32_t colors_used) {
  bmp_recipe recipe = palette_image(256, colors_used);
  for (std::size_t i = 0; i < 256; ++i) {
    auto c = [&](int bit) { return static_cast<std::uint8_t>((i >> bit) & 1 ? 255 : 0); };
    recipe.palette[i] = {c(0), c(1), c(2)};
  }
  return recipe;
}

bmp_recipe with_pixels(bmp_recipe recipe, std::vector<std::vector<std::uint8_t>> rows) {
  recipe.rows = std::move(rows);
  return recipe;
}

bmp_recipe with_width(bmp_recipe recipe, std::int32_t width) {
  recipe.width = width;
  return recipe;
}

bmp_recipe black_top(int first_black, rgb last_used) {
  bmp_recipe recipe = palette_image(256, 0);
  for (int i = first_black; i < 256; ++i) recipe.palette[static_cast<std::size_t>(i)] = {};
  recipe.palette[static_cast<std::size_t>(first_black - 1)] = last_used;
  return recipe;
}

const used_count_case USED_COUNT_CASES[] = {
    {"field 16", palette_image(16, 16), 17},
    {"field 1", palette_image(16, 1), 2},
    {"field 254", palette_image(256, 254), 255},
    {"field 255", palette_image(256, 255), 256},
    {"field 2^31-1 does not wrap", palette_image(16, INT32_MAX), std::int64_t{INT32_MAX} + 1},
    {"scan: black from 200", black_top(200, {12, 200, 7}), 201},
    {"scan: only entry 0 is a colour", black_top(1, {12, 34, 56}), 2},
    {"scan: gray at 255", with_entry(palette_image(256, 0), 255, {128, 128, 128}), 257},
    {"field 256 scans too", with_entry(palette_image(256, 256), 255, {128, 128, 128}), 257},
    {"scan: only 0 and 255, no pixels", with_width(extremes_only(0), 0), 1},
    // The pixels keep their values: the highest one, its entry and the catch-all.
    {"scan: only 0 and 255, pixels of 0", extremes_only(0), 2},
    {"scan: only 0 and 255, pixels up to 7", with_pixels(extremes_only(0), {{0, 7, 3}}), 9},
    {"field 256: pixels up to 200", with_pixels(extremes_only(256), {{200}}), 202},
    {"scan: pixels below the guess change nothing", with_pixels(black_top(20, {5, 6, 7}), {{18}}),
     21},
    {"scan: a pixel at the catch-all raises it", with_pixels(black_top(20, {5, 6, 7}), {{20}}), 22},
    {"scan: a pixel of 255 fills the palette", with_pixels(extremes_only(0), {{255}}), 257},
    {"field 8: pixels past it are clamped", with_pixels(palette_image(16, 8), {{15}}), 9},
    {"scan: white and primaries on top", with_entry(black_top(100, {1, 2, 3}), 255, {255, 0, 255}),
     101},
    // The window's entries 10 and 11 hold the (zero) pixel bytes, the rest lie past the end.
    {"scan past the end of the file", palette_image(10, 0), 11},
};

void PrintTo(const used_count_case& c, std::ostream* out) {
  *out << c.name;
}

class UsedCountCases : public testing::TestWithParam<used_count_case> {};

TEST_P(UsedCountCases, FollowsTheColoursUsedFieldOrThePaletteScan) {
  const used_count_case& c = GetParam();
  memory_run run;
  run.input = build_bmp(c.recipe);
  ASSERT_TRUE(load_in_memory(run));
  EXPECT_EQ(run.report.counted, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, UsedCountCases, testing::ValuesIn(USED_COUNT_CASES), named_case());

TEST(UsedCount, RoomCheckAllowsUpTo255) {
  EXPECT_EQ(check_palette_room(1), refusal::none);
  EXPECT_EQ(check_palette_room(255), refusal::none);
  EXPECT_EQ(check_palette_room(256), refusal::palette_full);
  EXPECT_EQ(check_palette_room(std::int64_t{INT32_MAX} + 1), refusal::palette_full);
}

struct geometry_case {
  const char* name;
  std::int32_t width;
  std::int32_t height;
  std::size_t trailing_bytes;
  long truncate_pixels_by;
  std::uint32_t expected_stride;
  std::uint32_t expected_rows;
};

TEST(Geometry, StrideIsThePaddedRowCappedByTheFile) {
  const geometry_case cases[] = {
      {"exact rows", 64, 100, 0, 0, 64, 100},
      {"two trailing bytes", 64, 100, 2, 0, 64, 100},
      {"a trailing byte per row does not widen", 64, 100, 100, 0, 64, 100},
      {"many trailing bytes", 5, 3, 1000, 0, 8, 3},
      {"padded width", 5, 2, 0, 0, 8, 2},
      {"short file keeps the file's rule", 5, 2, 0, 4, 6, 2},
      {"top-down", 7, -3, 0, 0, 8, 3},
      {"zero width", 0, 4, 0, 0, 0, 4},
  };
  for (const geometry_case& c : cases) {
    bmp_recipe recipe = palette_image(4, 4);
    recipe.width = c.width;
    recipe.height = c.height;
    recipe.trailing_bytes = c.trailing_bytes;
    memory_run run;
    run.input = build_bmp(recipe);
    run.input.resize(run.input.size() - static_cast<std::size_t>(c.truncate_pixels_by));
    ASSERT_TRUE(load_in_memory(run)) << c.name;
    EXPECT_EQ(run.image.header.stride, c.expected_stride) << c.name;
    EXPECT_EQ(run.image.header.rows, c.expected_rows) << c.name;
    EXPECT_EQ(output_length(run.image),
              1078 + static_cast<std::int32_t>(c.expected_stride * c.expected_rows))
        << c.name;
  }
}

struct fault_case {
  const char* name;
  std::function<void(std::vector<std::uint8_t>&)> damage;
  int status;
  refusal fault;
};

// Rewrites the 4 x 2 image's info header as a 12-byte core header.
void as_core(std::vector<std::uint8_t>& bytes, std::uint8_t bits) {
  patch_le32(bytes, 14, 12);
  patch_le32(bytes, 18, 4 | 2 << 16);
  patch_le32(bytes, 22, 1 | std::uint32_t{bits} << 16);
}

// A decoded form's 8-bit rows may fill the size limit's room to the last byte, not past it:
// 2 rows of 1,073,740,772 bytes take all of it (the header alone decides, so no picture
// that big is made).
TEST(Faults, DecodedRowsFitTheSizeLimitExactly) {
  const struct {
    std::uint32_t width;
    refusal fault;
  } cases[] = {{1073740772, refusal::none}, {1073740773, refusal::decoded_too_large}};
  for (const auto& c : cases) {
    std::vector<std::uint8_t> file = build_bmp(image_with(distinct_palette(2), 2, {{0}, {1}}));
    file[28] = 1;
    patch_le32(file, 18, c.width);
    bmp_header header;
    EXPECT_EQ(read_bmp_header(file.data(), static_cast<std::int32_t>(file.size()), header), c.fault)
        << c.width;
    // A PNG's rows take the same room: its header alone says whether they fit.
    png_recipe png;
    png.height = 2;
    png.palette = distinct_palette(2);
    png.rows = {{0}, {1}};
    std::vector<png_chunk> chunks = png_chunks(png);
    write_be32(chunks[0].data.data(), c.width);
    std::vector<std::uint8_t> png_file = assemble_png(chunks);
    png_header png_read;
    EXPECT_EQ(read_png_header(png_file.data(), png_file.size(), png_read), c.fault)
        << "PNG " << c.width;
  }
}

TEST(Faults, EachUnusableHeaderGetsItsOwnReport) {
  using f = refusal;
  const fault_case cases[] = {
      {"intact", [](auto&) {}, STATUS_OK, f::none},
      {"53 bytes", [](auto& b) { b.resize(53); }, STATUS_BAD_INPUT, f::too_short},
      {"empty", [](auto& b) { b.clear(); }, STATUS_BAD_INPUT, f::empty},
      {"2 bits", [](auto& b) { b[28] = 2; }, STATUS_BAD_INPUT, f::unsupported_bits},
      {"24 bits", [](auto& b) { b[28] = 24; }, STATUS_OK, f::none},
      {"24 bits, bitfields", [](auto& b) { b[28] = 24, patch_le32(b, 30, 3); }, STATUS_BAD_INPUT,
       f::unsupported_compression},
      {"16 bits, RLE8", [](auto& b) { b[28] = 16, patch_le32(b, 30, 1); }, STATUS_BAD_INPUT,
       f::unsupported_compression},
      {"32 bits, 50000 x 50000",
       [](auto& b) { b[28] = 32, patch_le32(b, 18, 50000), patch_le32(b, 22, 50000); },
       STATUS_BAD_INPUT, f::decoded_too_large},
      {"bitfields", [](auto& b) { patch_le32(b, 30, 3); }, STATUS_BAD_INPUT,
       f::unsupported_compression},
      {"RLE4 at 8 bits", [](auto& b) { patch_le32(b, 30, 2); }, STATUS_BAD_INPUT,
       f::unsupported_compression},
      {"RLE8 top-down", [](auto& b) { patch_le32(b, 30, 1), patch_le32(b, 22, 0xFFFFFFFE); },
       STATUS_BAD_INPUT, f::compressed_top_down},
      {"4 bits, 39-byte header", [](auto& b) { b[28] = 4, patch_le32(b, 14, 39); },
       STATUS_BAD_INPUT, f::unsupported_info_size},
      {"4 bits, 30000 x 100",
       [](auto& b) { b[28] = 4, patch_le32(b, 18, 30000), patch_le32(b, 22, 100); }, STATUS_OK,
       f::none},
      {"4 bits, 46341 x 46341",
       [](auto& b) { b[28] = 4, patch_le32(b, 18, 46341), patch_le32(b, 22, 46341); },
       STATUS_BAD_INPUT, f::decoded_too_large},
      {"4 bits, pixel offset inside a long header",
       [](auto& b) { b[28] = 4, patch_le32(b, 14, 124); }, STATUS_BAD_INPUT,
       f::pixel_offset_in_headers},
      {"1 bit, colours used -1", [](auto& b) { b[28] = 1, patch_le32(b, 46, 0xFFFFFFFF); },
       STATUS_BAD_INPUT, f::negative_colors_used},
      {"1 bit, height 0", [](auto& b) { b[28] = 1, patch_le32(b, 22, 0); }, STATUS_BAD_INPUT,
       f::zero_height},
      {"1 bit, width -1", [](auto& b) { b[28] = 1, patch_le32(b, 18, 0xFFFFFFFF); },
       STATUS_BAD_INPUT, f::negative_width},
      {"core header, 25 bytes", [](auto& b) { as_core(b, 8), b.resize(25); }, STATUS_BAD_INPUT,
       f::too_short},
      {"core header, 26 bytes", [](auto& b) { as_core(b, 8), patch_le32(b, 10, 26), b.resize(26); },
       STATUS_OK, f::none},
      {"core header, 24 bits", [](auto& b) { as_core(b, 24); }, STATUS_OK, f::none},
      {"core header, 2 bits", [](auto& b) { as_core(b, 2); }, STATUS_BAD_INPUT,
       f::unsupported_bits},
      {"core header, height 0", [](auto& b) { as_core(b, 4), b[20] = 0; }, STATUS_BAD_INPUT,
       f::zero_height},
      {"core header, pixel offset 25", [](auto& b) { as_core(b, 1), patch_le32(b, 10, 25); },
       STATUS_BAD_INPUT, f::pixel_offset_in_headers},
      {"height 0", [](auto& b) { patch_le32(b, 22, 0); }, STATUS_BAD_INPUT, f::zero_height},
      {"width -1", [](auto& b) { patch_le32(b, 18, 0xFFFFFFFF); }, STATUS_BAD_INPUT,
       f::negative_width},
      {"width -2^31", [](auto& b) { patch_le32(b, 18, 0x80000000); }, STATUS_BAD_INPUT,
       f::negative_width},
      {"pixel offset 0", [](auto& b) { patch_le32(b, 10, 0); }, STATUS_BAD_INPUT,
       f::pixel_offset_in_headers},
      {"pixel offset 53", [](auto& b) { patch_le32(b, 10, 53); }, STATUS_BAD_INPUT,
       f::pixel_offset_in_headers},
      {"pixel offset past end",
       [](auto& b) { patch_le32(b, 10, static_cast<std::uint32_t>(b.size() + 1)); },
       STATUS_BAD_INPUT, f::pixel_offset_past_end},
      {"pixel offset 2^32-1", [](auto& b) { patch_le32(b, 10, 0xFFFFFFFF); }, STATUS_BAD_INPUT,
       f::pixel_offset_past_end},
      {"colours used -1", [](auto& b) { patch_le32(b, 46, 0xFFFFFFFF); }, STATUS_BAD_INPUT,
       f::negative_colors_used},
      {"colours used 2^31-1", [](auto& b) { patch_le32(b, 46, 0x7FFFFFFF); }, STATUS_PALETTE_FULL,
       f::palette_full},
      {"rows cut short", [](auto& b) { b.resize(b.size() - 5); }, STATUS_BAD_INPUT,
       f::width_exceeds_stride},
      {"width 2^31-1", [](auto& b) { patch_le32(b, 18, 0x7FFFFFFF); }, STATUS_BAD_INPUT,
       f::width_exceeds_stride},
      {"height 2^31-1", [](auto& b) { patch_le32(b, 22, 0x7FFFFFFF); }, STATUS_BAD_INPUT,
       f::width_exceeds_stride},
      {"height -2^31", [](auto& b) { patch_le32(b, 22, 0x80000000); }, STATUS_BAD_INPUT,
       f::width_exceeds_stride},
      {"info header size 2^32-1", [](auto& b) { patch_le32(b, 14, 0xFFFFFFFF); }, STATUS_OK,
       f::none},
  };
  for (const fault_case& c : cases) {
    memory_run run;
    run.input = build_bmp(palette_image(16, 16));
    c.damage(run.input);
    run_in_memory(run, {});
    EXPECT_EQ(refusal_status(run.report.refused), c.status) << c.name;
    EXPECT_EQ(run.report.refused, c.fault) << c.name;
  }
}

// Every refusal ends with -2 but a full palette, which ends with -3, and says why.
TEST(Faults, EveryRefusalHasItsStatusAndAText) {
  EXPECT_EQ(refusal_status(refusal::none), STATUS_OK);
  EXPECT_EQ(refusal_text(refusal::none, {}, 0), "");
  for (int k = static_cast<int>(refusal::too_short);
       k <= static_cast<int>(refusal::no_room_for_grays); ++k) {
    auto reason = static_cast<refusal>(k);
    // Memory and reads are the caller's, not the input's fault: the status of a failed call.
    bool callers = reason == refusal::out_of_memory || reason == refusal::read_failed ||
                   reason == refusal::write_failed;
    int expected = reason == refusal::palette_full ? STATUS_PALETTE_FULL
                   : callers                       ? STATUS_FAILURE
                                                   : STATUS_BAD_INPUT;
    EXPECT_EQ(refusal_status(reason), expected) << k;
    EXPECT_FALSE(refusal_text(reason, {}, 0).empty()) << k;
  }
}

TEST(Faults, SizeLimitLeavesRoomForTheOutputBuffer) {
  // Before a byte is read only the size limit can be judged: how short is too short
  // depends on the form the first bytes tell.
  EXPECT_EQ(check_input_size(0), refusal::empty);  // whatever the name says
  EXPECT_EQ(check_input_size(25), refusal::none);
  EXPECT_EQ(check_input_size(2147482623), refusal::none);
  EXPECT_EQ(check_input_size(2147482624), refusal::too_large);
  EXPECT_EQ(check_input_size(std::int64_t{1} << 40), refusal::too_large);
}

// The first bytes tell the form, and a file too short for its form says which.
TEST(Faults, ShortFilesAreRefusedAsTheFormTheyStartAs) {
  auto bytes = [](const char* text, std::size_t length) {
    return std::vector<std::uint8_t>(text, text + length);
  };
  const struct {
    const char* name;
    std::vector<std::uint8_t> file;
    refusal outcome;
  } cases[] = {
      {"empty", {}, refusal::empty},
      {"one byte", bytes("B", 1), refusal::too_short},
      {"a bitmap's 25 bytes",
       [] {
         std::vector<std::uint8_t> file(25, 0);
         file[0] = 'B';
         file[1] = 'M';
         return file;
       }(),
       refusal::too_short},
      {"two bytes of no image", bytes("GI", 2), refusal::not_an_image},
      {"half a PNG signature", bytes("\x89PN", 3), refusal::png_cut_short},
      {"a PNG signature and a bit", bytes("\x89PNG\r\n\x1a\n\0\0", 10), refusal::png_cut_short},
      {"a GIF", bytes("GIF89a", 6), refusal::not_an_image},
      {"text", bytes("hello, world", 12), refusal::not_an_image},
  };
  for (const auto& c : cases) {
    memory_run run;
    run.input = c.file;
    run_in_memory(run, {});
    EXPECT_EQ(run.report.refused, c.outcome) << c.name;
  }
}

// A 5 x 3 image with a 124-byte info header, 16 colours, non-zero fill and reserved bytes.
memory_run assembled_v5_image() {
  bmp_recipe recipe = palette_image(16, 16);
  recipe.width = 5;
  recipe.height = 3;
  recipe.info_size = 124;
  recipe.reserved = 0x77;
  recipe.rows = {
      {0, 1, 15, 16, 17, 9, 9, 9}, {255, 200, 3, 4, 5, 9, 9, 9}, {2, 2, 2, 2, 2, 9, 9, 9}};
  recipe.trailing_bytes = 2;
  memory_run run;
  run.input = build_bmp(recipe);
  patch_le32(run.input, 50, 0xA1B2C3D4);  // colours important: kept
  patch_le32(run.input, 54, 0x11223344);  // inside the long info header: not copied
  EXPECT_TRUE(prepare_in_memory(run));
  return run;
}

TEST(Assembly, PatchesTheHeaderFieldsAndKeepsTheRest) {
  memory_run run = assembled_v5_image();
  const std::vector<std::uint8_t>& out = run.output;
  const std::vector<std::uint8_t>& in = run.input;
  EXPECT_EQ(output_length(run.image), 1078 + 8 * 3);
  EXPECT_EQ(field32(out, 2), 1078u + 8 * 3);
  EXPECT_EQ(field32(out, 10), 1078u);
  EXPECT_EQ(field32(out, 14), 40u);
  EXPECT_EQ(field32(out, 46), 256u);
  EXPECT_EQ(read_le16(out.data()), read_le16(in.data()));
  for (std::size_t at : std::vector<std::size_t>{6, 18, 22, 26, 30, 34, 38, 42, 50}) {
    EXPECT_EQ(field32(out, at), field32(in, at)) << "field at " << at;
  }
}

TEST(Assembly, CopiesTheUsedEntriesFromAfterTheLongInfoHeader) {
  memory_run run = assembled_v5_image();
  ASSERT_EQ(run.image.used_count, 17);
  ASSERT_EQ(run.image.header.palette_offset, 138u);
  EXPECT_EQ(std::memcmp(run.output.data() + 54, run.input.data() + 138, 16 * 4), 0);
  for (std::size_t at = 54 + 16 * 4; at < 1078; ++at)
    ASSERT_EQ(run.output[at], 0) << "palette byte " << at;
}

TEST(Assembly, ClampsIndicesAndZeroesFillBytes) {
  memory_run run = assembled_v5_image();
  remap_rows(run);
  const std::vector<std::vector<std::uint8_t>> expected = {
      {0, 1, 15, 16, 16, 0, 0, 0}, {16, 16, 3, 4, 5, 0, 0, 0}, {2, 2, 2, 2, 2, 0, 0, 0}};
  for (std::size_t row = 0; row < 3; ++row) {
    const std::uint8_t* line = run.image.output_pixels + row * 8;
    EXPECT_EQ(std::vector<std::uint8_t>(line, line + 8), expected[row]) << "row " << row;
  }
  EXPECT_EQ(run.image.index_map[15], 15);
  EXPECT_EQ(run.image.index_map[16], 16);
  EXPECT_EQ(run.image.index_map[255], 16);
}

// A palette of only black, white and pure colours (a black-and-white picture, pixel art in
// the eight pure colours) keeps the entries its pixels use, and they keep their values.
TEST(Assembly, OnlyExtremesKeepsTheEntriesThePixelsUse) {
  memory_run run;
  bmp_recipe recipe = extremes_only(0);
  recipe.rows = {{0, 7, 200, 3}, {1, 2, 3, 4}};
  run.input = build_bmp(recipe);
  ASSERT_TRUE(prepare_in_memory(run));
  EXPECT_EQ(run.image.used_count, 202);
  remap_rows(run);
  for (int k = 0; k <= 200; ++k)
    ASSERT_EQ(output_palette_color(run.image, k), recipe.palette[static_cast<std::size_t>(k)]) << k;
  EXPECT_EQ(output_palette_color(run.image, 201), (rgb{0, 0, 0}));
  EXPECT_EQ(std::vector<std::uint8_t>(run.image.output_pixels, run.image.output_pixels + 4),
            recipe.rows[0]);
}

TEST(Assembly, TopDownImageKeepsItsHeightAndAllRows) {
  bmp_recipe recipe = palette_image(4, 4);
  recipe.width = 3;
  recipe.height = -2;
  recipe.rows = {{1, 2, 3}, {3, 9, 1}};
  memory_run run;
  run.input = build_bmp(recipe);
  run_in_memory(run, {});
  ASSERT_EQ(run.report.refused, refusal::none);
  std::vector<std::uint8_t> out = run.written();
  ASSERT_EQ(out.size(), 1078u + 8);
  EXPECT_EQ(read_le32_signed(out.data() + 22), -2);
  EXPECT_EQ(field32(out, 2), 1078u + 8);
}

TEST(Assembly, FirstPixelPastTheEndReadsZero) {
  bmp_recipe recipe = palette_image(4, 4);
  recipe.width = 0;
  recipe.height = 3;
  memory_run run;
  run.input = build_bmp(recipe);
  ASSERT_TRUE(load_in_memory(run));
  EXPECT_EQ(run.image.header.pixel_offset, run.input.size());
  EXPECT_EQ(first_input_pixel(run.image), 0);
  run_in_memory(run, {40, 40, 40, 0.3f});
  EXPECT_EQ(run.report.refused, refusal::none);
  EXPECT_EQ(run.written().size(), 1078u);
}

// True-colour bitmaps read as U: the k-bit fields scaled to 8 bits, every clear pixel one
// colour shown as the first met, entries in the order colours appear in stored order.
struct true_colour_case {
  const char* name;
  true_colour_bmp file;
  refusal outcome;
  std::vector<std::uint32_t> palette;  // U's entries as 0xAARRGGBB
  std::vector<std::uint8_t> pixels;    // U's rows, width bytes each, in stored order
};

constexpr std::uint32_t RGBA_MASKS_AT_56[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};

true_colour_bmp true_colour(std::uint16_t bits, std::uint32_t compression,
                            std::vector<std::vector<std::uint32_t>> rows,
                            std::array<std::uint32_t, 4> masks = {}, std::uint32_t info_size = 40) {
  true_colour_bmp file;
  file.bits = bits;
  file.compression = compression;
  file.masks = masks;
  file.info_size = info_size;
  file.width = static_cast<std::int32_t>(rows[0].size());
  file.height = static_cast<std::int32_t>(rows.size());
  file.rows = std::move(rows);
  return file;
}

std::vector<true_colour_case> true_colour_cases() {
  using f = refusal;
  std::vector<std::uint32_t> many;
  std::vector<std::uint32_t> most;
  for (std::uint32_t k = 0; k < 257; ++k) many.push_back(k * 3);
  most.assign(many.begin(), many.end() - 1);
  true_colour_bmp top_down = true_colour(24, 0, {{0xFF0000, 0x00FF00}, {0x0000FF, 0xFF0000}});
  top_down.height = -2;
  true_colour_bmp cut = true_colour(24, 0, {{0x0000FF, 0x0000FF}, {0x0000FF, 0x0000FF}});
  cut.cut_by = 5;
  return {
      {"24 bits: blue, green, red",
       true_colour(24, 0, {{0xFF0000, 0x00FF00}, {0x0000FF, 0xFF0000}}),
       f::none,
       {0xFFFF0000, 0xFF00FF00, 0xFF0000FF},
       {0, 1, 2, 0}},
      {"top-down keeps its order",
       top_down,
       f::none,
       {0xFFFF0000, 0xFF00FF00, 0xFF0000FF},
       {0, 1, 2, 0}},
      {"16 bits 5-5-5, bit 15 unused",
       true_colour(16, 0, {{0x7C00, 0x0421, 0x8421, 0x001F}}),
       f::none,
       {0xFFFF0000, 0xFF080808, 0xFF0000FF},
       {0, 1, 1, 2}},
      {"16 bits 5-6-5 bitfields",
       true_colour(16, 3, {{0x07E0, 0x0020, 0xF800}}, {0xF800, 0x07E0, 0x001F, 0}),
       f::none,
       {0xFF00FF00, 0xFF000400, 0xFFFF0000},
       {0, 1, 2}},
      {"32 bits: the fourth byte unused",
       true_colour(32, 0, {{0x12FF0000, 0x34FF0000, 0x00000080}}),
       f::none,
       {0xFFFF0000, 0xFF000080},
       {0, 0, 1}},
      {"32 bits, masks in a 56-byte header: clear pixels of any colour are one",
       true_colour(
           32, 3, {{0x80FFFFFF, 0x00FF0000, 0x0000FF00, 0xFF123456}},
           {RGBA_MASKS_AT_56[0], RGBA_MASKS_AT_56[1], RGBA_MASKS_AT_56[2], RGBA_MASKS_AT_56[3]},
           56),
       f::none,
       {0x80FFFFFF, 0x00FF0000, 0xFF123456},
       {0, 1, 1, 2}},
      {"32 bits, masks after a 40-byte header: no alpha mask there",
       true_colour(32, 3, {{0x00FF0000, 0x0000FF00}}, {0xFF000000, 0x00FF0000, 0x0000FF00, 0}),
       f::none,
       {0xFF00FF00, 0xFF0000FF},
       {0, 1}},
      {"3-bit and 1-bit fields",
       true_colour(16, 3, {{0x0007, 0x0001, 0x0008}}, {0x0007, 0x0008, 0x0010, 0}),
       f::none,
       {0xFFFF0000, 0xFF240000, 0xFF00FF00},
       {0, 1, 2}},
      {"rows past the end of the file read as 0",
       cut,
       f::none,
       {0xFF0000FF, 0xFF000000},
       {0, 0, 0, 1}},
      {"256 colours", true_colour(24, 0, {most}), f::none, {}, {}},
      {"257 colours", true_colour(24, 0, {many}), f::too_many_colours, {}, {}},
      {"a mask of two runs",
       true_colour(32, 3, {{0}}, {0x00FF00FF, 0xFF00, 0xFF000000, 0}),
       f::unsupported_bitfields,
       {},
       {}},
      {"a mask of 9 bits",
       true_colour(32, 3, {{0}}, {0x1FF, 0xFF00, 0xFF0000, 0}),
       f::unsupported_bitfields,
       {},
       {}},
      {"a mask of 0",
       true_colour(16, 3, {{0}}, {0, 0x3E0, 0x1F, 0}),
       f::unsupported_bitfields,
       {},
       {}},
      {"an alpha mask of two runs",
       true_colour(32, 3, {{0}}, {0xFF0000, 0xFF00, 0xFF, 0x81000000}, 56),
       f::unsupported_bitfields,
       {},
       {}},
  };
}

TEST(TrueColourBitmap, ReadsAsItsNumberedEquivalent) {
  for (const true_colour_case& c : true_colour_cases()) {
    eight_bit_form form = read_eight_bit_form(build_true_colour_bmp(c.file));
    ASSERT_EQ(form.refused, c.outcome) << c.name;
    if (c.outcome != refusal::none) continue;
    const std::vector<std::uint8_t>& u = form.bytes;
    auto width = static_cast<std::size_t>(c.file.width);
    std::size_t stride = (width + 3) / 4 * 4;
    ASSERT_EQ(u.size(), 1078 + stride * c.file.rows.size()) << c.name;
    EXPECT_EQ(read_le16(u.data() + 28), 8) << c.name;
    EXPECT_EQ(read_le32_signed(u.data() + 22), c.file.height) << c.name;
    if (c.palette.empty()) {
      EXPECT_EQ(read_le32(u.data() + 46), 0u) << c.name;  // 256 colours
      continue;
    }
    EXPECT_EQ(read_le32(u.data() + 46), c.palette.size()) << c.name;
    for (std::size_t k = 0; k < 256; ++k) {
      std::uint32_t expected = k < c.palette.size() ? c.palette[k] : 0;
      const std::uint8_t* entry = u.data() + 54 + 4 * k;
      std::uint32_t alpha = k < c.palette.size() ? form.alpha[k] : 0;
      EXPECT_EQ(alpha << 24 | std::uint32_t{entry[2]} << 16 | entry[1] << 8 | entry[0], expected)
          << c.name << ", entry " << k;
    }
    for (std::size_t i = 0; i < c.pixels.size(); ++i)
      EXPECT_EQ(u[1078 + i / width * stride + i % width], c.pixels[i]) << c.name << ", pixel " << i;
  }
}

// A picture of `width` x `rows` pixels in `colours` colours, runs of 3 pixels, so that band
// and piece edges fall inside runs and between them.
true_colour_bmp striped(std::uint16_t bits, std::int32_t width, std::size_t rows,
                        std::uint32_t colours) {
  std::vector<std::vector<std::uint32_t>> pixels(rows);
  for (std::size_t r = 0; r < rows; ++r)
    for (std::int32_t x = 0; x < width; ++x)
      pixels[r].push_back((static_cast<std::uint32_t>(x) / 3 + static_cast<std::uint32_t>(r)) %
                          colours * (bits == 16 ? 0x0421u : 0x010203u));
  return true_colour(bits, 0, std::move(pixels));
}

// How a banded run gives back its rows: all at the end, or streamed out a band at a time on
// `processors`, the write numbered `failing_write` failing.
struct streaming {
  bool on = false;
  unsigned processors = 1;
  int failing_write = -1;
};

// The translation with only the file's head held and its rows read through read_part, as
// palette-translate reads a big true-colour bitmap, or an 8-bit one on one processor; a read
// from `failing_read` on fails.
struct banded_run {
  std::vector<std::uint8_t> head;
  std::vector<std::uint8_t> prefix = std::vector<std::uint8_t>(bmp::OUTPUT_PIXEL_OFFSET);
  std::vector<std::uint8_t> equivalent;
  work_image image;
  translation_report report;
  int reads = 0;
  int writes = 0;
  // Streaming: the output file as the writes and then palette-translate's prefix leave it.
  std::vector<std::uint8_t> written;

  banded_run(const std::vector<std::uint8_t>& file, int failing_read = -1, streaming out = {},
             translation_parameters parameters = {40, 40, 40, 0.3f})
      : head(file.begin(), file.begin() + FILE_HEAD_SIZE) {
    translation_memory memory = memory_in_vectors(head, prefix.data(), equivalent);
    memory.file_size = static_cast<std::int64_t>(file.size());
    memory.read_part = [&](std::uint64_t offset, std::uint8_t* into, std::uint32_t length) {
      if (reads++ == failing_read || offset + length > file.size()) return false;
      std::memcpy(into, file.data() + offset, length);
      return true;
    };
    if (out.on) {
      memory.processors = out.processors;
      memory.write_part = [&](std::uint64_t offset, const std::uint8_t* from,
                              std::uint32_t length) {
        if (writes++ == out.failing_write) return false;
        written.resize(std::max<std::size_t>(written.size(), offset + length));
        std::memcpy(written.data() + offset, from, length);
        return true;
      };
    }
    report = translate_file(memory, parameters, image);
    if (out.on && report.done()) {
      written.resize(std::max(written.size(), prefix.size()));
      std::copy(prefix.begin(), prefix.end(), written.begin());
    }
  }
};

// Rows read a band at a time give the bytes the whole file gives: rows within a band, rows
// longer than one (read a piece at a time) and the row the end of the file cuts.
TEST(TrueColourBitmap, TranslatesTheSameFromBandsOfRows) {
  true_colour_bmp cut = striped(24, 700, 400, 90);
  cut.cut_by = 1000;
  struct banded_case {
    const char* name;
    true_colour_bmp file;
    int least_reads;
  } cases[] = {
      {"rows within a band", striped(24, 700, 900, 90), 2},
      {"16-bit rows", striped(16, 5000, 120, 31), 2},
      {"rows longer than a band", striped(32, 300000, 3, 200), 3},
      {"the last row cut", cut, 1},
      {"257 colours", striped(32, 800, 10, 257), 1},
  };
  for (const banded_case& c : cases) {
    std::vector<std::uint8_t> file = build_true_colour_bmp(c.file);
    ASSERT_TRUE(rows_read_in_bands(file.data(), static_cast<std::int64_t>(file.size()))) << c.name;
    memory_run whole;
    whole.input = file;
    run_in_memory(whole, {40, 40, 40, 0.3f});
    banded_run banded(file);
    ASSERT_EQ(banded.report.refused, whole.report.refused) << c.name;
    EXPECT_GE(banded.reads, c.least_reads) << c.name;
    if (whole.report.done()) {
      EXPECT_EQ(output_file(banded.image), whole.written()) << c.name;
    }
  }
}

// A failed read refuses the file for what it is: a failed call, not a bad input. Only a
// true-colour bitmap is read in bands; any other file given so is refused, never read past
// its head.
TEST(TrueColourBitmap, BandsOfRowsAreOnlyForTrueColourBitmapsAndTheirReadsMayFail) {
  std::vector<std::uint8_t> big = build_true_colour_bmp(striped(24, 700, 900, 90));
  EXPECT_EQ(banded_run(big, 0).report.refused, refusal::read_failed);
  EXPECT_EQ(banded_run(big, 1).report.refused, refusal::read_failed);
  EXPECT_EQ(refusal_status(refusal::read_failed), STATUS_FAILURE);
  bmp_recipe eight_bit = palette_image(16, 0);
  eight_bit.width = 200;
  eight_bit.height = 100;
  png_recipe stored_png;  // RGBA, stored uncompressed: past the head
  stored_png.width = 64;
  stored_png.height = 32;
  stored_png.color_type = 6;
  stored_png.level = 0;
  std::vector<std::vector<std::uint8_t>> others = {
      build_bmp(eight_bit), build_png(stored_png),
      build_true_colour_bmp(striped(24, 30, 30, 9)),  // within the head: read whole
  };
  for (const std::vector<std::uint8_t>& file : others) {
    EXPECT_FALSE(rows_read_in_bands(file.data(), static_cast<std::int64_t>(file.size())));
    if (file.size() > FILE_HEAD_SIZE) {
      EXPECT_EQ(banded_run(file).report.refused, refusal::read_failed);
    }
  }
}

// An 8-bit bitmap of `width` x `rows` in a palette of `colours` colours, runs of 3 pixels,
// the last pixel stored `last_value`. Guessed: the palette padded with black and no colours
// used in the header, so that the used count is guessed, and a last value past the guess
// breaks it only in the last band.
std::vector<std::uint8_t> striped_eight_bit(std::int32_t width, std::size_t rows, int colours,
                                            bool guessed = false, int last_value = 0) {
  std::vector<std::vector<std::uint8_t>> pixels(rows);
  for (std::size_t r = 0; r < rows; ++r)
    for (std::int32_t x = 0; x < width; ++x)
      pixels[r].push_back(static_cast<std::uint8_t>((static_cast<std::size_t>(x) / 3 + r) %
                                                    static_cast<std::size_t>(colours)));
  pixels.back().back() = static_cast<std::uint8_t>(last_value);
  std::vector<rgb> palette = distinct_palette(colours);
  if (guessed) palette.resize(bmp::PALETTE_ENTRIES);
  return build_bmp(image_with(palette, guessed ? 0 : colours, std::move(pixels)));
}

// 8-bit rows streamed a band at a time, read and written as palette-translate does on one
// processor, give the bytes the whole file gives: over bands and fill bytes, drawn or
// mapped, rows longer than a band, a guessed used count a late pixel breaks (its bands
// written again), compacted, and a refusal after the counts.
TEST(StreamedRows, TranslateAsTheWholeFile) {
  translation_parameters draws{40, 40, 40, 0.3f};
  translation_parameters map_only{};
  translation_parameters compact = draws;
  compact.compact_palette = true;
  struct streamed_case {
    const char* name;
    std::vector<std::uint8_t> file;
    translation_parameters parameters;
    int least_writes;
  } cases[] = {
      {"draws over bands, fill bytes", striped_eight_bit(1001, 3000, 16), draws, 3},
      {"rows longer than a band", striped_eight_bit(1100000, 3, 16), draws, 3},
      {"mapped", striped_eight_bit(1000, 2500, 16), map_only, 3},
      {"a guess broken in the last band", striped_eight_bit(1000, 2500, 20, true, 200), map_only,
       5},
      // The guess is 21 (20 colours and the catch-all): a pixel of 20 is the first past it.
      {"a guess broken at its limit", striped_eight_bit(1000, 2500, 20, true, 20), map_only, 5},
      {"compacted", striped_eight_bit(999, 1200, 9), compact, 2},
      {"the palette full", striped_eight_bit(1024, 1200, 256), draws, 0},
  };
  for (const streamed_case& c : cases) {
    auto size = static_cast<std::int64_t>(c.file.size());
    ASSERT_TRUE(rows_streamed(c.file.data(), size, 1)) << c.name;
    EXPECT_FALSE(rows_streamed(c.file.data(), size, 2)) << c.name;
    memory_run whole;
    whole.input = c.file;
    run_in_memory(whole, c.parameters);
    banded_run streamed(c.file, -1, {true}, c.parameters);
    ASSERT_EQ(streamed.report.refused, whole.report.refused) << c.name;
    EXPECT_GE(streamed.writes, c.least_writes) << c.name;
    if (whole.report.done()) {
      EXPECT_EQ(streamed.written, whole.written()) << c.name;
    }
  }
}

// A failed read or write ends the translation as that failure, whatever the rows it
// lacked; on more than one processor, and for a file whose first pixel lies past the head,
// the rows are not streamed (and a caller that gave only the head is refused).
TEST(StreamedRows, FailuresAndTheFilesThatStream) {
  std::vector<std::uint8_t> big = striped_eight_bit(1000, 2500, 16);
  EXPECT_EQ(banded_run(big, 0, {true}).report.refused, refusal::read_failed);
  EXPECT_EQ(banded_run(big, 4, {true}).report.refused, refusal::read_failed);
  EXPECT_EQ(banded_run(big, -1, {true, 1, 0}).report.refused, refusal::write_failed);
  EXPECT_EQ(banded_run(big, -1, {true, 1, 1}).report.refused, refusal::write_failed);
  EXPECT_EQ(refusal_status(refusal::write_failed), STATUS_FAILURE);
  EXPECT_EQ(banded_run(big, -1, {true, 2}).report.refused, refusal::read_failed);
  bmp_recipe far = image_with(distinct_palette(16), 0, {std::vector<std::uint8_t>(5000, 1)});
  far.pixel_offset = FILE_HEAD_SIZE;
  std::vector<std::uint8_t> true_colour = build_true_colour_bmp(striped(24, 700, 900, 90));
  for (const std::vector<std::uint8_t>& file : {build_bmp(far), true_colour}) {
    EXPECT_FALSE(rows_streamed(file.data(), static_cast<std::int64_t>(file.size()), 1));
  }
}

}  // namespace
