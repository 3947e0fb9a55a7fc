#include "tool/checked_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "tool/system_calls.h"
#include "tool/whole_file.h"

namespace {

constexpr int EXIT_CHECKED_FAILURE = -1;
constexpr mode_t CREATED_FILE_PERMISSION = 0600;

[[noreturn]] void end_process() {
  std::exit(EXIT_CHECKED_FAILURE);
}

int platform_origin(int origin) {
  if (origin == SEEK_FROM_END) return SEEK_END;
  return origin == SEEK_FROM_START ? SEEK_SET : SEEK_CUR;
}

// A directory opens for reading here but is no file to read; it fails as an open.
bool is_directory(int handle) {
  struct stat info {};
  return fstat(handle, &info) == 0 && S_ISDIR(info.st_mode);
}

bool is_regular_file(int handle) {
  struct stat info {};
  return fstat(handle, &info) == 0 && S_ISREG(info.st_mode);
}

[[noreturn]] void write_failed(int handle, const void* source, int length) {
  // A cut-off bitmap with a valid header opens in some viewers: leave nothing instead.
  if (is_regular_file(handle)) (void)ftruncate(handle, 0);
  std::printf("\nError: _write failed.\n  File handle=%i\n  Where from=%s\n  Length=%i", handle,
              format_address(source).c_str(), length);
  end_process();
}

// Big images fill their buffer through far fewer page faults on huge pages.
constexpr std::size_t HUGE_PAGE = std::size_t{2} << 20;

void* allocate(std::size_t size) {
  if (size < 2 * HUGE_PAGE) return std::malloc(size);
  std::size_t rounded = (size + HUGE_PAGE - 1) / HUGE_PAGE * HUGE_PAGE;
  void* block = std::aligned_alloc(HUGE_PAGE, rounded);
  if (block != nullptr) madvise(block, rounded, MADV_HUGEPAGE);
  return block;
}

void check_position(long position, long offset) {
  if (position == offset) return;
  std::printf("\nError: Lseek failed.\n  Where to=%ld", offset);
  end_process();
}

}  // namespace

std::string format_address(const void* address) {
  char text[2 * sizeof(void*) + 1];
  std::snprintf(text, sizeof text, "%0*" PRIXPTR, static_cast<int>(2 * sizeof(void*)),
                reinterpret_cast<std::uintptr_t>(address));
  return text;
}

int platform_open_flags(int mode) {
  // Reading never waits for a writer: a FIFO with none opens at once and then fails to seek.
  int flags = (mode & OPEN_READ_WRITE) != 0 ? O_RDWR : O_RDONLY | O_NONBLOCK;
  if ((mode & OPEN_CREATE) != 0) flags |= O_CREAT;
  // The truncation waits for checked_truncate: only the opened file can be checked for
  // being the input, and only under the lock may another run's output be cut.
  // No text translation happens here, so the binary flag has no counterpart.
  return flags | O_CLOEXEC;
}

void* checked_alloc(long size) {
  void* block = size >= 0 ? allocate(static_cast<std::size_t>(size)) : nullptr;
  if (block != nullptr) return block;
  std::printf("\nError:malloc failed.\n  Size: %ld bytes", size);
  end_process();
}

int checked_open(const char* path, int mode) {
  int handle = open(path, platform_open_flags(mode), CREATED_FILE_PERMISSION);
  if (handle != -1 && !is_directory(handle)) return handle;
  std::printf("\nError:_open failed.\n  Filename:\"%s\"\n  Mode=%i", path, mode);
  end_process();
}

long checked_seek(int handle, long offset, int origin) {
  off_t position = lseek(handle, offset, platform_origin(origin));
  if (position != -1) return static_cast<long>(position);
  std::printf("\nError:_lseek failed.\n  File handle=%i\n  Offset=%li\n  From=%i", handle, offset,
              origin);
  end_process();
}

int checked_read(int handle, void* destination, int length) {
  int error = 0;
  auto wanted = static_cast<std::size_t>(length);
  if (length >= 0 && read_fully(handle, destination, wanted, error) == wanted) return 0;
  std::printf("\nError: _read failed.\n  File handle=%i\n  Where to=%s\n  Length=%i", handle,
              format_address(destination).c_str(), length);
  end_process();
}

int checked_seek_read(int handle, void* destination, long offset, int length) {
  check_position(checked_seek(handle, offset, SEEK_FROM_START), offset);
  return checked_read(handle, destination, length);
}

int checked_write(int handle, const void* source, int length) {
  if (length >= 0 &&
      write_blocks(handle, source, static_cast<std::size_t>(length), nullptr, 0) == 0)
    return length;
  write_failed(handle, source, length);
}

int checked_seek_write(int handle, const void* source, long offset, int length) {
  check_position(checked_seek(handle, offset, SEEK_FROM_START), offset);
  return checked_write(handle, source, length);
}

int checked_seek_write_pair(int handle, const void* first, int first_length, const void* second,
                            int second_length, long offset) {
  check_position(checked_seek(handle, offset, SEEK_FROM_START), offset);
  int length = first_length + second_length;
  if (first_length >= 0 && second_length >= 0 &&
      write_blocks(handle, first, static_cast<std::size_t>(first_length), second,
                   static_cast<std::size_t>(second_length)) == 0)
    return length;
  write_failed(handle, first, length);
}

void lock_exclusively(int handle) {
  // Advisory and best effort: a file system without locks still gets its output.
  while (io_system.flock(handle, LOCK_EX) != 0 && errno == EINTR) {
  }
}

void checked_truncate(int handle, const char* path, int mode) {
  if (!is_regular_file(handle) || ftruncate(handle, 0) == 0) return;
  std::printf("\nError:_open failed.\n  Filename:\"%s\"\n  Mode=%i", path, mode);
  end_process();
}
