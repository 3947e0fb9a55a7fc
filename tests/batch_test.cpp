#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include <nlohmann/json.hpp>
#include "batch/batch_run.h"
#include "batch/input_scan.h"
#include "bmp_builder.h"
#include "kit/text_escape.h"
#include "os/files.h"
#include "os/paths.h"
#include "png_builder.h"
#include "subprocess.h"
#include "tool_under_test.h"
#include "whole_files.h"

namespace {

const std::string BATCH = PALETTE_BATCH_PATH;
const std::vector<std::string> PARAMETERS = {"40", "40", "40", "30"};

std::vector<unsigned char> sprite(std::uint8_t shade) {
  std::vector<rgb> palette = distinct_palette(12);
  palette[3] = {shade, shade, shade};
  return build_bmp(image_with(palette, 12, {{0, 3, 3, 1}, {3, 0, 2, 3}, {0, 0, 3, 11}}));
}

std::vector<unsigned char> deep_sprite() {
  std::vector<unsigned char> bytes = sprite(9);
  bytes[28] = 2;
  return bytes;
}

// The inputs of the tree and whether each is translated. Two files share a name in
// different folders; upper-case endings count; other names are left alone.
const struct {
  const char* path;
  std::vector<unsigned char> bytes;
  bool translated;
} TREE[] = {
    {"a/x.bmp", sprite(30), true},          {"b/x.bmp", sprite(60), true},
    {"UPPER.BMP", sprite(90), true},        {"deep/er/mixed.Bmp", sprite(120), true},
    {"b/broken.bmp", deep_sprite(), false}, {"a/cut.bmp", {'B', 'M', 0, 0}, false},
    {"notes.txt", sprite(150), false},      {"NOTES.TXT", sprite(160), false},
    {"b/.bmp", sprite(170), true},          {".bmp", sprite(175), true},
    {"b/x.bmp.orig", sprite(180), false},
};

// A PNG sprite, one of its entries transparent.
std::vector<unsigned char> png_sprite(std::uint8_t shade) {
  png_recipe recipe;
  recipe.width = 4;
  recipe.height = 3;
  recipe.depth = 4;
  recipe.palette = {{shade, 20, 30}, {200, 40, 40}, {40, 40, 200}};
  recipe.transparency = {255, 0};
  recipe.rows = {{0, 1, 1, 2}, {1, 2, 2, 0}, {0, 0, 1, 2}};
  return build_png(recipe);
}

// A file of the input tree, named as palette-batch names it.
std::string in_tree(const temp_dir& dir, const std::string& path) {
  return batch_joined(dir.file("in"), path);
}

void make_tree(const temp_dir& dir) {
  for (const auto& file : TREE) {
    std::filesystem::create_directories(
        std::filesystem::path(in_tree(dir, file.path)).parent_path());
    write_file(in_tree(dir, file.path), file.bytes);
  }
}

process_result batch(const std::vector<std::string>& options, const std::string& in,
                     const std::string& out) {
  std::vector<std::string> arguments = options;
  arguments.insert(arguments.end(), {in, out});
  arguments.insert(arguments.end(), PARAMETERS.begin(), PARAMETERS.end());
  return run_program(BATCH, arguments);
}

std::vector<unsigned char> translated_by_the_tool(const temp_dir& dir, const std::string& path,
                                                  const std::vector<std::string>& options = {}) {
  std::vector<std::string> arguments = options;
  arguments.insert(arguments.end(), {in_tree(dir, path), dir.file("expected.bmp")});
  arguments.insert(arguments.end(), PARAMETERS.begin(), PARAMETERS.end());
  run_program(TOOL, arguments);
  return read_file(dir.file("expected.bmp"));
}

// Every file under the folder, relative to it.
std::vector<std::string> files_under(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file())
      names.push_back(utf8_of(std::filesystem::relative(entry.path(), folder)));
  }
  std::sort(names.begin(), names.end());
  return names;
}

const std::string CUT_REASON =
    "Not a bitmap: the file is shorter than its headers (26 bytes with a 12-byte core header, "
    "54 otherwise).";
