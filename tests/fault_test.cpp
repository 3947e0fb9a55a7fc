// Hostile files and parameters through the built tool: every one ends with a defined status
// and message, nothing hangs, and the input is never changed.

#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <filesystem>
#include <map>

#include "bmp_builder.h"
#include "image/byte_order.h"
#include "png_builder.h"
#include "subprocess.h"
#include "tool_under_test.h"

namespace {

// 4 x 2, 16 colours used, pixel rows at 118, 126 bytes.
std::vector<unsigned char> base_image() {
  return build_bmp(image_with(distinct_palette(16), 16, {{0, 3, 7, 15}, {1, 2, 40, 9}}));
}

std::vector<unsigned char> with_field(std::size_t at, std::uint32_t value) {
  return patched32(base_image(), at, value);
}

std::vector<unsigned char> cut_to(std::size_t length) {
  std::vector<unsigned char> bytes = base_image();
  bytes.resize(length);
  return bytes;
}

process_result translate(const std::string& in, const std::string& out) {
  return run_program(TOOL, {in, out, "40", "40", "40", "30"});
}

// What the tool said after the banner.
std::string message_of(const process_result& result) {
  return result.out.compare(0, BANNER.size(), BANNER) == 0 ? result.out.substr(BANNER.size())
                                                           : "<no banner>";
}

bool one_line_message(const std::string& message) {
  return message.size() > 1 && message[0] == '\n' && message.find('\n', 1) == std::string::npos;
}

struct hostile_file {
  const char* name;
  std::vector<unsigned char> bytes;
  int status;  // 0, 253, 254
};

TEST(HostileInput, TruncatedFilesAndExtremeHeaderFields) {
  constexpr std::uint32_t MAX = 0x7FFFFFFF;
  constexpr std::uint32_t MIN = 0x80000000;
  const std::size_t size = base_image().size();
  const hostile_file cases[] = {
      {"0 bytes", cut_to(0), 254},
      {"1 byte", cut_to(1), 254},
      {"13 bytes", cut_to(13), 254},
      {"14 bytes", cut_to(14), 254},
      {"17 bytes", cut_to(17), 254},
      {"53 bytes", cut_to(53), 254},
      {"54 bytes", cut_to(54), 254},
      {"inside the palette", cut_to(90), 254},
      {"inside the pixel rows", cut_to(size - 3), 254},
      {"width 2^31-1", with_field(18, MAX), 254},
      {"width -(2^31-1)", with_field(18, 0x80000001), 254},
      {"width -2^31", with_field(18, MIN), 254},
      {"width 0", with_field(18, 0), 0},
      {"width 1", with_field(18, 1), 0},
      {"height 2^31-1", with_field(22, MAX), 254},
      {"height -(2^31-1)", with_field(22, 0x80000001), 254},
      {"height -2^31", with_field(22, MIN), 254},
      {"height 0", with_field(22, 0), 254},
      {"height 1", with_field(22, 1), 0},
      {"height -1", with_field(22, 0xFFFFFFFF), 0},
      {"pixel offset 0", with_field(10, 0), 254},
      {"pixel offset 53", with_field(10, 53), 254},
      {"pixel offset 54", with_field(10, 54), 0},
      {"pixel offset at the end", with_field(10, static_cast<std::uint32_t>(size)), 254},
      {"pixel offset past the end", with_field(10, static_cast<std::uint32_t>(size + 1)), 254},
      {"pixel offset 2^32-1", with_field(10, 0xFFFFFFFF), 254},
      {"info header size 0", with_field(14, 0), 0},
      {"info header size 2^32-1", with_field(14, 0xFFFFFFFF), 0},
      {"colours used -1", with_field(46, 0xFFFFFFFF), 254},
      {"colours used 255", with_field(46, 255), 253},
      {"colours used 256", with_field(46, 256), 0},
      {"colours used 257", with_field(46, 257), 253},
      {"colours used 2^31-1", with_field(46, MAX), 253},
  };
  for (const hostile_file& c : cases) {
    temp_dir dir;
    write_file(dir.file("in.bmp"), c.bytes);
    process_result result = translate(dir.file("in.bmp"), dir.file("out.bmp"));
    EXPECT_EQ(result.status, c.status) << c.name << ": " << result.out;
    EXPECT_EQ(read_file(dir.file("in.bmp")), c.bytes) << c.name;
    std::vector<unsigned char> out = read_file(dir.file("out.bmp"));
    if (c.status == 0) {
      EXPECT_EQ(message_of(result), "") << c.name;
      ASSERT_GE(out.size(), 1078u) << c.name;
      EXPECT_EQ(read_le32(out.data() + 2), out.size()) << c.name;
    } else {
      EXPECT_TRUE(one_line_message(message_of(result))) << c.name << ": " << result.out;
      EXPECT_EQ(out.size(), 0u) << c.name;
    }
  }
}

TEST(HostileInput, FilesThatAreNotRegularFiles) {
  temp_dir dir;
  write_file(dir.file("in.bmp"), base_image());
  ASSERT_TRUE(std::filesystem::create_directory(dir.file("folder")));
  struct not_a_file {
    const char* name;
    std::string in;
    std::string out;
    std::string diagnostic;  // what the message starts with
  };
  std::vector<not_a_file> cases = {
      {"directory as input", dir.file("folder"), dir.file("out.bmp"),
       "\nError:_open failed.\n  Filename:\"" + dir.file("folder") + "\"\n  Mode=32768"},
      {"directory as output", dir.file("in.bmp"), dir.file("folder"),
       "\nError:_open failed.\n  Filename:\"" + dir.file("folder") + "\"\n  Mode=33538"},
      {"output in a missing directory", dir.file("in.bmp"), dir.file("none/out.bmp"),
       "\nError:_open failed.\n  Filename:\"" + dir.file("none/out.bmp") + "\"\n  Mode=33538"},
  };
#ifndef _WIN32
  ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
  cases.push_back({"FIFO as input", dir.file("fifo"), dir.file("out.bmp"),
                   "\nError:_lseek failed.\n  File handle="});
  cases.push_back({"full device as output", dir.file("in.bmp"), "/dev/full",
                   "\nError: _write failed.\n  File handle="});
#endif
  for (const auto& c : cases) {
    process_result result = translate(c.in, c.out);
    EXPECT_EQ(result.status, 255) << c.name;
    EXPECT_EQ(message_of(result).substr(0, c.diagnostic.size()), c.diagnostic)
        << c.name << ": " << result.out;
  }
  EXPECT_EQ(read_file(dir.file("in.bmp")), base_image());
}

TEST(HostileInput, TooLargeInputIsRejectedBeforeAllocation) {
  temp_dir dir;
  std::string path = dir.file("huge.bmp");
  write_file(path, base_image());
  std::error_code error;
  std::filesystem::resize_file(path, 2147482624, error);
  bool sparse = !error;
  if (!sparse) GTEST_SKIP() << "this file system cannot make a sparse 2 GiB file";
  process_result result = translate(path, dir.file("out.bmp"));
  EXPECT_EQ(result.status, 254);
  // The same words on every platform: the size is read in 64 bits everywhere.
  EXPECT_EQ(message_of(result),
            "\nThe input is too large: it must be smaller than 2147482624 bytes.")
      << result.out;
  EXPECT_EQ(std::filesystem::file_size(path), 2147482624u);
  EXPECT_EQ(std::filesystem::file_size(dir.file("out.bmp")), 0u);
}

TEST(HostileInput, ParametersOfAnyShape) {
  const std::vector<std::vector<std::string>> parameter_sets = {
      {"", "", "", ""},
      {"-2147483648", "-2147483648", "-2147483648", "-2147483648"},
      {"2147483647", "2147483647", "2147483647", "2147483647"},
      {"99999999999999999999", "abc", "\t-0", "1e9"},
      {"255", "255", "255", "100000"},
  };
  for (const auto& parameters : parameter_sets) {
    temp_dir dir;
    write_file(dir.file("in.bmp"), base_image());
    std::vector<std::string> arguments = {dir.file("in.bmp"), dir.file("out.bmp")};
    arguments.insert(arguments.end(), parameters.begin(), parameters.end());
    process_result result = run_program(TOOL, arguments);
    EXPECT_EQ(result.status, 0) << parameters[0];
    EXPECT_EQ(result.out, BANNER) << parameters[0];
  }
}

}  // namespace

