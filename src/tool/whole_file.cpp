#include "tool/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tool/system_calls.h"

std::string open_regular_file(const std::string& path, opened_file& file) {
  // Non-blocking, so that a FIFO given as a file cannot hang the command at the open.
  int handle = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (handle < 0) return std::string("cannot open: ") + std::strerror(errno);
  struct stat info {};
  if (fstat(handle, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(handle);
    return "not a regular file";
  }
  file = {handle, static_cast<std::int64_t>(info.st_size)};
  return "";
}

void close_file(opened_file& file) {
  if (file.handle >= 0) close(file.handle);
  file.handle = -1;
}

// The system moves at most about 2 GiB per call and may stop early on pipes or after a
// signal, so every loop goes on until done, the end, or an error.
std::size_t read_fully(int handle, void* destination, std::size_t length, int& error) {
  auto* bytes = static_cast<std::uint8_t*>(destination);
  std::size_t done = 0;
  error = 0;
  while (done < length) {
    ssize_t got = io_system.read(handle, bytes + done, length - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) error = errno;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

std::string read_and_close(opened_file& file, std::vector<std::uint8_t>& bytes) {
  bytes.resize(static_cast<std::size_t>(file.size));
  int error = 0;
  std::size_t done = read_fully(file.handle, bytes.data(), bytes.size(), error);
  close_file(file);
  if (error != 0) return std::string("cannot read: ") + std::strerror(error);
  // The file shrank while it was read.
  if (done != bytes.size()) return "cannot read the whole file";
  return "";
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
