// What Windows does differently from POSIX, through the built .exe commands: whole
// statuses, CR LF console text, binary-exact files, Unicode names, mandatory locks,
// read-only outputs, replacing outputs and Ctrl-Break; long, backslash-only, \\?\ and
// drive-relative paths, links across drives, reparse points and outputs held by others.

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "bmp_builder.h"
#include "kit/html_card.h"
#include "memory_run.h"
#include "os/relative_path.h"
#include "os/windows/file_handles.h"
#include "subprocess.h"
#include "tool_under_test.h"
#include "whole_files.h"

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
  write_file(dir.file("odd.bmp"), patched32(text_hostile_image(), 28, 2));
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
      {"translate, 2-bit", TOOL, with_parameters({dir.file("odd.bmp"), dir.file("o.bmp")}), -2},
      {"translate, full", TOOL, with_parameters({dir.file("full.bmp"), dir.file("o.bmp")}), -3},
      {"inspect", INSPECT, {dir.file("good.bmp")}, 0},
      {"inspect, missing", INSPECT, {dir.file("missing.bmp")}, -1},
      {"inspect, 2-bit", INSPECT, {dir.file("odd.bmp")}, -2},
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
  // The wait is said once, so that the run does not look hung.
  EXPECT_EQ(result.err, "palette-translate: " + dir.file("out.bmp") +
                            " is locked by another program; waiting for it\n");
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

