#include "os/files.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "os/seam_errors.h"
#include "os/windows/wide_text.h"

// The tool's mode numbers are this runtime's own flags.
static_assert(OPEN_READ_WRITE == _O_RDWR && OPEN_CREATE == _O_CREAT && OPEN_TRUNCATE == _O_TRUNC &&
              OPEN_BINARY == _O_BINARY);

namespace {

constexpr int CREATED_FILE_PERMISSION = _S_IREAD | _S_IWRITE;

// _read and _write count in int; stay well below its limit.
constexpr std::size_t LARGEST_TRANSFER = std::size_t{1} << 30;

bool has_kind(int handle, unsigned kind) {
  struct _stati64 info {};
  return _fstati64(handle, &info) == 0 && (info.st_mode & _S_IFMT) == kind;
}

int open_wide(const std::string& path, int flags) {
  return _wopen(wide_text(path).c_str(), flags | _O_NOINHERIT, CREATED_FILE_PERMISSION);
}

bool is_folder(const std::string& path) {
  DWORD attributes = GetFileAttributesW(wide_text(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

int write_block(int handle, const void* source, std::size_t length) {
  const auto* bytes = static_cast<const std::uint8_t*>(source);
  while (length > 0) {
    int written = _write(handle, bytes, static_cast<unsigned>(std::min(length, LARGEST_TRANSFER)));
    if (written < 0) return errno;
    // A write that moves nothing would move nothing again.
    if (written == 0) return EIO;
    bytes += written;
    length -= static_cast<std::size_t>(written);
  }
  return 0;
}

}  // namespace

int platform_open_flags(int mode) {
  // The truncation waits for truncate_file: only the opened file can be checked for being
  // the input, and only under the lock may another run's output be cut. Without the
  // binary flag the runtime would write every line feed of a bitmap as CR LF.
  return (mode & ~OPEN_TRUNCATE) | _O_BINARY;
}

// Windows never opens a folder as a file, so no check for one is needed here.
int open_with_mode(const char* path, int mode) {
  return open_wide(path, platform_open_flags(mode));
}

long seek_handle(int handle, long offset, int origin) {
  return _lseek(handle, offset, origin);
}

bool is_regular_file(int handle) {
  return has_kind(handle, _S_IFREG);
}

bool truncate_file(int handle) {
  return !is_regular_file(handle) || _chsize(handle, 0) == 0;
}

// Windows locks are mandatory: while this run writes, another waits at its own lock, and
// no other program reads a half-written bitmap.
void lock_exclusively(int handle) {
  OVERLAPPED whole_file{};
  LockFileEx(system_handle(handle), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole_file);
}

bool close_handle(int handle) {
  return _close(handle) == 0;
}

std::int64_t read_some(int handle, void* destination, std::size_t length) {
  return _read(handle, destination, static_cast<unsigned>(std::min(length, LARGEST_TRANSFER)));
}

int write_blocks(int handle, const void* first, std::size_t first_length, const void* second,
                 std::size_t second_length) {
  int error = write_block(handle, first, first_length);
  return error != 0 ? error : write_block(handle, second, second_length);
}

bool open_regular_file(const std::string& path, opened_file& file, std::string* err) {
  int handle = open_wide(path, _O_RDONLY | _O_BINARY);
  // Windows refuses to open a folder as a file, where POSIX opens it and tells it apart.
  if (handle < 0 && is_folder(path)) return failed(err, "not a regular file");
  if (handle < 0) return failed(err, "cannot open: " + system_reason(errno));
  struct _stati64 info {};
  if (_fstati64(handle, &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) {
    _close(handle);
    return failed(err, "not a regular file");
  }
  file = {handle, static_cast<std::int64_t>(info.st_size)};
  return true;
}

int create_new_file(const std::string& path, std::string* err) {
  int handle = open_wide(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY);
  if (handle < 0) failed(err, system_reason(errno));
  return handle;
}

bool replace_file(const std::string& from, const std::string& to, std::string* err) {
  if (MoveFileExW(wide_text(from).c_str(), wide_text(to).c_str(), MOVEFILE_REPLACE_EXISTING))
    return true;
  return failed(err, windows_reason(GetLastError()));
}

void remove_file(const std::string& path) {
  _wunlink(wide_text(path).c_str());
}

bool make_folders(const std::string& folder, std::string* err) {
  std::wstring wide = wide_text(folder);
  if (folder.empty() || _wmkdir(wide.c_str()) == 0 || errno == EEXIST) return true;
  if (errno != ENOENT) return failed(err, system_reason(errno));
  if (!make_folders(parent_of(folder), err)) return false;
  if (_wmkdir(wide.c_str()) == 0 || errno == EEXIST) return true;
  return failed(err, system_reason(errno));
}
