#include "tool/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

std::string read_and_close(opened_file& file, std::vector<std::uint8_t>& bytes) {
  bytes.resize(static_cast<std::size_t>(file.size));
  std::size_t done = 0;
  int error = 0;
  while (done < bytes.size()) {
    ssize_t got = read(file.handle, bytes.data() + done, bytes.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) error = errno;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
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
    ssize_t written = writev(handle, next, count);
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