const std::string BROKEN_REASON =
    "Unsupported bitmap: 2 bits per pixel. Bitmaps of 1, 4, 8, 16, 24 or 32 bits per pixel can "
    "be translated.";

// The output folder inside the input folder: left out of the scan, so a second run finds
// the same inputs. A failed file's old output stays as it was.
TEST(Batch, TranslatesTheTreeAsTheToolDoesAndKeepsOldOutputsOnFailure) {
  temp_dir dir;
  make_tree(dir);
  std::string out = in_tree(dir, "out");
  std::filesystem::create_directories(out + "/b");
  write_file(out + "/b/broken.bmp", {'o', 'l', 'd'});
  for (const char* jobs : {"-j1", "-j3"}) {
    process_result result = batch({jobs}, dir.file("in"), out);
    EXPECT_EQ(result.status, 1) << jobs;
    EXPECT_EQ(result.out, "6 translated, 2 failed\n") << jobs;
    // One line per failure, as it happens: in the inputs' order with one worker.
    std::string cut = in_tree(dir, "a/cut.bmp") + ": " + CUT_REASON + "\n";
    std::string broken = in_tree(dir, "b/broken.bmp") + ": " + BROKEN_REASON + "\n";
    EXPECT_TRUE(result.err == cut + broken ||
                (jobs != std::string("-j1") && result.err == broken + cut))
        << jobs << ": " << result.err;
  }
  for (const auto& file : TREE) {
    if (!file.translated) continue;
    EXPECT_EQ(read_file(out + "/" + file.path), translated_by_the_tool(dir, file.path))
        << file.path;
  }
  EXPECT_EQ(read_file(out + "/b/broken.bmp"), (std::vector<unsigned char>{'o', 'l', 'd'}));
  // No temporary file stays behind, and each output has the usual mode.
  EXPECT_EQ(files_under(out),
            (std::vector<std::string>{".bmp", "UPPER.BMP", "a/x.bmp", "b/.bmp", "b/broken.bmp",
                                      "b/x.bmp", "deep/er/mixed.Bmp"}));
#ifndef _WIN32
  mode_t mask = umask(0);
  umask(mask);
  struct stat info {};
  ASSERT_EQ(stat((out + "/a/x.bmp").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
#endif
}

// With IN_DIR inside OUT_DIR, IN/in/z.bmp's output path is IN/z.bmp, another input.
TEST(Batch, NeverReplacesAnInput) {
  temp_dir dir;
  std::string in = dir.file("out/in");
  std::filesystem::create_directories(in + "/in");
  write_file(in + "/z.bmp", sprite(5));
  write_file(in + "/in/z.bmp", sprite(7));
  process_result result = batch({}, in, dir.file("out"));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "1 translated, 1 failed\n");
  EXPECT_EQ(result.err, batch_joined(in, "in/z.bmp") + ": the output " +
                            batch_joined(dir.file("out"), "in/z.bmp") + " is an input file\n");
  EXPECT_EQ(read_file(in + "/z.bmp"), sprite(5));
}

// A link to a file is the file; a link to a folder is not entered; a dangling link fails.
TEST(Batch, FollowsLinksToFilesOnly) {
  SKIP_ON_WINDOWS("symbolic links need a privilege, and Wine makes none");
  temp_dir dir;
  std::filesystem::create_directories(dir.file("in/sub"));
  std::filesystem::create_directories(dir.file("elsewhere"));
  write_file(dir.file("elsewhere/real.bmp"), sprite(3));
  std::filesystem::create_symlink(dir.file("elsewhere/real.bmp"), dir.file("in/linked.bmp"));
  std::filesystem::create_symlink(dir.file("elsewhere"), dir.file("in/folder.bmp"));
  std::filesystem::create_symlink(dir.file("nowhere.bmp"), dir.file("in/sub/dangling.bmp"));
  process_result result = batch({}, dir.file("in"), dir.file("out"));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "1 translated, 1 failed\n");
  EXPECT_EQ(result.err,
            dir.file("in/sub/dangling.bmp") + ": cannot open: No such file or directory\n");
  EXPECT_EQ(files_under(dir.file("out")), std::vector<std::string>{"linked.bmp"});
}

