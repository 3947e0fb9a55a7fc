#include <fcntl.h>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/file.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>

#include "os/files.h"
#include "subprocess.h"
#include "translate/checked_io.h"
#ifndef _WIN32
#include "os/system_calls.h"
#endif

namespace {

// As palette-translate's run ends: a failure's diagnostic printed, its status returned.
// (The checked calls run in forked children, which Windows lacks.)
#ifndef _WIN32
template <typename T>
int ended(const or_failure<T>& result) {
  return result.ok() ? 0 : print_failure(*result.failed);
}

int ended(const step_failure& failed) {
  return failed ? print_failure(*failed) : 0;
}
#endif

// The loops over the system's calls, scripted through the POSIX call table; on Windows
// the runtime's calls never stop short of an error or the end, and fork is missing.
#ifndef _WIN32

// One scripted call: move at most `limit` bytes through the real call, or fail with
// `error`, or (limit 0) move nothing. errno is set to `stale` first, as an earlier
// failed call would leave it.
struct scripted_call {
  long limit = -1;  // -1: whatever the real call moves
  int error = 0;
  int stale = 0;
};

// The script for the next calls of read and writev; the last step repeats. A loop that
// keeps calling is stuck: after 100 calls the script ends the process with status 99.
std::vector<scripted_call> script;
int calls = 0;

const scripted_call* next_step() {
  if (++calls > 100) _exit(99);
  if (script.empty()) return nullptr;
  return &script[std::min<std::size_t>(static_cast<std::size_t>(calls) - 1, script.size() - 1)];
}

// Applies a step's failure or zero; returns true when the step decided the result.
bool decided(const scripted_call* step, ssize_t& result) {
  if (step == nullptr) return false;
  errno = step->stale;
  if (step->error != 0) {
    errno = step->error;
    result = -1;
    return true;
  }
  result = 0;
  return step->limit == 0;
}

ssize_t scripted_read(int handle, void* destination, size_t length) {
  const scripted_call* step = next_step();
  ssize_t result = 0;
  if (decided(step, result)) return result;
  if (step != nullptr && step->limit > 0)
    length = std::min(length, static_cast<size_t>(step->limit));
  return ::read(handle, destination, length);
}

ssize_t scripted_writev(int handle, const iovec* blocks, int count) {
  const scripted_call* step = next_step();
  ssize_t result = 0;
  if (decided(step, result)) return result;
  std::vector<iovec> trimmed(blocks, blocks + count);
  std::size_t left =
      step != nullptr && step->limit > 0 ? static_cast<std::size_t>(step->limit) : SIZE_MAX;
  for (iovec& block : trimmed) {
    block.iov_len = std::min(block.iov_len, left);
    left -= block.iov_len;
  }
  return ::writev(handle, trimmed.data(), count);
}

int scripted_flock(int handle, int operation) {
  const scripted_call* step = next_step();
  ssize_t result = 0;
  if (decided(step, result)) return static_cast<int>(result);
  return ::flock(handle, operation);
}

// The handle is closed whatever the script says, so that a scripted failure leaks nothing.
int scripted_close(int handle) {
  int closed = ::close(handle);
  const scripted_call* step = next_step();
  ssize_t result = 0;
  if (decided(step, result)) return static_cast<int>(result);
  return closed;
}

// The table a test hands to the calls it scripts.
const system_calls SCRIPTED = {scripted_read, scripted_writev, scripted_flock, scripted_close};

// Starts a script for the calls that follow.
void follow(std::vector<scripted_call> steps) {
  script = std::move(steps);
  calls = 0;
}

const std::string TWELVE = "abcdefghijkl";

struct loop_case {
  const char* name;
  std::vector<scripted_call> steps;
  std::size_t moved;  // bytes that reached the file or the buffer
  int error;          // what the loop reports
  int calls;          // how many calls it made
};

const scripted_call INTERRUPTED{.error = EINTR};
const scripted_call NOTHING{.limit = 0};

TEST(CheckedIo, ReadLoopRetriesWhatMayBeRetriedAndStopsOnTheRest) {
  const loop_case cases[] = {
      {"short reads", {{.limit = 3}, {.limit = 2}, {}}, 12, 0, 3},
      {"interrupted, then all", {INTERRUPTED, {}}, 12, 0, 2},
      {"an error at the second call", {{.limit = 4}, {.error = EIO}}, 4, EIO, 2},
      {"the file ends early", {{.limit = 4}, NOTHING}, 4, 0, 2},
      {"the end after a stale EINTR", {{.limit = 4}, {.limit = 0, .stale = EINTR}}, 4, 0, 2},
      {"an error every time", {{.error = EIO}}, 0, EIO, 1},
  };
  temp_dir dir;
  write_file(dir.file("twelve"), std::vector<unsigned char>(TWELVE.begin(), TWELVE.end()));
  for (const loop_case& c : cases) {
    int handle = open(dir.file("twelve").c_str(), O_RDONLY);
    std::string buffer(TWELVE.size(), '-');
    int error = -1;
    std::size_t moved = 0;
    {
      follow(c.steps);
      os_result<std::size_t> read = read_fully(handle, buffer.data(), buffer.size(), SCRIPTED);
      moved = read.value;
      error = read.ok() ? 0 : read.error->code;
    }
    close(handle);
    EXPECT_EQ(moved, c.moved) << c.name;
    EXPECT_EQ(error, c.error) << c.name;
    EXPECT_EQ(calls, c.calls) << c.name;
    EXPECT_EQ(buffer.substr(0, moved), TWELVE.substr(0, moved)) << c.name;
  }
}

TEST(CheckedIo, WriteLoopRetriesWhatMayBeRetriedAndStopsOnTheRest) {
  const loop_case cases[] = {
      {"short writes across the blocks", {{.limit = 3}, {.limit = 4}, {}}, 12, 0, 3},
      {"a short write ending the first block", {{.limit = 5}, {}}, 12, 0, 2},
      {"interrupted, then all", {INTERRUPTED, {}}, 12, 0, 2},
      {"no space at the second call", {{.limit = 7}, {.error = ENOSPC}}, 7, ENOSPC, 2},
      {"the file-size limit", {{.error = EFBIG}}, 0, EFBIG, 1},
      {"a write that moves nothing", {NOTHING}, 0, EIO, 1},
      {"nothing moved, with a stale EINTR", {{.limit = 0, .stale = EINTR}}, 0, EIO, 1},
  };
  temp_dir dir;
  for (const loop_case& c : cases) {
    int handle = open(dir.file("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int error = -1;
    {
      follow(c.steps);
      os_status written = write_blocks(handle, TWELVE.data(), 5, TWELVE.data() + 5, 7, SCRIPTED);
      error = written.ok() ? 0 : written.error->code;
    }
    close(handle);
    std::vector<unsigned char> written = read_file(dir.file("out"));
    EXPECT_EQ(std::string(written.begin(), written.end()), TWELVE.substr(0, c.moved)) << c.name;
    EXPECT_EQ(error, c.error) << c.name;
    EXPECT_EQ(calls, c.calls) << c.name;
  }
}

// A close that fails (a quota or a network file system that writes at the close) fails
// the write; a write that failed keeps its own reason.
TEST(CheckedIo, WriteAndCloseReportsTheFirstFailure) {
  const struct {
    const char* name;
    std::vector<scripted_call> steps;  // the write, then the close
    std::string reason;
  } cases[] = {
      {"both succeed", {{}, {}}, ""},
      {"the close fails", {{}, {.error = EDQUOT}}, std::strerror(EDQUOT)},
      {"the write fails, then the close",
       {{.error = ENOSPC}, {.error = EIO}},
       std::strerror(ENOSPC)},
  };
  temp_dir dir;
  for (const auto& c : cases) {
    int handle = open(dir.file("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::string reason;
    bool written = false;
    {
      follow(c.steps);
      os_status closed = write_and_close(handle, TWELVE.data(), 5, TWELVE.data() + 5, 7, SCRIPTED);
      written = closed.ok();
      if (!closed.ok()) reason = closed.error->reason;
    }
    EXPECT_EQ(written, c.reason.empty()) << c.name;
    EXPECT_EQ(reason, c.reason) << c.name;
  }
}

// The lock is taken again after an interruption, and given up on any other failure (a
// file system without locks still gets its output).
TEST(CheckedIo, LockRetriesOnlyAfterAnInterruption) {
  const struct {
    const char* name;
    std::vector<scripted_call> steps;
    int calls;
  } cases[] = {
      {"locked at once", {{}}, 1},
      {"interrupted twice", {INTERRUPTED, INTERRUPTED, {}}, 3},
      {"no locks here", {{.error = ENOLCK}}, 1},
      {"locked, with a stale EINTR", {{.stale = EINTR}}, 1},
  };
  temp_dir dir;
  int handle = open(dir.file("locked").c_str(), O_RDWR | O_CREAT, 0600);
  for (const auto& c : cases) {
    {
      follow(c.steps);
      (void)lock_exclusively(handle, SCRIPTED);
    }
    EXPECT_EQ(calls, c.calls) << c.name;
  }
  close(handle);
}

// Through the checked calls, a failure mid-way is a diagnostic and status 255, and a
// regular output is left empty, never half-written.
TEST(CheckedIo, FailuresMidWayEndTheRunWithNothingHalfWritten) {
  temp_dir dir;
  static char buffer[64];
  std::string path = dir.file("out");
  const struct {
    const char* name;
    std::vector<scripted_call> steps;
    std::function<int()> body;
    std::string expected;
  } cases[] = {
      {"write: no space after a short write",
       {{.limit = 10}, INTERRUPTED, {.error = ENOSPC}},
       [&] {
         dup2(open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600), 9);
         return ended(checked_seek_write_pair(9, buffer, 40, buffer + 40, 24, 0, SCRIPTED));
       },
       "\nError: _write failed.\n  File handle=9\n  Where from=" + format_address(buffer) +
           "\n  Length=64"},
      {"read: an error after a short read",
       {{.limit = 3}, {.error = EIO}},
       [&] {
         write_file(path, std::vector<unsigned char>(64, 'x'));
         dup2(open(path.c_str(), O_RDONLY), 9);
         return ended(checked_seek_read(9, buffer, 0, 64, SCRIPTED));
       },
       "\nError: _read failed.\n  File handle=9\n  Where to=" + format_address(buffer) +
           "\n  Length=64"},
  };
  for (const auto& c : cases) {
    process_result result = run_child([&] {
      follow(c.steps);
      return c.body();
    });
    EXPECT_EQ(result.status, 255) << c.name;
    EXPECT_EQ(result.out, c.expected) << c.name;
  }
  EXPECT_EQ(read_file(path).size(), 64u) << "the read case leaves its input whole";
  process_result written = run_child([&] {
    follow({{.limit = 10}, {.error = ENOSPC}});
    dup2(open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600), 9);
    return ended(checked_seek_write(9, buffer, 0, 64, SCRIPTED));
  });
  EXPECT_EQ(written.status, 255);
  EXPECT_EQ(read_file(path).size(), 0u) << "the ten bytes written are cut again";
}

#endif

TEST(CheckedIo, AddressesPrintAsFullWidthUpperCaseHex) {
  EXPECT_EQ(format_address(nullptr), std::string(2 * sizeof(void*), '0'));
  auto* address = reinterpret_cast<const void*>(std::uintptr_t{0xABCDEF});
  std::string expected = std::string(2 * sizeof(void*) - 6, '0') + "ABCDEF";
  EXPECT_EQ(format_address(address), expected);
}

TEST(CheckedIo, ToolModesTranslateToPlatformFlags) {
#ifdef _WIN32
  // The runtime's own numbers, less the truncation, which waits for the same-file check.
  EXPECT_EQ(platform_open_flags(OPEN_INPUT_MODE), _O_RDONLY | _O_BINARY);
  EXPECT_EQ(platform_open_flags(OPEN_OUTPUT_MODE), _O_RDWR | _O_CREAT | _O_BINARY);
#else
  EXPECT_EQ(platform_open_flags(OPEN_INPUT_MODE), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  EXPECT_EQ(platform_open_flags(OPEN_OUTPUT_MODE), O_RDWR | O_CREAT | O_CLOEXEC);
#endif
}

TEST(CheckedIo, EachFailurePrintsItsDiagnosticAndEndsWithMinusOne) {
  SKIP_ON_WINDOWS("each case runs in a forked child");
#ifndef _WIN32
  temp_dir dir;
  std::string ten_bytes = dir.file("ten");
  write_file(ten_bytes, std::vector<unsigned char>(10, 'x'));
  static char buffer[32];
  const struct {
    const char* name;
    std::function<int()> body;
    std::string expected;
  } cases[] = {
      {"open", [&] { return ended(checked_open(dir.file("missing").c_str(), OPEN_INPUT_MODE)); },
       "\nError:_open failed.\n  Filename:\"" + dir.file("missing") + "\"\n  Mode=32768"},
      {"allocation", [] { return ended(checked_alloc(-5)); },
       "\nError:malloc failed.\n  Size: -5 bytes"},
      {"seek on a pipe",
       [] {
         int fds[2];
         if (pipe(fds) != 0) return 1;
         dup2(fds[0], 9);
         return ended(checked_seek(9, 7, SEEK_FROM_START));
       },
       "\nError:_lseek failed.\n  File handle=9\n  Offset=7\n  From=0"},
      {"short read",
       [&] {
         int handle = open(ten_bytes.c_str(), O_RDONLY);
         dup2(handle, 9);
         return ended(checked_seek_read(9, buffer, 0, 20));
       },
       "\nError: _read failed.\n  File handle=9\n  Where to=" + format_address(buffer) +
           "\n  Length=20"},
      {"write to a full device",
       [] {
         dup2(checked_open("/dev/full", OPEN_OUTPUT_MODE).value, 9);
         return ended(checked_seek_write(9, buffer, 0, 32));
       },
       "\nError: _write failed.\n  File handle=9\n  Where from=" + format_address(buffer) +
           "\n  Length=32"},
  };
  for (const auto& c : cases) {
    process_result result = run_child(c.body);
    EXPECT_EQ(result.status, 255) << c.name;
    EXPECT_EQ(result.out, c.expected) << c.name;
  }
#endif
}

TEST(CheckedIo, SuccessfulCallsReturnTheirResults) {
  SKIP_ON_WINDOWS("the calls run in a forked child");
  temp_dir dir;
  std::string path = dir.file("data");
  process_result result = run_child([&] {
    int handle = checked_open(path.c_str(), OPEN_OUTPUT_MODE).value;
    if (checked_seek_write(handle, "abcdef", 0, 6).value != 6) return 1;
    char back[4] = {};
    if (checked_seek_read(handle, back, 2, 3) || std::string(back) != "cde") return 2;
    // Reading nothing always works, also at the end of the file.
    if (checked_read(handle, back, 0)) return 4;
    return checked_seek(handle, 0, SEEK_FROM_END).value == 6 ? 0 : 3;
  });
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "");
}

}  // namespace
