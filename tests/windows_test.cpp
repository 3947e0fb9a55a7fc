// What Windows does differently from POSIX, through the built .exe commands: whole
// statuses, CR LF console text, binary-exact files, Unicode names, mandatory locks,
// read-only outputs, replacing outputs and Ctrl-Break.

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "bmp_builder.h"
#include "memory_run.h"
#include "subprocess.h"
#include "tool_under_test.h"

namespace {

const std::string INSPECT = PALETTE_INSPECT_PATH;
const std::string BATCH = PALETTE_BATCH_PATH;
const std::vector<std::string> PARAMETERS = {"40", "40", "40", "30"};
const translation_parameters PARAMETER_VALUES = {40, 40, 40, 0.3f};

// 10 x 26 pixels, so that the header holds 0x0A and 0x1A, and pixel values 10, 13 and 26:
// every byte a text-mode write or read would change.
std::vector<unsigned char> text_hostile_image() {
  std::vector<std::vector<std::uint8_t>> rows;
  for (int row = 0; row < 26; ++row) {
    std::vector<std::uint8_t> pixels(10, 0);  // the background at the left
    for (int x = 1; x < 10; ++x) {
      constexpr std::uint8_t TEXT_BYTES[] = {10, 26, 13};
      pixels[x] = TEXT_BYTES[(row + x) % 3];
    }
    rows.push_back(pixels);
  }
  return build_bmp(image_with(distinct_palette(32), 32, rows));
}

std::vector<std::string> with_parameters(std::vector<std::string> arguments) {
  arguments.insert(arguments.end(), PARAMETERS.begin(), PARAMETERS.end());
  return arguments;
}

bool only_crlf_line_ends(const std::string& raw) {
  for (std::size_t at = raw.find('\n'); at != std::string::npos; at = raw.find('\n', at + 1))
    if (at == 0 || raw[at - 1] != '\r') return false;
  return true;
}

TEST(Windows, StatusesAreWholeAndConsoleLinesEndInCrLf) {
  temp_dir dir;
  write_file(dir.file("good.bmp"), text_hostile_image());
  write_file(dir.file("deep.bmp"), patched32(text_hostile_image(), 28, 24));
  write_file(dir.file("full.bmp"), build_bmp(full_palette_image({{7, 7, 200, 3}})));
  std::filesystem::create_directories(utf8_path(dir.file("in")));
  write_file(dir.file("in/good.bmp"), text_hostile_image());
  const struct {
    const char* name;
    std::string command;
    std::vector<std::string> arguments;
    int exit_code;
  } cases[] = {
      {"translate", TOOL, with_parameters({dir.file("good.bmp"), dir.file("out.bmp")}), 0},
      {"translate, too few", TOOL, {dir.file("good.bmp")}, -1},
      {"translate, 24-bit", TOOL, with_parameters({dir.file("deep.bmp"), dir.file("o.bmp")}), -2},
      {"translate, full", TOOL, with_parameters({dir.file("full.bmp"), dir.file("o.bmp")}), -3},
      {"inspect", INSPECT, {dir.file("good.bmp")}, 0},
      {"inspect, missing", INSPECT, {dir.file("missing.bmp")}, -1},
      {"inspect, 24-bit", INSPECT, {dir.file("deep.bmp")}, -2},
      {"inspect, full", INSPECT, {dir.file("full.bmp")}, -3},
      {"inspect, page", INSPECT, {"--html", dir.file("good.bmp")}, 0},
      {"batch", BATCH, with_parameters({dir.file("in"), dir.file("out")}), 0},
      {"batch, usage", BATCH, {dir.file("in")}, 2},
  };
  for (const auto& c : cases) {
    process_result result = run_program(c.command, c.arguments);
    EXPECT_EQ(result.exit_code, c.exit_code) << c.name << ": " << result.out;
    std::string console = result.raw_out + result.raw_err;
    EXPECT_NE(console.find("\r\n"), std::string::npos) << c.name;
    EXPECT_TRUE(only_crlf_line_ends(console)) << c.name << ": " << console;
  }
}

TEST(Windows, FilesAreWrittenByteForByteUnderAnyName) {
  temp_dir dir;
  const std::string name =
      "\xc3\xb1"
      "and\xc3\xba-\xe6\x97\xa5\xe6\x9c\xac.bmp";  // ñandú-日本
  std::vector<unsigned char> input = text_hostile_image();
  std::vector<unsigned char> expected = translated_bytes(input, PARAMETER_VALUES);
  for (unsigned char byte : {'\n', '\r', '\x1a'})
    ASSERT_NE(std::find(expected.begin(), expected.end(), byte), expected.end()) << int{byte};
  std::filesystem::create_directories(utf8_path(dir.file("in")));
  write_file(dir.file("in/" + name), input);

  process_result translated =
      run_program(TOOL, with_parameters({dir.file("in/" + name), dir.file(name)}));
  EXPECT_EQ(translated.status, 0) << translated.out;
  EXPECT_EQ(read_file(dir.file(name)), expected);
  // Messages carry the name as typed, in UTF-8.
  process_result refused = run_program(TOOL, with_parameters({dir.file(name), dir.file(name)}));
  std::string quoted_name = dir.file(name);
  quoted_name.insert(0, 1, '"');
  EXPECT_NE(refused.out.find(quoted_name + "\" names the input file"), std::string::npos)
      << refused.out;

  process_result inspected = run_program(INSPECT, {"--json", dir.file(name)});
  EXPECT_EQ(inspected.status, 0) << inspected.out;
  nlohmann::json document = nlohmann::json::parse(inspected.out);
  EXPECT_EQ(document["files"][0]["path"], dir.file(name));
  EXPECT_EQ(run_program(INSPECT, {dir.file(name)}).out.substr(0, dir.file(name).size()),
            dir.file(name));

  // An output already there is replaced whole.
  write_file(dir.file("out/" + name), std::vector<unsigned char>(5000, 'x'));
  process_result batch =
      run_program(BATCH, with_parameters({"--json", dir.file("in"), dir.file("out")}));
  EXPECT_EQ(batch.status, 0) << batch.err;
  EXPECT_EQ(read_file(dir.file("out/" + name)), expected);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(utf8_path(dir.file("out"))),
                          std::filesystem::directory_iterator()),
            1)
      << "no temporary file is left";
}