// Pictures of more colours than a palette holds each get their count; the advice comes once.
TEST(Batch, CountsThePicturesOfTooManyColoursApart) {
  temp_dir dir;
  std::filesystem::create_directories(dir.file("in"));
  write_file(dir.file("in/sprite.png"), build_png(rgba_strip(30)));
  write_file(dir.file("in/photo.png"), build_png(rgba_strip(256)));
  write_file(dir.file("in/photo2.png"), build_png(rgba_strip(300)));
  process_result result = batch({"-j1"}, dir.file("in"), dir.file("out"));
  EXPECT_EQ(result.status, 1);
  std::string advice =
      "Reduce it to at most 240 colours (the room the markers, placeholders and grays leave) "
      "with a colour quantiser, or save it as a palette image.";
  EXPECT_EQ(result.out, "1 translated, 2 failed\n2 files have too many colours. " + advice + "\n");
  std::string fact =
      ": Too many colours: the picture holds at least 257 distinct colours, and a palette at "
      "most 256.\n";
  EXPECT_EQ(result.err, batch_joined(dir.file("in"), "photo.png") + fact +
                            batch_joined(dir.file("in"), "photo2.png") + fact);
  process_result json = batch({"--json"}, dir.file("in"), dir.file("out"));
  nlohmann::json document = nlohmann::json::parse(json.out, nullptr, false);
  ASSERT_FALSE(document.is_discarded()) << json.out;
  EXPECT_EQ(document["too_many_colours"], 2);
  EXPECT_EQ(document["too_many_colours_advice"], advice);
  // The one that fits is translated as palette-translate translates it.
  EXPECT_EQ(read_file(dir.file("out/sprite.png")).empty(), false);
}

TEST(Batch, JsonSummaryReadsBack) {
  temp_dir dir;
  make_tree(dir);
  process_result result = batch({"--json"}, dir.file("in"), dir.file("out"));
  EXPECT_EQ(result.status, 1);
  nlohmann::json document = nlohmann::json::parse(result.out, nullptr, false);
  ASSERT_FALSE(document.is_discarded()) << result.out;
  EXPECT_EQ(document["translated"], 6);
  EXPECT_EQ(document["failed"], 2);
  // In the inputs' order, whichever worker failed first.
  ASSERT_EQ(document["failures"].size(), 2u);
  EXPECT_EQ(document["failures"][0]["path"], in_tree(dir, "a/cut.bmp"));
  EXPECT_EQ(document["failures"][0]["reason"], CUT_REASON);
  EXPECT_EQ(document["failures"][1]["path"], in_tree(dir, "b/broken.bmp"));
  EXPECT_EQ(document["failures"][1]["reason"], BROKEN_REASON);
  EXPECT_FALSE(document.contains("not_started")) << "only a stopped run has files not started";
}

// Files refused for want of room get the advice, in the failure line and in the JSON; with
// the option, they translate as palette-translate translates them with it.
TEST(Batch, AdvisesCompactionWhereItHelpsAndAppliesIt) {
  temp_dir dir;
  std::filesystem::create_directories(dir.file("in"));
  write_file(in_tree(dir, "crowded.bmp"), patched32(sprite(1), 46, 241));
  write_file(in_tree(dir, "full.bmp"), build_bmp(full_palette_image({{7, 7, 200, 3}})));
  write_file(in_tree(dir, "good.bmp"), sprite(1));
  process_result plain = batch({"-j1"}, dir.file("in"), dir.file("out"));
  EXPECT_EQ(plain.status, 1);
  EXPECT_EQ(plain.out, "1 translated, 2 failed\n");
  EXPECT_EQ(plain.err,
            in_tree(dir, "crowded.bmp") +
                ": No room for the gray ramp: 249 palette entries are in use (the catch-all "
                "included), at most 248 leave room for the seven grays. A percentage of 0 skips "
                "the near-background step. (its pixels use 5 colours; --compact-palette would "
                "make room for the grays)\n" +
                in_tree(dir, "full.bmp") +
                ": Too many colors. No free place. (its pixels use 3 colours; --compact-palette "
                "would translate it)\n");
  nlohmann::json document =
      nlohmann::json::parse(batch({"--json"}, dir.file("in"), dir.file("out")).out);
  EXPECT_EQ(document["failures"][0]["compact_palette"], "would_make_room_for_grays");
  EXPECT_EQ(document["failures"][1]["compact_palette"], "would_translate");

  process_result compacted = batch({"--compact-palette"}, dir.file("in"), dir.file("out"));
  EXPECT_EQ(compacted.status, 0) << compacted.err;
  EXPECT_EQ(compacted.out, "3 translated, 0 failed\n");
  for (const char* name : {"crowded.bmp", "full.bmp", "good.bmp"}) {
    EXPECT_EQ(read_file(dir.file("out/") + name),
              translated_by_the_tool(dir, name, {"--compact-palette"}))
        << name;
  }
}