// The path with every '/' as '\', as Windows users type it.
std::string backslashed(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

// Every picture the page links (data: pictures aside) as the file it names, on the page's
// drive or through a file: URL on another: the files that are not there.
std::vector<std::string> missing_linked_files(const std::string& page_path) {
  std::vector<std::uint8_t> bytes = read_file(page_path);
  std::string page(bytes.begin(), bytes.end());
  std::string folder = std::filesystem::path(utf8_path(page_path)).parent_path().generic_string();
  std::vector<std::string> missing;
  for (const std::string& link : attribute_values(page, "src")) {
    if (link.starts_with("data:")) continue;
    std::string path = percent_decoded(link);
    path = path.starts_with("file:///") ? path.substr(8) : folder + "/" + path;
    if (!file_exists(path)) missing.push_back(link);
  }
  return missing;
}

// A tree deeper than 260 characters, named as made, with backslashes only and in the
// \\?\ form, through all three commands and the report page.
TEST(Windows, LongAndOddlySpelledPathsReachEveryCommand) {
  temp_dir dir;
  std::string deep = dir.path;
  for (int i = 0; deep.size() < 320; ++i) deep += "/a-folder-with-a-long-name-" + std::to_string(i);
  std::filesystem::create_directories(utf8_path(deep + "/in/sub"));
  write_file(deep + "/in/sub/a.bmp", text_hostile_image());
  std::vector<unsigned char> expected = translated_bytes(text_hostile_image(), PARAMETER_VALUES);
  const struct {
    const char* name;
    std::string root;
    std::string separator;
  } spellings[] = {
      {"as made", deep, "/"},
      {"backslashes only", backslashed(deep), "\\"},
      {"the \\\\?\\ form", "\\\\?\\" + backslashed(deep), "\\"},
  };
  int k = 0;
  for (const auto& c : spellings) {
    auto at = [&](const std::string& name) { return c.root + c.separator + name; };
    std::string tag = std::to_string(k++);
    std::string input = at("in" + c.separator + "sub" + c.separator + "a.bmp");
    process_result translated =
        run_program(TOOL, with_parameters({input, at("out" + tag + ".bmp")}));
    EXPECT_EQ(translated.exit_code, 0) << c.name << ": " << translated.out;
    EXPECT_EQ(read_file(deep + "/out" + tag + ".bmp"), expected) << c.name;
    process_result inspected = run_program(INSPECT, {"--json", input});
    EXPECT_EQ(inspected.exit_code, 0) << c.name << ": " << inspected.out;
    process_result batch = run_program(
        BATCH,
        with_parameters({"--report", at("page" + tag + ".html"), at("in"), at("batch" + tag)}));
    EXPECT_EQ(batch.exit_code, 0) << c.name << ": " << batch.err;
    EXPECT_EQ(read_file(deep + "/batch" + tag + "/sub/a.bmp"), expected) << c.name;
    EXPECT_EQ(missing_linked_files(deep + "/page" + tag + ".html"), std::vector<std::string>{})
        << c.name;
  }
  for (const std::string& command : {TOOL, INSPECT, BATCH}) {
    std::vector<std::uint8_t> program = read_file(command);
    std::string text(program.begin(), program.end());
    EXPECT_NE(text.find("<longPathAware"), std::string::npos) << command << " has no manifest";
  }
}

// "C:" alone is the current folder of drive C:, not its root; a page on another drive
// links its files by file: URLs that resolve, whatever case the drive letters are in.
TEST(Windows, DriveRelativePathsAndPagesOnAnotherDrive) {
  temp_dir dir;
  std::filesystem::create_directories(utf8_path(dir.file("in")));
  write_file(dir.file("in/a.bmp"), text_hostile_image());
  std::string drive = dir.path.substr(0, 2);
  ASSERT_EQ(drive[1], ':') << dir.path;
  process_result run = run_program_in(
      dir.path, BATCH, with_parameters({"--report", drive + "page.html", drive + "in", drive}));
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(read_file(dir.file("a.bmp")), translated_bytes(text_hostile_image(), PARAMETER_VALUES));
  EXPECT_EQ(missing_linked_files(dir.file("page.html")), std::vector<std::string>{});

  // Wine gives / the letter Z:, beside C: for its own tree.
  std::string other = drive == "Z:" || drive == "z:" ? "C:/windows/temp" : "Z:/tmp";
  std::string page = other + "/palette-page-" + std::to_string(GetCurrentProcessId()) + ".html";
  if (!std::filesystem::is_directory(utf8_path(other))) GTEST_SKIP() << "no second drive";
  std::string lower = dir.path;
  lower[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(lower[0])));
  run = run_program(BATCH, with_parameters({"--report", page, lower + "/in", dir.file("out")}));
  EXPECT_EQ(run.exit_code, 0) << run.err;
  std::vector<std::uint8_t> bytes = read_file(page);
  std::string text(bytes.begin(), bytes.end());
  EXPECT_NE(text.find("src=\"file:///"), std::string::npos) << "no file: link across drives";
  EXPECT_EQ(missing_linked_files(page), std::vector<std::string>{});
  std::filesystem::remove(utf8_path(page));
  // One drive spelled in two cases is one drive: the link is relative.
  EXPECT_EQ(relative_path_from(lower + "/pages", dir.path + "/in/a.bmp"), "../in/a.bmp");
  EXPECT_EQ(relative_path_from("z:/pages", "Z:/in/a.bmp"), "../in/a.bmp");
  EXPECT_EQ(relative_path_from("a:/pages", "A:/in/a.bmp"), "../in/a.bmp");
  EXPECT_EQ(file_link("D:/art/x.bmp"), "file:///D:/art/x.bmp");
}

// Failure lines, usage errors and inspect's header show each backslash once.
TEST(Windows, ShownPathsHoldEachBackslashOnce) {
  temp_dir dir;
  std::filesystem::create_directories(utf8_path(dir.file("in")));
  write_file(dir.file("in/broken.bmp"), {'B', 'M', 1, 2, 3});
  write_file(dir.file("good.bmp"), text_hostile_image());
  std::string root = backslashed(dir.path);
  process_result batch = run_program(BATCH, with_parameters({root + "\\in", root + "\\out"}));
  EXPECT_NE(batch.err.find(root + "\\in\\broken.bmp: "), std::string::npos) << batch.err;
  process_result missing =
      run_program(TOOL, with_parameters({root + "\\missing.bmp", root + "\\o.bmp"}));
  EXPECT_NE(missing.out.find("\"" + root + "\\missing.bmp\""), std::string::npos) << missing.out;
  process_result inspected = run_program(INSPECT, {root + "\\good.bmp"});
  EXPECT_EQ(inspected.out.substr(0, root.size() + 9), root + "\\good.bmp") << inspected.out;
  for (const std::string& text : {batch.err, missing.out, inspected.out})
    EXPECT_EQ(text.find("\\\\"), std::string::npos) << text;
}