namespace {

#ifndef _WIN32
// 100 x 100: its output (11,478 bytes) is larger than the limits the tests set.
std::vector<unsigned char> large_image() {
  std::vector<std::vector<std::uint8_t>> rows;
  for (int row = 0; row < 100; ++row)
    rows.push_back(std::vector<std::uint8_t>(100, static_cast<std::uint8_t>(row % 16)));
  return build_bmp(image_with(distinct_palette(16), 16, rows));
}

std::string shell_quoted(const std::string& path) {
  return "'" + path + "'";
}

std::string translate_command(const std::string& in, const std::string& out) {
  return shell_quoted(TOOL) + " " + shell_quoted(in) + " " + shell_quoted(out) + " 40 40 40 30";
}

// What a run with ordinary descriptors writes for the file.
std::vector<unsigned char> expected_output(const temp_dir& dir, const std::string& in) {
  EXPECT_EQ(translate(in, dir.file("expected.bmp")).status, 0);
  return read_file(dir.file("expected.bmp"));
}

struct stream_case {
  const char* name;
  std::string script;  // IN, BAD and OUT stand for the files
  int status;
  bool complete;  // the output is the whole translation; otherwise empty
};

#endif

TEST(ProcessEdges, StreamsAndLimitsNeverSpoilTheOutput) {
  SKIP_ON_WINDOWS("the cases are bash scripts");
#ifndef _WIN32
  const stream_case cases[] = {
      {"output is standard output", "TOOL IN /dev/stdout 40 40 40 30 > OUT", 0, true},
      {"standard streams closed, refused input", "TOOL BAD OUT 40 40 40 30 <&- >&-", 254, false},
      {"standard streams closed", "TOOL IN OUT 40 40 40 30 <&- >&- 2>&-", 0, true},
      {"console pipe already closed",
       "{ sleep 0.3; TOOL IN OUT 40 40 40 30; } | true; exit ${PIPESTATUS[0]}", 0, true},
      {"file size limit", "ulimit -f 4; TOOL IN OUT 40 40 40 30", 255, false},
  };
  for (const stream_case& c : cases) {
    temp_dir dir;
    write_file(dir.file("in.bmp"), large_image());
    write_file(dir.file("bad.bmp"), with_field(28, 2));
    std::string script = c.script;
    for (auto [word, path] : {std::pair{"TOOL", TOOL},
                              {"IN", dir.file("in.bmp")},
                              {"BAD", dir.file("bad.bmp")},
                              {"OUT", dir.file("out.bmp")}}) {
      for (std::size_t at = script.find(word); at != std::string::npos;
           at = script.find(word, at + path.size() + 2))
        script.replace(at, std::string(word).size(), shell_quoted(path));
    }
    process_result result = run_shell(script);
    EXPECT_EQ(result.status, c.status) << c.name << ": " << result.out;
    std::vector<unsigned char> written = read_file(dir.file("out.bmp"));
    if (c.complete) {
      EXPECT_EQ(written, expected_output(dir, dir.file("in.bmp"))) << c.name;
    } else {
      EXPECT_EQ(written.size(), 0u) << c.name;
    }
  }
#endif
}

TEST(ProcessEdges, FullDiskLeavesAnEmptyOutput) {
  SKIP_ON_WINDOWS("it mounts a tiny tmpfs");
#ifndef _WIN32
  temp_dir dir;
  write_file(dir.file("in.bmp"), large_image());
  ASSERT_EQ(mkdir(dir.file("small").c_str(), 0700), 0);
  // A private mount namespace keeps the tiny file system from anyone else.
  process_result result = run_shell(
      "unshare -m bash -c " +
      shell_quoted("mount -t tmpfs -o size=8k tmpfs " + dir.file("small") + " || exit 99; " +
                   translate_command(dir.file("in.bmp"), dir.file("small/out.bmp")) +
                   "; status=$?; echo; echo \"size=$(stat -c %s " + dir.file("small/out.bmp") +
                   ") status=$status\""));
  if (result.status != 0) GTEST_SKIP() << "no private tmpfs here: " << result.out;
  EXPECT_NE(result.out.find("\nError: _write failed."), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("size=0 status=255"), std::string::npos) << result.out;
#endif
}

TEST(ProcessEdges, RenamingTheOutputDuringTheRunNeverReachesTheInput) {
  SKIP_ON_WINDOWS("it forks a process that swaps links");
#ifndef _WIN32
  temp_dir dir;
  std::string input = dir.file("in.bmp");
  write_file(input, large_image());
  // A child swaps the output name between a plain file and a link to the input.
  pid_t swapper = fork();
  if (swapper == 0) {
    for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
         std::chrono::steady_clock::now() < end;) {
      (void)symlink(input.c_str(), dir.file("link").c_str());
      (void)rename(dir.file("link").c_str(), dir.file("out.bmp").c_str());
      write_file(dir.file("plain"), {});
      (void)rename(dir.file("plain").c_str(), dir.file("out.bmp").c_str());
    }
    _exit(0);
  }
  for (int run = 0; run < 150; ++run) {
    process_result result = translate(input, dir.file("out.bmp"));
    ASSERT_TRUE(result.status == 0 || result.status == 255) << result.out;
    ASSERT_EQ(read_file(input), large_image()) << "run " << run << ": " << result.out;
  }
  kill(swapper, SIGKILL);
  waitpid(swapper, nullptr, 0);
#endif
}