// In the arguments, IN, OUT, NOPE and EMPTY stand for folders of the test's directory,
// NUMBERS for the four numbers.
std::vector<std::string> expanded(const temp_dir& dir, const std::vector<std::string>& arguments) {
  std::vector<std::string> result;
  for (std::string argument : arguments) {
    if (argument == "NUMBERS") {
      result.insert(result.end(), PARAMETERS.begin(), PARAMETERS.end());
      continue;
    }
    for (auto [word, folder] :
         {std::pair{"IN", "in"}, {"OUT", "out"}, {"NOPE", "nope"}, {"EMPTY", "empty"}}) {
      if (argument.starts_with(word))
        argument = dir.file(folder) + argument.substr(std::string_view(word).size());
    }
    result.push_back(argument);
  }
  return result;
}

TEST(Batch, StatusesAndUsageErrors) {
  temp_dir dir;
  std::filesystem::create_directories(dir.file("in"));
  std::filesystem::create_directories(dir.file("empty"));
  write_file(dir.file("in/good.bmp"), sprite(1));
  const struct {
    const char* name;
    std::vector<std::string> arguments;
    int status;
    std::string out;  // the start of standard output; usage errors print only to stderr
  } cases[] = {
      {"every file translated", {"-j", "2", "IN", "OUT", "NUMBERS"}, 0, "1 translated, 0 failed\n"},
      {"an empty folder", {"EMPTY", "OUT", "NUMBERS"}, 0, "0 translated, 0 failed\n"},
      {"options end at --", {"--", "IN", "OUT", "NUMBERS"}, 0, "1 translated, 0 failed\n"},
      {"negative numbers are no options", {"IN", "OUT", "-1", "-1", "-1", "-1"}, 0, "1 trans"},
      {"help",
       {"--help"},
       0,
       "usage: palette-batch [-j N] [--json] [--compact-palette] [--output-format bmp|png]\n"
       "                     [--report PAGE.html] [--] IN_DIR OUT_DIR RED GREEN BLUE PERCENT\n"
       "Translates every .bmp and .png file under IN_DIR (any case, in every folder) as\n"
       "palette-translate would, into the same relative path under OUT_DIR: a bitmap for a\n"
       "bitmap, a PNG for a PNG. Each output appears only when complete; a file that fails\n"
       "leaves no output.\n"
       "  -j N       translate N files at once (default: the number of processors)\n"
       "  --output-format bmp|png\n"
       "             write every output in that format, its name ending in .bmp or .png\n"
       "  --json     end with one JSON document instead of the summary line\n"
       "  --compact-palette\n"
       "             first cut each palette down to the colours its pixels use, so that\n"
       "             pictures drawn in a full 256-colour palette find room; the pictures\n"
       "             themselves stay as they were\n"
       "  --report PAGE.html\n"
       "             after the run, write one page that shows every input beside its\n"
       "             output, with the output palette, and every failure\n"
       "  --version  the release\n"
       "Status: 0 every file translated, 1 some failed, 2 a usage error.\n"
       "Manual: man palette-batch\n"},
      {"version", {"--version"}, 0, "palette-batch (Quorl Palette Translation) 2.0\n"},
      {"missing input folder", {"NOPE", "OUT", "NUMBERS"}, 2, ""},
      {"input folder is a file", {"IN/good.bmp", "OUT", "NUMBERS"}, 2, ""},
      {"output folder is the input folder", {"IN", "IN/.", "NUMBERS"}, 2, ""},
      {"unknown option", {"-x", "IN", "OUT", "NUMBERS"}, 2, ""},
      {"no job count", {"-j0", "IN", "OUT", "NUMBERS"}, 2, ""},
      {"a job count that is no number", {"-j", "x", "IN", "OUT", "NUMBERS"}, 2, ""},
      {"the most jobs", {"-j1024", "IN", "OUT", "NUMBERS"}, 0, "1 translated"},
      {"one job too many", {"-j1025", "IN", "OUT", "NUMBERS"}, 2, ""},
      {"only options", {"--json"}, 2, ""},
      {"a parameter too few", {"IN", "OUT", "1", "1", "1"}, 2, ""},
      {"compacted", {"--compact-palette", "IN", "OUT", "NUMBERS"}, 0, "1 translated, 0 failed\n"},
      {"compaction is an option: not after the folders",
       {"IN", "OUT", "--compact-palette", "NUMBERS"},
       2,
       ""},
  };
  for (const auto& c : cases) {
    process_result result = run_program(BATCH, expanded(dir, c.arguments));
    EXPECT_EQ(result.status, c.status) << c.name;
    EXPECT_TRUE(result.out.starts_with(c.out)) << c.name << ": " << result.out;
    if (c.status == 2) {
      EXPECT_EQ(result.out, "") << c.name;
      EXPECT_TRUE(result.err.starts_with("palette-batch: ")) << c.name << ": " << result.err;
    }
  }
#ifndef _WIN32
  // A summary that cannot be written is a failure, said on standard error.
  process_result full = run_shell("'" + BATCH + "' '" + dir.file("in") + "' '" + dir.file("out") +
                                  "' 1 1 1 1 >/dev/full");
  EXPECT_EQ(full.status, 1);
  EXPECT_NE(full.err.find("palette-batch: cannot write the summary: No space left on device"),
            std::string::npos)
      << full.err;
  process_result answer = run_shell("'" + BATCH + "' --help >/dev/full");
  EXPECT_EQ(answer.status, 1);
  EXPECT_NE(answer.err.find("palette-batch: cannot write the answer: No space left on device"),
            std::string::npos)
      << answer.err;
#endif
  // The whole text of a usage error: the reason, the synopsis, where to read more.
  EXPECT_EQ(run_program(BATCH, {"-j", "2"}).err,
            "palette-batch: needs IN_DIR OUT_DIR RED GREEN BLUE PERCENT, 0 given\n"
            "usage: palette-batch [-j N] [--json] [--compact-palette] [--output-format bmp|png]\n"
            "                     [--report PAGE.html] [--] IN_DIR OUT_DIR RED GREEN BLUE "
            "PERCENT\n"
            "More: palette-batch --help\n");
  EXPECT_TRUE(run_program(BATCH, {"-j"}).err.starts_with("palette-batch: -j needs a number"));
}

