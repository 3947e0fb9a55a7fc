#include "os/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "os/system_calls.h"

namespace {

constexpr mode_t CREATED_FILE_PERMISSION = 0600;

int platform_origin(int origin) {
  if (origin == SEEK_FROM_END) return SEEK_END;
  return origin == SEEK_FROM_START ? SEEK_SET : SEEK_CUR;
}

os_status done() {
  return {};
}

os_status errno_failure(const char* call) {
  return failed_with(errno_error(call, errno));
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

os_result<int> open_with_mode(const char* path, int mode) {
  int handle = open(path, platform_open_flags(mode), CREATED_FILE_PERMISSION);
  if (handle == -1) return failed_with<int>(errno_error("open", errno));
  struct stat info {};
  if (fstat(handle, &info) != 0 || !S_ISDIR(info.st_mode)) return {handle, {}};
  close(handle);
  return failed_with<int>(errno_error("open", EISDIR));
}

os_result<std::int64_t> seek_handle(int handle, std::int64_t offset, int origin) {
  off_t position = lseek(handle, static_cast<off_t>(offset), platform_origin(origin));
  if (position == -1) return failed_with<std::int64_t>(errno_error("lseek", errno));
  return {static_cast<std::int64_t>(position), {}};
}

os_status truncate_file(int handle) {
  struct stat info {};
  if (fstat(handle, &info) != 0) return errno_failure("fstat");
  if (!S_ISREG(info.st_mode) || ftruncate(handle, 0) == 0) return done();
  return errno_failure("ftruncate");
}

os_status lock_exclusively(int handle, const system_calls& calls) {
  while (calls.flock(handle, LOCK_EX) != 0) {
    if (errno != EINTR) return errno_failure("flock");
  }
  return done();
}

os_result<bool> lock_at_once(int handle, const system_calls& calls) {
  while (calls.flock(handle, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) return {false, {}};
    if (errno != EINTR) return failed_with<bool>(errno_error("flock", errno));
  }
  return {true, {}};
}

os_status close_handle(int handle, const system_calls& calls) {
  return calls.close(handle) == 0 ? done() : errno_failure("close");
}

// The system moves at most about 2 GiB per call and may stop early on pipes or after a
// signal: the callers loop until done, the end, or an error.
os_result<std::int64_t> read_some(int handle, void* destination, std::size_t length,
                                  const system_calls& calls) {
  for (;;) {
    ssize_t got = calls.read(handle, destination, length);
    if (got >= 0) return {static_cast<std::int64_t>(got), {}};
    if (errno != EINTR) return failed_with<std::int64_t>(errno_error("read", errno));
  }
}

os_status write_blocks(int handle, const void* first, std::size_t first_length, const void* second,
                       std::size_t second_length, const system_calls& calls) {
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
    ssize_t written = calls.writev(handle, next, count);
    if (written < 0 && errno == EINTR)
      written = 0;
    else if (written < 0)
      return errno_failure("writev");
    // A write that moves nothing would move nothing again.
    else if (written == 0)
      return failed_with(errno_error("writev", EIO));
    left = static_cast<std::size_t>(written);
  }
  return done();
}

os_result<opened_file> open_regular_file(const std::string& path) {
  // Non-blocking, so that a FIFO given as a file cannot hang the command at the open.
  int handle = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (handle < 0) return failed_with<opened_file>(errno_error("open", errno));
  struct stat info {};
  if (fstat(handle, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(handle);
    return failed_with<opened_file>({"open", 0, "not a regular file"});
  }
  return {{handle, static_cast<std::int64_t>(info.st_size)}, {}};
}

os_result<int> create_new_file(const std::string& path) {
  int handle = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (handle < 0) return failed_with<int>(errno_error("open", errno));
  return {handle, {}};
}

os_status flush_to_disk(int /*handle*/) {
  return done();
}

os_status replace_file(const std::string& from, const std::string& to) {
  return rename(from.c_str(), to.c_str()) == 0 ? done() : errno_failure("rename");
}

os_status remove_file(const std::string& path) {
  return unlink(path.c_str()) == 0 ? done() : errno_failure("unlink");
}

os_status make_folders(const std::string& folder) {
  if (folder.empty() || mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST) return done();
  if (errno != ENOENT) return errno_failure("mkdir");
  os_status parent = make_folders(parent_of(folder));
  if (!parent.ok()) return parent;
  if (mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST) return done();
  return errno_failure("mkdir");
}
