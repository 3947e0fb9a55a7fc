#include "os/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "os/seam_errors.h"
#include "os/system_calls.h"

namespace {

constexpr mode_t CREATED_FILE_PERMISSION = 0600;

int platform_origin(int origin) {
  if (origin == SEEK_FROM_END) return SEEK_END;
  return origin == SEEK_FROM_START ? SEEK_SET : SEEK_CUR;
}

bool is_directory(int handle) {
  struct stat info {};
  return fstat(handle, &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

int platform_open_flags(int mode) {
  // Reading never waits for a writer: a FIFO with none opens at once and then fails to seek.
  int flags = (mode & OPEN_READ_WRITE) != 0 ? O_RDWR : O_RDONLY | O_NONBLOCK;
  if ((mode & OPEN_CREATE) != 0) flags |= O_CREAT;
  // The truncation waits for truncate_file: only the opened file can be checked for being
  // the input, and only under the lock may another run's output be cut.
  // No text translation happens here, so the binary flag has no counterpart.
  return flags | O_CLOEXEC;
}

int open_with_mode(const char* path, int mode) {
  int handle = open(path, platform_open_flags(mode), CREATED_FILE_PERMISSION);
  if (handle == -1 || !is_directory(handle)) return handle;
  close(handle);
  return -1;
}

long seek_handle(int handle, long offset, int origin) {
  return static_cast<long>(lseek(handle, offset, platform_origin(origin)));
}

bool is_regular_file(int handle) {
  struct stat info {};
  return fstat(handle, &info) == 0 && S_ISREG(info.st_mode);
}

bool truncate_file(int handle) {
  return !is_regular_file(handle) || ftruncate(handle, 0) == 0;
}

void lock_exclusively(int handle) {
  while (io_system.flock(handle, LOCK_EX) != 0 && errno == EINTR) {
  }
}

bool close_handle(int handle) {
  return io_system.close(handle) == 0;
}

// The system moves at most about 2 GiB per call and may stop early on pipes or after a
// signal: the callers loop until done, the end, or an error.
std::int64_t read_some(int handle, void* destination, std::size_t length) {
  for (;;) {
    ssize_t got = io_system.read(handle, destination, length);
    if (got >= 0 || errno != EINTR) return got;
  }
}

int write_blocks(int handle, const void* first, std::size_t first_length, const void* second,
                 std::size_t second_length) {
  iovec blocks[2] = {{const_cast<void*>(first), first_length},
                     {const_cast<void*>(second), second_length}};
  iovec* next = blocks;
  int count = 2;
  std::size_t left = 0;  // bytes of the last write not yet counted against the blocks
  for (;;) {
    while (count > 0 && left >= next->iov_len) {
      left -= next->iov_len;
      ++next;
      --count;
    }
    if (count == 0) break;
    next->iov_base = static_cast<std::uint8_t*>(next->iov_base) + left;
    next->iov_len -= left;
    ssize_t written = io_system.writev(handle, next, count);
    if (written < 0 && errno == EINTR)
      written = 0;
    else if (written < 0)
      return errno;
    // A write that moves nothing would move nothing again.
    else if (written == 0)
      return EIO;
    left = static_cast<std::size_t>(written);
  }
  return 0;
}

bool open_regular_file(const std::string& path, opened_file& file, std::string* err) {
  // Non-blocking, so that a FIFO given as a file cannot hang the command at the open.
  int handle = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (handle < 0) return failed(err, "cannot open: " + system_reason(errno));
  struct stat info {};
  if (fstat(handle, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(handle);
    return failed(err, "not a regular file");
  }
  file = {handle, static_cast<std::int64_t>(info.st_size)};
  return true;
}

int create_new_file(const std::string& path, std::string* err) {
  int handle = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (handle < 0) failed(err, system_reason(errno));
  return handle;
}

bool replace_file(const std::string& from, const std::string& to, std::string* err) {
  return rename(from.c_str(), to.c_str()) == 0 || failed(err, system_reason(errno));
}

void remove_file(const std::string& path) {
  unlink(path.c_str());
}

bool make_folders(const std::string& folder, std::string* err) {
  if (folder.empty() || mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST) return true;
  if (errno != ENOENT) return failed(err, system_reason(errno));
  if (!make_folders(parent_of(folder), err)) return false;
  if (mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST) return true;
  return failed(err, system_reason(errno));
}