// Stopped by a signal, it finishes the file it is writing and ends by that signal, with
// the summary said and no temporary file left.
TEST(Batch, StopsCleanlyOnASignal) {
  SKIP_ON_WINDOWS("kill and the shell's job control");
  temp_dir dir;
  constexpr int FILES = 3000;
  std::filesystem::create_directories(dir.file("in"));
  for (int i = 0; i < FILES; ++i)
    write_file(dir.file("in/" + std::to_string(i) + ".bmp"), sprite(1));
  // The signal comes once the first output is in place, or after 5 s at most.
  process_result result =
      run_shell("cd '" + dir.path + "' || exit; '" + BATCH +
                "' -j1 in out 40 40 40 30 >summary 2>&1 & "
                "for i in $(seq 5000); do [ -e out/0.bmp ] && break; sleep 0.001; done; "
                "kill -TERM $!; wait $!; echo \"$?\"; cat summary; find out -name '.*' | wc -l");
  std::istringstream lines(result.out);
  int status = 0, translated = 0, failed = 0, not_started = 0, leftovers = -1;
  std::string summary;
  lines >> status;
  std::getline(lines >> std::ws, summary);
  lines >> leftovers;
  ASSERT_EQ(std::sscanf(summary.c_str(), "%d translated, %d failed, %d not started", &translated,
                        &failed, &not_started),
            3)
      << result.out;
  EXPECT_EQ(status, 128 + SIGTERM);
  EXPECT_EQ(failed, 0);
  EXPECT_GT(not_started, 0);
  EXPECT_EQ(translated + not_started, FILES);
  EXPECT_EQ(leftovers, 0);
}