// Only name surrogates lead elsewhere: cloud-synced and deduplicated folders are walked.
TEST(Windows, OnlySymbolicLinksAndJunctionsAreLinks) {
  const struct {
    const char* name;
    DWORD tag;
    bool link;
  } tags[] = {
      {"symbolic link", IO_REPARSE_TAG_SYMLINK, true},
      {"junction", IO_REPARSE_TAG_MOUNT_POINT, true},
      {"OneDrive, Dropbox (cloud files)", 0x9000001A, false},
      {"cloud files, a placeholder flavour", 0x9000601A, false},
      {"OneDrive (old)", 0x80000021, false},
      {"deduplication", IO_REPARSE_TAG_DEDUP, false},
      {"app execution alias", 0x8000001B, false},
      {"Unix socket", 0x80000023, false},
  };
  for (const auto& c : tags) EXPECT_EQ(is_link_tag(c.tag), c.link) << c.name;

  temp_dir dir;
  std::filesystem::create_directories(utf8_path(dir.file("in/real")));
  std::filesystem::create_directories(utf8_path(dir.file("elsewhere")));
  write_file(dir.file("in/real/a.bmp"), text_hostile_image());
  write_file(dir.file("elsewhere/b.bmp"), text_hostile_image());
  process_result made =
      run_program("cmd", {"/c", "mklink", "/J", backslashed(dir.file("in/joined")),
                          backslashed(dir.file("elsewhere"))});
  if (made.exit_code != 0 || !file_exists(dir.file("in/joined/b.bmp")))
    GTEST_SKIP() << "this system made no junction: " << made.out;
  process_result run = run_program(BATCH, with_parameters({dir.file("in"), dir.file("out")}));
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_TRUE(file_exists(dir.file("out/real/a.bmp")));
  EXPECT_FALSE(file_exists(dir.file("out/joined/b.bmp"))) << "a junction was walked";
}

// A batch output another program holds open, or one marked read-only, fails alone, with
// its reason; the other files are written and the held file keeps its bytes.
TEST(Windows, BatchOutputsHeldOpenOrReadOnlyFailAlone) {
  temp_dir dir;
  std::filesystem::create_directories(utf8_path(dir.file("in")));
  std::filesystem::create_directories(utf8_path(dir.file("out")));
  for (const char* name : {"free.bmp", "held.bmp", "locked.bmp"}) {
    write_file(dir.file(std::string("in/") + name), text_hostile_image());
    write_file(dir.file(std::string("out/") + name), {'o', 'l', 'd'});
  }
  ASSERT_TRUE(
      SetFileAttributesW(utf8_path(dir.file("out/locked.bmp")).c_str(), FILE_ATTRIBUTE_READONLY));
  HANDLE held = CreateFileW(utf8_path(dir.file("out/held.bmp")).c_str(), GENERIC_READ,
                            FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  process_result run = run_program(BATCH, with_parameters({dir.file("in"), dir.file("out")}));
  CloseHandle(held);
  SetFileAttributesW(utf8_path(dir.file("out/locked.bmp")).c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(read_file(dir.file("out/free.bmp")),
            translated_bytes(text_hostile_image(), PARAMETER_VALUES));
  if (read_file(dir.file("out/held.bmp")).size() != 3)
    GTEST_SKIP() << "this system replaced a file held open without sharing (Wine)";
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_NE(run.err.find("held.bmp: cannot write "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("another program holds the output open"), std::string::npos) << run.err;
  EXPECT_EQ(read_file(dir.file("out/locked.bmp")), (std::vector<unsigned char>{'o', 'l', 'd'}));
  EXPECT_NE(run.err.find("the output is read-only"), std::string::npos) << run.err;
}

}  // namespace