TEST(ProcessEdges, RunsOnOneOutputFollowEachOther) {
  SKIP_ON_WINDOWS("the runs start from bash");
#ifndef _WIN32
  temp_dir dir;
  write_file(dir.file("a.bmp"), large_image());
  write_file(dir.file("b.bmp"), base_image());
  std::vector<unsigned char> a = expected_output(dir, dir.file("a.bmp"));
  std::vector<unsigned char> b = expected_output(dir, dir.file("b.bmp"));
  std::string out = dir.file("out.bmp");
  std::string pair = translate_command(dir.file("a.bmp"), out) + " & " +
                     translate_command(dir.file("b.bmp"), out) + " & wait";
  for (int round = 0; round < 150; ++round) {
    run_shell(pair + " >/dev/null");
    std::vector<unsigned char> written = read_file(out);
    ASSERT_TRUE(written == a || written == b) << "round " << round << ": " << written.size();
  }
#endif
}

#ifndef _WIN32
// A sanitizer's shadow memory cannot be had under an address-space limit.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool SANITIZED = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool SANITIZED = true;
#else
constexpr bool SANITIZED = false;
#endif
#else
constexpr bool SANITIZED = false;
#endif

// Why a command cannot be run under an address-space limit here, or null.
const char* address_limits_unavailable() {
  if (SANITIZED) return "the sanitizers' shadow memory needs more address space";
#ifdef PALETTE_COMMANDS_EMULATED
  return "an emulator cannot run its guest under an address-space limit";
#else
  return nullptr;
#endif
}