// With standard error closed, no failure line may land in another worker's output file.
TEST(Batch, FailureLinesNeverLandInAnOutput) {
  SKIP_ON_WINDOWS("the shell closes standard error");
  temp_dir dir;
  std::filesystem::create_directories(dir.file("in"));
  for (int i = 0; i < 400; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "in/%04d.bmp", i);
    write_file(dir.file(name), i % 2 == 0 ? sprite(1) : deep_sprite());
  }
  process_result result = run_shell("'" + BATCH + "' -j2 '" + dir.file("in") + "' '" +
                                    dir.file("out") + "' 40 40 40 30 2>&-");
  EXPECT_EQ(result.out, "200 translated, 200 failed\n");
  std::vector<unsigned char> expected = translated_by_the_tool(dir, "0000.bmp");
  for (const std::string& name : files_under(dir.file("out")))
    ASSERT_EQ(read_file(dir.file("out/" + name)), expected) << name;
}

// Progress is for a person at a terminal: never in a pipe or a file.
TEST(Batch, ProgressOnlyOnATerminal) {
  temp_dir dir;
  make_tree(dir);
  std::vector<std::string> arguments = {dir.file("in"), dir.file("out")};
  arguments.insert(arguments.end(), PARAMETERS.begin(), PARAMETERS.end());
  process_result pipe = batch({}, dir.file("in"), dir.file("out2"));
  EXPECT_EQ(pipe.err.find('\r'), std::string::npos) << pipe.err;
  SKIP_ON_WINDOWS("no pseudo-terminal to show the progress on");
  process_result terminal = run_program_in_terminal(BATCH, arguments);
  EXPECT_EQ(terminal.status, 1);
  EXPECT_NE(terminal.out.find(" of 8 files, "), std::string::npos) << terminal.out;
  // Only standard error decides: the summary may go anywhere.
  const struct {
    const char* redirect;
    bool progress;
  } streams[] = {{">/dev/null", true}, {"2>/dev/null", false}};
  for (const auto& c : streams) {
    std::vector<std::string> shell = {"-c", std::string("exec \"$0\" \"$@\" ") + c.redirect, BATCH,
                                      dir.file("in"), dir.file("out3")};
    shell.insert(shell.end(), PARAMETERS.begin(), PARAMETERS.end());
    process_result run = run_program_in_terminal("/bin/sh", shell);
    EXPECT_EQ(run.out.find(" of 8 files, ") != std::string::npos, c.progress) << c.redirect;
  }
}

// Folder arithmetic on the platform's separators: Windows users type backslashes and
// drive letters.
TEST(Paths, ParentsAndJoinsFollowThePlatformsSeparators) {
  const struct {
    std::string path;
    std::string parent;
  } parents[] = {
      {"name.bmp", ""},           {"/name.bmp", "/"},
      {"a/b/name.bmp", "a/b"},    {"a/b/", "a/b"},
#ifdef _WIN32
      {"a\\b\\name.bmp", "a\\b"}, {"a/b\\name.bmp", "a/b"},
      {"C:\\name.bmp", "C:\\"},   {"C:\\in\\name.bmp", "C:\\in"},
#else
      {"a\\b", ""},
#endif
  };
  for (const auto& c : parents) EXPECT_EQ(parent_of(c.path), c.parent) << c.path;
  // Joins use the platform's own separator, and shown paths keep backslashes single where
  // they separate: a shown path never mixes the two or doubles one.
  const struct {
    std::string folder;
    std::string joined;
    std::string shown;
  } joins[] = {
      {"in/", "in/x.bmp", "in/x.bmp"},
#ifdef _WIN32
      {"in", "in\\x.bmp", "in\\x.bmp"},
      {"C:\\in\\", "C:\\in\\x.bmp", "C:\\in\\x.bmp"},
      {"\\\\?\\C:\\in", "\\\\?\\C:\\in\\x.bmp", "\\\\?\\C:\\in\\x.bmp"},
#else
      {"in", "in/x.bmp", "in/x.bmp"},
      {"a\\b", "a\\b/x.bmp", "a\\\\b/x.bmp"},
#endif
  };
  for (const auto& c : joins) {
    EXPECT_EQ(path_under(c.folder, "x.bmp"), c.joined) << c.folder;
    EXPECT_EQ(visible_name(path_under(c.folder, "x.bmp")), c.shown) << c.folder;
  }
  EXPECT_EQ(resolved_drive_path("in"), "in");
  EXPECT_EQ(resolved_drive_path("C:\\in"), "C:\\in");
}

