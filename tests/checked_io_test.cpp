#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>

#include "subprocess.h"
#include "tool/checked_io.h"

namespace {

TEST(CheckedIo, AddressesPrintAsFullWidthUpperCaseHex) {
  EXPECT_EQ(format_address(nullptr), std::string(2 * sizeof(void*), '0'));
  auto* address = reinterpret_cast<const void*>(std::uintptr_t{0xABCDEF});
  std::string expected = std::string(2 * sizeof(void*) - 6, '0') + "ABCDEF";
  EXPECT_EQ(format_address(address), expected);
}

TEST(CheckedIo, ToolModesTranslateToPlatformFlags) {
  EXPECT_EQ(platform_open_flags(OPEN_INPUT_MODE), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  EXPECT_EQ(platform_open_flags(OPEN_OUTPUT_MODE), O_RDWR | O_CREAT | O_CLOEXEC);
}

TEST(CheckedIo, EachFailurePrintsItsDiagnosticAndEndsWithMinusOne) {
  temp_dir dir;
  std::string ten_bytes = dir.file("ten");
  write_file(ten_bytes, std::vector<unsigned char>(10, 'x'));
  static char buffer[32];
  const struct {
    const char* name;
    std::function<int()> body;
    std::string expected;
  } cases[] = {
      {"open", [&] { return checked_open(dir.file("missing").c_str(), OPEN_INPUT_MODE); },
       "\nError:_open failed.\n  Filename:\"" + dir.file("missing") + "\"\n  Mode=32768"},
      {"allocation", [] { return checked_alloc(-5) != nullptr; },
       "\nError:malloc failed.\n  Size: -5 bytes"},
      {"seek on a pipe",
       [] {
         int fds[2];
         if (pipe(fds) != 0) return 1;
         dup2(fds[0], 9);
         return static_cast<int>(checked_seek(9, 7, SEEK_FROM_START));
       },
       "\nError:_lseek failed.\n  File handle=9\n  Offset=7\n  From=0"},
      {"short read",
       [&] {
         int handle = open(ten_bytes.c_str(), O_RDONLY);
         dup2(handle, 9);
         return checked_seek_read(9, buffer, 0, 20);
       },
       "\nError: _read failed.\n  File handle=9\n  Where to=" + format_address(buffer) +
           "\n  Length=20"},
      {"write to a full device",
       [] {
         dup2(checked_open("/dev/full", OPEN_OUTPUT_MODE), 9);
         return checked_seek_write(9, buffer, 0, 32) == 32 ? 0 : 1;
       },
       "\nError: _write failed.\n  File handle=9\n  Where from=" + format_address(buffer) +
           "\n  Length=32"},
  };
  for (const auto& c : cases) {
    process_result result = run_child(c.body);
    EXPECT_EQ(result.status, 255) << c.name;
    EXPECT_EQ(result.out, c.expected) << c.name;
  }
}

TEST(CheckedIo, SuccessfulCallsReturnTheirResults) {
  temp_dir dir;
  std::string path = dir.file("data");
  process_result result = run_child([&] {
    int handle = checked_open(path.c_str(), OPEN_OUTPUT_MODE);
    if (checked_seek_write(handle, "abcdef", 0, 6) != 6) return 1;
    char back[4] = {};
    if (checked_seek_read(handle, back, 2, 3) != 0 || std::string(back) != "cde") return 2;
    return checked_seek(handle, 0, SEEK_FROM_END) == 6 ? 0 : 3;
  });
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "");
}

}  // namespace