// A run of one command that writes `output` (a file, a folder, or "" for standard output).
struct limited_command {
  const char* name;
  std::string command;
  std::string output;
  int step_mib = 16;  // the limits run from 16 MiB to last_mib in these steps
  int last_mib = 512;
};

// What a finished run left: the output file's bytes, every file of the output folder by
// name, or what it printed.
std::map<std::string, std::vector<unsigned char>> left_by(const limited_command& c,
                                                          const process_result& result) {
  std::map<std::string, std::vector<unsigned char>> left;
  if (c.output.empty()) {
    left[""] = std::vector<unsigned char>(result.out.begin(), result.out.end());
  } else if (std::filesystem::is_directory(c.output)) {
    for (const auto& entry : std::filesystem::directory_iterator(c.output))
      left[entry.path().filename().string()] = read_file(entry.path().string());
  } else if (std::filesystem::exists(c.output)) {
    left[""] = read_file(c.output);
  }
  return left;
}

#endif

// Every command under address-space limits from 16 to 512 MiB (an RGBA PNG in steps of one
// up to 64, where its bands and its U part ways): each run ends with its whole
// output or with the out-of-memory refusal and nothing half-written, never by a signal.
TEST(ProcessEdges, EveryMemoryLimitEndsWholeOrWithTheOutOfMemoryRefusal) {
  SKIP_ON_WINDOWS("address-space limits are set from bash");
#ifndef _WIN32
  if (const char* why = address_limits_unavailable()) GTEST_SKIP() << why;
  temp_dir dir;
  std::filesystem::create_directories(dir.file("in"));
  constexpr int SIZE = 4000;
  std::vector<std::vector<std::uint8_t>> rows(SIZE, std::vector<std::uint8_t>(SIZE, 0));
  for (int y = 0; y < SIZE; y += 3)
    for (int x = 0; x < SIZE; x += 2) rows[y][x] = static_cast<std::uint8_t>((x / 7 + y) % 200);
  write_file(dir.file("in/big.bmp"), build_bmp(image_with(distinct_palette(200), 200, rows)));
  png_recipe png;
  png.width = png.height = SIZE;
  png.palette = distinct_palette(200);
  png.rows = rows;
  write_file(dir.file("in/big-png.png"), build_png(png));
  // True colour is read in bands taken outside the checked allocations: a limit that lets
  // U be had and not a band must still end with the refusal, never a run that looks done.
  png_recipe rgba = png;
  rgba.color_type = 6;
  rgba.palette.clear();
  rgba.rows.assign(SIZE, std::vector<std::uint8_t>(SIZE * 4, 0));
  for (int y = 0; y < SIZE; y += 3)
    for (int x = 0; x < SIZE; x += 50) {
      rgba.rows[y][x * 4] = static_cast<std::uint8_t>((x / 7 + y) % 200);
      rgba.rows[y][x * 4 + 3] = 255;
    }
  write_file(dir.file("rgba.png"), build_png(rgba));
  const std::string refused = "Not enough memory to translate the picture.";
  const std::string inspect = shell_quoted(PALETTE_INSPECT_PATH);
  const std::string batch = shell_quoted(PALETTE_BATCH_PATH);
  const limited_command commands[] = {
      {"a bitmap", translate_command(dir.file("in/big.bmp"), dir.file("out.bmp")),
       dir.file("out.bmp")},
      {"a PNG to a PNG", translate_command(dir.file("in/big-png.png"), dir.file("out.png")),
       dir.file("out.png")},
      {"an RGBA PNG", translate_command(dir.file("rgba.png"), dir.file("out.png")),
       dir.file("out.png"), 1, 64},
      {"inspect",
       inspect + " " + shell_quoted(dir.file("in/big.bmp")) + " " +
           shell_quoted(dir.file("in/big-png.png")),
       ""},
      {"batch",
       batch + " " + shell_quoted(dir.file("in")) + " " + shell_quoted(dir.file("out")) +
           " 40 40 40 30",
       dir.file("out")},
  };
  for (const limited_command& c : commands) {
    std::filesystem::remove_all(c.output.empty() ? dir.file("none") : c.output);
    process_result whole = run_shell(c.command + " 2>&1");
    ASSERT_EQ(whole.status, 0) << c.name << ": " << whole.out;
    const auto expected = left_by(c, whole);
    for (int mib = 16; mib <= c.last_mib; mib += c.step_mib) {
      if (!c.output.empty()) std::filesystem::remove_all(c.output);
      process_result result =
          run_shell("ulimit -v " + std::to_string(mib * 1024) + "; " + c.command + " 2>&1");
      const std::string where = std::string(c.name) + " at " + std::to_string(mib) + " MiB";
      auto left = left_by(c, result);
      if (result.status == 0) {
        EXPECT_EQ(left, expected) << where;
        continue;
      }
      bool said = result.out.find(refused) != std::string::npos ||
                  result.out.find("Error:malloc failed.") != std::string::npos;
      EXPECT_TRUE(said) << where << ": " << result.out;
      if (c.output == dir.file("out")) {
        // The files that fit are whole; the others are not there at all.
        EXPECT_EQ(result.status, 1) << where;
        for (const auto& [name, bytes] : left) EXPECT_EQ(bytes, expected.at(name)) << where;
      } else {
        EXPECT_EQ(result.status, 255) << where;
        if (!c.output.empty()) {
          EXPECT_TRUE(left.empty() || left[""].empty()) << where;
        }
      }
    }
  }
#endif
}