// A progress line is wiped with the erase-line sequence only where the console shows
// sequences; elsewhere (a Windows console without them) with spaces.
TEST(Batch, ProgressLinesAreWipedAsTheConsoleAllows) {
  const std::string drawn = "\r12 of 300 files, 0 failed";  // 25 characters shown
  EXPECT_EQ(clearing_text(true, drawn), "\r\x1b[K");
  EXPECT_EQ(clearing_text(false, drawn), "\r" + std::string(25, ' ') + "\r");
}

// PNG inputs beside bitmaps: each output in its input's format, or in one with
// --output-format, named for it; two inputs whose outputs would share a name do not.
TEST(Batch, TakesPngsAndWritesEachInItsFormat) {
  temp_dir dir;
  const std::pair<const char*, std::vector<unsigned char>> files[] = {
      {"a/one.png", png_sprite(10)},
      {"a/two.PNG", png_sprite(70)},
      {"b/three.bmp", sprite(30)},
      {"c/same.bmp", sprite(90)},
      {"c/same.png", png_sprite(90)}};
  for (const auto& [path, bytes] : files) {
    std::filesystem::create_directories(std::filesystem::path(in_tree(dir, path)).parent_path());
    write_file(in_tree(dir, path), bytes);
  }
  auto is_png = [](const std::vector<unsigned char>& bytes) {
    return bytes.size() > 8 && bytes[1] == 'P' && bytes[2] == 'N' && bytes[3] == 'G';
  };
  process_result plain = batch({"-j1"}, dir.file("in"), dir.file("out"));
  EXPECT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(files_under(dir.file("out")),
            (std::vector<std::string>{"a/one.png", "a/two.PNG", "b/three.bmp", "c/same.bmp",
                                      "c/same.png"}));
  EXPECT_TRUE(is_png(read_file(dir.file("out/a/two.PNG"))));
  EXPECT_EQ(read_file(dir.file("out/b/three.bmp")), translated_by_the_tool(dir, "b/three.bmp"));
  // As palette-translate writes it to a name ending in .png.
  run_program(TOOL, {in_tree(dir, "a/one.png"), dir.file("one.png"), "40", "40", "40", "30"});
  EXPECT_EQ(read_file(dir.file("out/a/one.png")), read_file(dir.file("one.png")));
  for (const char* format : {"png", "bmp"}) {
    std::string out = dir.file(std::string("out-") + format);
    process_result run =
        batch({"-j1", std::string("--output-format=") + format}, dir.file("in"), out);
    EXPECT_EQ(run.status, 1) << format;
    // The inputs come in name order: same.bmp keeps the name, same.png fails.
    EXPECT_EQ(run.err, in_tree(dir, "c/same.png") + ": the output " +
                           batch_joined(out, std::string("c/same.") + format) +
                           " is also that of " + in_tree(dir, "c/same.bmp") + "\n")
        << format;
    for (const char* name : {"a/one.", "a/two.", "b/three."}) {
      std::vector<unsigned char> bytes = read_file(out + "/" + name + format);
      EXPECT_EQ(is_png(bytes), format == std::string("png")) << name << format;
    }
  }
  EXPECT_EQ(batch({"--output-format", "gif"}, dir.file("in"), dir.file("x")).status, 2);
}

}  // namespace
