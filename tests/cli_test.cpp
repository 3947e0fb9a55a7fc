#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "bmp_builder.h"
#include "image/byte_order.h"
#include "memory_run.h"
#include "os/file_identity.h"
#include "os/files.h"
#include "png_builder.h"
#include "subprocess.h"
#include "tool_under_test.h"
#include "translate/run.h"

namespace {

std::vector<unsigned char> small_image() {
  return build_bmp(image_with(distinct_palette(12), 12, {{0, 1, 2}, {3, 4, 5}}));
}

std::vector<std::string> arguments(const std::string& in, const std::string& out) {
  return {in, out, "40", "40", "40", "30"};
}

struct cli_case {
  const char* name;
  std::vector<std::string> arguments;  // "IN" and "OUT" stand for the files in the directory
  int status;
  std::string out;  // after the banner; "DIR" stands for the test's directory
  bool output_created;
};

std::vector<unsigned char> with_byte(std::vector<unsigned char> bytes, std::size_t at,
                                     unsigned char value) {
  bytes[at] = value;
  return bytes;
}

const std::string USAGE =
    "\n\nusage: palette-translate [--compact-palette] INPUT OUTPUT RED GREEN BLUE PERCENT\n"
    "Reads a palette bitmap, or a palette or grayscale PNG, or a true-colour PNG or\n"
    "bitmap of at most 256 colours (each colour an entry, in the order they first\n"
    "appear from the lower-left pixel), moves the background colour to palette index 0\n"
    "and the marker colours into their fixed slots, and writes the\n"
    "result as an 8-bit bitmap, or as a palette PNG where OUTPUT ends in .png (its\n"
    "transparency kept). With PERCENT above 0, pixels whose colour lies within RED,\n"
    "GREEN and BLUE of the background become background or one of seven grays, PERCENT\n"
    "percent of them background.\n"
    "With --compact-palette (only as the first parameter), the palette is first cut\n"
    "down to the colours the pixels use, so that a picture drawn in a full 256-colour\n"
    "palette finds room; the picture itself stays as it was.\n"
    "Status: 0 written; 255 too few parameters or a file or memory failure; 254 an input\n"
    "it cannot translate; 253 the palette is full.\n"
    "Manual: man palette-translate\n";

// Runs each case on a fresh directory whose IN holds `input`.
void expect_cli_cases(const std::vector<cli_case>& cases, const std::vector<unsigned char>& input) {
  for (const cli_case& c : cases) {
    temp_dir dir;
    write_file(dir.file("IN"), input);
    std::vector<std::string> args;
    for (const std::string& a : c.arguments)
      args.push_back(a == "IN" || a == "OUT" || a == "NOPE" ? dir.file(a) : a);
    process_result result = run_program(TOOL, args);
    std::string expected = c.out;
    if (std::size_t at = expected.find("DIR"); at != std::string::npos)
      expected.replace(at, 3, dir.path);
    EXPECT_EQ(result.status, c.status) << c.name;
    EXPECT_EQ(result.out, BANNER + expected) << c.name;
    EXPECT_EQ(file_exists(dir.file("OUT")), c.output_created) << c.name;
  }
}

std::vector<unsigned char> full_palette_sprite() {
  return build_bmp(full_palette_image({{7, 7, 200, 3}, {7, 90, 90, 7}}));
}

TEST(Cli, StatusesAndConsoleTexts) {
  const std::vector<cli_case> cases = {
      {"help", {"--help"}, 0, USAGE, false},
      {"short help", {"-h"}, 0, USAGE, false},
      {"version", {"--version"}, 0, "\n", false},
      {"help among other parameters", {"--help", "OUT"}, 255, "\nInsufficient parameters.", false},
      {"one other parameter", {"-x"}, 255, "\nInsufficient parameters.", false},
      {"no parameters", {}, 255, "\nInsufficient parameters.", false},
      {"five parameters",
       {"IN", "OUT", "40", "40", "40"},
       255,
       "\nInsufficient parameters.",
       false},
      {"six parameters", {"IN", "OUT", "40", "40", "40", "30"}, 0, "", true},
      {"seven parameters", {"IN", "OUT", "40", "40", "40", "30", "extra"}, 0, "", true},
      {"malformed numbers", {"IN", "OUT", "abc", "40", " 7", "50%"}, 0, "", true},
      {"missing input",
       {"NOPE", "OUT", "1", "1", "1", "1"},
       255,
       "\nError:_open failed.\n  Filename:\"DIR/NOPE\"\n  Mode=32768",
       false},
      {"output in a missing directory",
       {"IN", "no/such/dir.bmp", "1", "1", "1", "1"},
       255,
       "\nError:_open failed.\n  Filename:\"no/such/dir.bmp\"\n  Mode=33538",
       false},
  };
  expect_cli_cases(cases, small_image());
}

TEST(Cli, CompactPaletteCountsOnlyAsTheFirstParameter) {
  const std::string full = "\nToo many colors. No free place.";
  const std::string insufficient = "\nInsufficient parameters.";
  const std::vector<cli_case> cases = {
      {"full palette", {"IN", "OUT", "40", "40", "40", "30"}, 253, full, true},
      {"compacted", {"--compact-palette", "IN", "OUT", "40", "40", "40", "30"}, 0, "", true},
      {"option and five parameters",
       {"--compact-palette", "IN", "OUT", "40", "40", "40"},
       255,
       insufficient,
       false},
      {"option alone", {"--compact-palette"}, 255, insufficient, false},
      {"option before --help", {"--compact-palette", "--help"}, 255, insufficient, false},
      {"option later is a number",
       {"IN", "OUT", "--compact-palette", "40", "40", "30"},
       253,
       full,
       true},
      {"option twice: the second is the input",
       {"--compact-palette", "--compact-palette", "OUT", "40", "40", "40", "30"},
       255,
       "\nError:_open failed.\n  Filename:\"--compact-palette\"\n  Mode=32768",
       false},
  };
  expect_cli_cases(cases, full_palette_sprite());

  temp_dir dir;
  write_file(dir.file("in.bmp"), full_palette_sprite());
  std::vector<std::string> args = arguments(dir.file("in.bmp"), dir.file("out.bmp"));
  args.insert(args.begin(), "--compact-palette");
  ASSERT_EQ(run_program(TOOL, args).status, 0);
  EXPECT_EQ(read_file(dir.file("out.bmp")),
            translated_bytes(full_palette_sprite(), {40, 40, 40, 0.3f, true}));
}

struct rejected_input {
  const char* name;
  std::vector<unsigned char> bytes;
  int status;
  std::string message;  // after the banner
};

TEST(Cli, RejectedInputsLeaveAnEmptyOutput) {
  std::vector<unsigned char> short_file = small_image();
  short_file.resize(53);
  std::vector<unsigned char> header_only = small_image();
  header_only.resize(54);
  const rejected_input cases[] = {
      {"2-bit", with_byte(small_image(), 28, 2), 254,
       "\nUnsupported bitmap: 2 bits per pixel. Bitmaps of 1, 4, 8, 16, 24 or 32 bits per pixel "
       "can be translated."},
      {"bitfields", patched32(small_image(), 30, 3), 254,
       "\nUnsupported compression: bitfields (compression 3) at 8 bits per pixel. "
       "Uncompressed bitmaps, RLE8 at 8 bits, RLE4 at 4 bits and bitfields at 16 or 32 bits can be "
       "translated."},
      {"RLE8 at 4 bits", patched32(with_byte(small_image(), 28, 4), 30, 1), 254,
       "\nUnsupported compression: RLE8 (compression 1) at 4 bits per pixel. Uncompressed "
       "bitmaps, RLE8 at 8 bits, RLE4 at 4 bits and bitfields at 16 or 32 bits can be "
       "translated."},
      {"4 bits with a 20-byte header", patched32(with_byte(small_image(), 28, 4), 14, 20), 254,
       "\nUnsupported bitmap: a 20-byte info header with 4 bits per pixel and compression 0. Any "
       "header size works for 8-bit uncompressed bitmaps; other forms need the 12-byte core "
       "header or an info header of 40 bytes or more."},
      {"RLE8 top-down", patched32(patched32(small_image(), 30, 1), 22, 0xFFFFFFFE), 254,
       "\nBad bitmap header: RLE-compressed rows with a negative (top-down) height; compressed "
       "bitmaps are stored bottom-up."},
      {"no room for the grays", patched32(small_image(), 46, 241), 254,
       "\nNo room for the gray ramp: 249 palette entries are in use (the catch-all included), at "
       "most 248 leave room for the seven grays. A percentage of 0 skips the near-background "
       "step."},
      {"decoded too large",
       patched32(patched32(with_byte(small_image(), 28, 1), 18, 46341), 22, 46341), 254,
       "\nThe picture is too large: as 8-bit rows it would make a file of 2147482624 bytes or "
       "more."},
      {"true colour of 257 colours", build_png(rgba_strip(256)), 254,
       "\nToo many colours: the picture holds at least 257 distinct colours, and a palette at most "
       "256. Reduce it to at most 240 colours (the room the markers, placeholders and grays "
       "leave) with a colour quantiser, or save it as a palette image."},
      // The advice holds: one colour more than it names leaves no room for the grays.
      {"true colour of 241 colours", build_png(rgba_strip(240)), 254,
       "\nNo room for the gray ramp: 249 palette entries are in use (the catch-all included), at "
       "most 248 leave room for the seven grays. A percentage of 0 skips the near-background "
       "step."},
      {"palette full", patched32(small_image(), 46, 255), 253, "\nToo many colors. No free place."},
      // Room for the used entries, none for the last placeholder the slot table appends.
      {"palette full at an append", patched32(small_image(), 46, 249), 253,
       "\nToo many colors. No free place."},
      {"53 bytes", short_file, 254,
       "\nNot a bitmap: the file is shorter than its headers (26 bytes with a 12-byte core "
       "header, 54 otherwise)."},
      {"height 0", patched32(small_image(), 22, 0), 254, "\nBad bitmap header: the height is 0."},
      {"RLE8, height 0", patched32(patched32(small_image(), 30, 1), 22, 0), 254,
       "\nBad bitmap header: the height is 0."},
      {"54 bytes: the headers and nothing more", header_only, 254,
       "\nBad bitmap header: the pixel data offset points past the end of the file."},
      {"negative width", patched32(small_image(), 18, 0xFFFFFFFE), 254,
       "\nBad bitmap header: the width is negative."},
      {"pixel offset 53", patched32(small_image(), 10, 53), 254,
       "\nBad bitmap header: the pixel data offset points inside the headers."},
      {"pixel offset past end", patched32(small_image(), 10, 5000), 254,
       "\nBad bitmap header: the pixel data offset points past the end of the file."},
      {"colours used -1", patched32(small_image(), 46, 0xFFFFFFFF), 254,
       "\nBad bitmap header: the colours-used field is negative."},
      {"width beyond the rows", patched32(small_image(), 18, 9), 254,
       "\nBad bitmap: the file is too short to hold its pixel rows at the stated width."},
  };
  for (const rejected_input& c : cases) {
    temp_dir dir;
    write_file(dir.file("in.bmp"), c.bytes);
    write_file(dir.file("out.bmp"), std::vector<unsigned char>(5000, 'x'));
    process_result result = run_program(TOOL, arguments(dir.file("in.bmp"), dir.file("out.bmp")));
    EXPECT_EQ(result.status, c.status) << c.name;
    ASSERT_EQ(result.out.substr(0, BANNER.size()), BANNER) << c.name;
    EXPECT_EQ(result.out.substr(BANNER.size()), c.message) << c.name;
    EXPECT_EQ(read_file(dir.file("out.bmp")).size(), 0u) << c.name;
    EXPECT_EQ(read_file(dir.file("in.bmp")), c.bytes) << c.name;
  }
}

TEST(Cli, WritesTheWholeOutputTruncatingTheOldOneWithOwnerOnlyPermission) {
  temp_dir dir;
  write_file(dir.file("in.bmp"), small_image());
  write_file(dir.file("old.bmp"), std::vector<unsigned char>(9000, 'x'));
  process_result fresh = run_program(TOOL, arguments(dir.file("in.bmp"), dir.file("new.bmp")));
  process_result old = run_program(TOOL, arguments(dir.file("in.bmp"), dir.file("old.bmp")));
  EXPECT_EQ(fresh.status, 0);
  EXPECT_EQ(old.status, 0);
  std::vector<unsigned char> written = read_file(dir.file("new.bmp"));
  EXPECT_EQ(written.size(), 1078u + 4 * 2);
  EXPECT_EQ(read_file(dir.file("old.bmp")), written);
  namespace fs = std::filesystem;
  fs::perms mode = fs::status(dir.file("new.bmp")).permissions();
#ifdef _WIN32
  // Windows keeps one read-only flag, shown as everyone's write permission.
  EXPECT_NE(mode & fs::perms::owner_write, fs::perms::none);
#else
  EXPECT_EQ(mode, fs::perms::owner_read | fs::perms::owner_write);
#endif
}

// A hard link and a symbolic link to dir's file "a"; a system that refuses symbolic links
// (Windows without the privilege) leaves that name out.
std::vector<std::string> links_to_a(const temp_dir& dir) {
  std::filesystem::create_hard_link(dir.file("a"), dir.file("hard"));
  std::vector<std::string> names = {"hard"};
  std::error_code refused;
  std::filesystem::create_symlink(dir.file("a"), dir.file("soft"), refused);
  if (!refused) names.push_back("soft");
  return names;
}

// The same file is the same device and inode, whatever name or link leads to it.
TEST(SameFile, IsTheSameDeviceAndInodeThroughAnyName) {
  temp_dir dir;
  write_file(dir.file("a"), {1});
  write_file(dir.file("b"), {1});
  std::vector<std::string> names = links_to_a(dir);
  names.push_back("a");
  int a = open_with_mode(dir.file("a").c_str(), OPEN_INPUT_MODE).value;
  int b = open_with_mode(dir.file("b").c_str(), OPEN_INPUT_MODE).value;
  int through_link = open_with_mode(dir.file(names[0]).c_str(), OPEN_INPUT_MODE).value;
  for (const std::string& name : names)
    EXPECT_TRUE(names_open_file(a, dir.file(name).c_str()).value) << name;
  EXPECT_FALSE(names_open_file(a, dir.file("b").c_str()).value);
  EXPECT_FALSE(names_open_file(a, dir.file("missing").c_str()).value);
  EXPECT_TRUE(same_open_file(a, through_link).value);
  EXPECT_FALSE(same_open_file(a, b).value);
  EXPECT_FALSE(same_open_file(a, -1).value);
  // A handle that cannot be asked leaves the question open: the caller must not cut.
  EXPECT_FALSE(same_open_file(a, -1).ok());
  for (int handle : {a, b, through_link}) (void)close_handle(handle);
}

TEST(Cli, RefusesToWriteOverItsOwnInput) {
  temp_dir dir;
  std::string input = dir.file("a");
  write_file(input, small_image());
  std::vector<std::string> outputs = {input, dir.file("./a")};
  for (const std::string& name : links_to_a(dir)) outputs.push_back(dir.file(name));
#ifdef _WIN32
  // Other spellings of the same name: another case, backslashes.
  outputs.push_back(dir.file("A"));
  std::string backslashed = input;
  std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
  outputs.push_back(backslashed);
#endif
  for (const std::string& output : outputs) {
    process_result result = run_program(TOOL, arguments(input, output));
    EXPECT_EQ(result.status, 255) << output;
    EXPECT_EQ(result.out, BANNER + "\nThe output path \"" + output +
                              "\" names the input file; nothing was written.")
        << output;
    EXPECT_EQ(read_file(input), small_image()) << output;
    // The check once the output is open holds on its own, as where a name is swapped to the
    // input between the two.
    int handle = open_with_mode(input.c_str(), OPEN_INPUT_MODE).value;
    or_failure<int> opened = open_output(handle, output.c_str());
    ASSERT_FALSE(opened.ok()) << output;
    EXPECT_EQ(opened.failed->text,
              "\nThe output path \"" + output + "\" names the input file; nothing was written.");
    (void)close_handle(handle);
    EXPECT_EQ(read_file(input), small_image()) << output;
  }
  // Reading through a link into a separate output is fine.
  EXPECT_EQ(run_program(TOOL, arguments(dir.file("hard"), dir.file("out.bmp"))).status, 0);
}

TEST(Cli, WriteFailureIsReported) {
  SKIP_ON_WINDOWS("there is no /dev/full");
  temp_dir dir;
  write_file(dir.file("in.bmp"), small_image());
  process_result result = run_program(TOOL, arguments(dir.file("in.bmp"), "/dev/full"));
  EXPECT_EQ(result.status, 255);
  EXPECT_NE(result.out.find("\nError: _write failed.\n  File handle="), std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("\n  Length=1086"), std::string::npos) << result.out;
}

}  // namespace