TEST(Windows, ALockedOutputIsWaitedFor) {
  temp_dir dir;
  write_file(dir.file("in.bmp"), text_hostile_image());
  write_file(dir.file("out.bmp"), {'o', 'l', 'd'});
  HANDLE held = CreateFileW(utf8_path(dir.file("out.bmp")).c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  OVERLAPPED whole{};
  ASSERT_TRUE(LockFileEx(held, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole));
  running_program run =
      start_program(TOOL, with_parameters({dir.file("in.bmp"), dir.file("out.bmp")}));
  EXPECT_FALSE(program_ended(run, 700)) << "the run went past another's lock";
  EXPECT_EQ(read_file(dir.file("out.bmp")), (std::vector<unsigned char>{'o', 'l', 'd'}));
  UnlockFileEx(held, 0, MAXDWORD, MAXDWORD, &whole);
  CloseHandle(held);
  process_result result = finish_program(run);
  EXPECT_EQ(result.status, 0) << result.out;
  EXPECT_EQ(read_file(dir.file("out.bmp")),
            translated_bytes(text_hostile_image(), PARAMETER_VALUES));
}

TEST(Windows, AReadOnlyOutputIsRefusedWithTheOpenMessage) {
  temp_dir dir;
  write_file(dir.file("in.bmp"), text_hostile_image());
  write_file(dir.file("out.bmp"), {'o', 'l', 'd'});
  namespace fs = std::filesystem;
  fs::permissions(utf8_path(dir.file("out.bmp")),
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  HANDLE writable = CreateFileW(utf8_path(dir.file("out.bmp")).c_str(), GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
  if (writable != INVALID_HANDLE_VALUE) {
    CloseHandle(writable);
    fs::permissions(utf8_path(dir.file("out.bmp")), fs::perms::owner_write, fs::perm_options::add);
    GTEST_SKIP() << "this system lets the user write a read-only file (Wine run as root)";
  }
  process_result result =
      run_program(TOOL, with_parameters({dir.file("in.bmp"), dir.file("out.bmp")}));
  EXPECT_EQ(result.exit_code, -1);
  EXPECT_EQ(result.out, BANNER + "\nError:_open failed.\n  Filename:\"" + dir.file("out.bmp") +
                            "\"\n  Mode=33538");
  EXPECT_EQ(read_file(dir.file("out.bmp")), (std::vector<unsigned char>{'o', 'l', 'd'}));
  fs::permissions(utf8_path(dir.file("out.bmp")), fs::perms::owner_write, fs::perm_options::add);
}

// Ctrl-Break reaches a process group that shares the test's console; the batch finishes
// what it writes, says its summary and ends as Ctrl-C ends a console program.
TEST(Windows, CtrlBreakStopsABatchCleanly) {
  if (GetConsoleWindow() == nullptr && !AllocConsole())
    GTEST_SKIP() << "no console to send Ctrl-Break through";
  temp_dir dir;
  constexpr int FILES = 2000;
  std::filesystem::create_directories(utf8_path(dir.file("in")));
  for (int i = 0; i < FILES; ++i)
    write_file(dir.file("in/" + std::to_string(i) + ".bmp"), text_hostile_image());
  running_program run =
      start_program(BATCH, with_parameters({"-j1", dir.file("in"), dir.file("out")}), true);
  for (int wait = 0; wait < 5000 && !file_exists(dir.file("out/0.bmp")); ++wait) Sleep(1);
  if (!GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, run.id)) {
    TerminateProcess(static_cast<HANDLE>(run.process), 1);
    finish_program(run);
    GTEST_SKIP() << "the console refused the Ctrl-Break event";
  }
  process_result result = finish_program(run);
  EXPECT_EQ(static_cast<DWORD>(result.exit_code), STATUS_CONTROL_C_EXIT) << result.out;
  EXPECT_NE(result.out.find(" not started"), std::string::npos) << result.out;
  for (const auto& entry : std::filesystem::directory_iterator(utf8_path(dir.file("out"))))
    EXPECT_NE(entry.path().filename().string()[0], '.') << "a temporary file is left";
}

}  // namespace