// Memory the translation asks for and is refused (a small RLE file whose 8-bit rows need
// 256 MB) is said as the failed call, with its size, never as the refusal's own words.
TEST(ProcessEdges, ADecodedFormsMemoryRefusedIsTheFailedCall) {
  SKIP_ON_WINDOWS("address-space limits are set from bash");
#ifndef _WIN32
  if (const char* why = address_limits_unavailable()) GTEST_SKIP() << why;
  temp_dir dir;
  bmp_recipe rle = image_with(distinct_palette(16), 16, {std::vector<std::uint8_t>(16000, 1)});
  rle.height = 16000;
  rle.compression = 1;
  write_file(dir.file("rle.bmp"), build_bmp(rle));
  process_result result =
      run_shell("ulimit -v 131072; " + translate_command(dir.file("rle.bmp"), dir.file("out.bmp")));
  EXPECT_EQ(result.status, 255) << result.out;
  EXPECT_NE(result.out.find("Error:malloc failed.\n  Size: 256001078 bytes"), std::string::npos)
      << result.out;
  EXPECT_EQ(result.out.find("Not enough memory"), std::string::npos) << result.out;
#endif
}

// On one processor a big bitmap's rows go out a band at a time: they are the bytes a run
// on every processor writes. A write that fails part way (the file-size limit) ends the
// run as a failed call, and a refusal found only in the last band (a guessed used count
// that its last pixel breaks and fills) as that refusal, each with the output cut back to
// nothing, not a part of a picture.
TEST(ProcessEdges, RowsStreamedOnOneProcessorAndAWriteThatFailsPartWay) {
  SKIP_ON_WINDOWS("the processor and the file-size limit are set from bash");
#ifndef _WIN32
  temp_dir dir;
  constexpr int SIZE = 4000;
  std::vector<std::vector<std::uint8_t>> rows(SIZE, std::vector<std::uint8_t>(SIZE - 3, 0));
  for (int y = 0; y < SIZE; ++y)
    for (int x = 0; x < SIZE - 3; x += 5) rows[y][x] = static_cast<std::uint8_t>((x / 7 + y) % 20);
  write_file(dir.file("big.bmp"), build_bmp(image_with(distinct_palette(20), 20, rows)));
  const std::string command = translate_command(dir.file("big.bmp"), dir.file("out.bmp"));
  ASSERT_EQ(run_shell(command + " 2>&1").status, 0);
  const std::vector<unsigned char> whole = read_file(dir.file("out.bmp"));
  process_result one = run_shell("taskset -c 0 " + command + " 2>&1");
  ASSERT_EQ(one.status, 0) << one.out;
  EXPECT_EQ(read_file(dir.file("out.bmp")), whole);
  process_result cut = run_shell("trap '' XFSZ; ulimit -f 4096; taskset -c 0 " + command + " 2>&1");
  EXPECT_EQ(cut.status, 255) << cut.out;
  EXPECT_NE(cut.out.find("Error: _write failed."), std::string::npos) << cut.out;
  EXPECT_TRUE(read_file(dir.file("out.bmp")).empty());
  std::vector<rgb> padded = distinct_palette(20);
  padded.resize(256);  // black above: the used count is guessed from the palette
  rows.back().back() = 255;
  write_file(dir.file("guessed.bmp"), build_bmp(image_with(padded, 0, rows)));
  process_result full =
      run_shell("taskset -c 0 " + shell_quoted(TOOL) + " " + shell_quoted(dir.file("guessed.bmp")) +
                " " + shell_quoted(dir.file("out.bmp")) + " 0 0 0 0 2>&1");
  EXPECT_EQ(full.status, 253) << full.out;
  EXPECT_TRUE(read_file(dir.file("out.bmp")).empty());
#endif
}

}  // namespace
