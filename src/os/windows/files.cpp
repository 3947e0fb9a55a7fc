#include "os/files.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "file_handles.h"
#include "os/system_calls.h"
#include "wide_text.h"

// The tool's mode numbers are this runtime's own flags.
static_assert(OPEN_READ_WRITE == _O_RDWR && OPEN_CREATE == _O_CREAT && OPEN_TRUNCATE == _O_TRUNC &&
              OPEN_BINARY == _O_BINARY);

namespace {

constexpr int CREATED_FILE_PERMISSION = _S_IREAD | _S_IWRITE;

// _read and _write count in int; stay well below its limit.
constexpr std::size_t LARGEST_TRANSFER = std::size_t{1} << 30;

os_status done() {
  return {};
}

os_status errno_failure(const char* call) {
  return failed_with(errno_error(call, errno));
}

bool has_kind(int handle, unsigned kind) {
  struct _stati64 info {};
  return _fstati64(handle, &info) == 0 && (info.st_mode & _S_IFMT) == kind;
}

int open_wide(const std::string& path, int flags) {
  return _wopen(system_path(path).c_str(), flags | _O_NOINHERIT, CREATED_FILE_PERMISSION);
}

bool is_folder(const std::string& path) {
  DWORD attributes = GetFileAttributesW(system_path(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

os_status write_block(int handle, const void* source, std::size_t length,
                      const system_calls& calls) {
  const auto* bytes = static_cast<const std::uint8_t*>(source);
  while (length > 0) {
    int written =
        calls.write(handle, bytes, static_cast<unsigned>(std::min(length, LARGEST_TRANSFER)));
    if (written < 0) return errno_failure("_write");
    // A write that moves nothing would move nothing again.
    if (written == 0) return failed_with(errno_error("_write", EIO));
    bytes += written;
    length -= static_cast<std::size_t>(written);
  }
  return done();
}

}  // namespace

const system_calls& native_calls() {
  static const system_calls calls = {_read, _write, _close};
  return calls;
}

int platform_open_flags(int mode) {
  // The truncation waits for truncate_file: only the opened file can be checked for being
  // the input, and only under the lock may another run's output be cut. Without the
  // binary flag the runtime would write every line feed of a bitmap as CR LF.
  return (mode & ~OPEN_TRUNCATE) | _O_BINARY;
}

// Windows never opens a folder as a file, so no check for one is needed here.
os_result<int> open_with_mode(const char* path, int mode) {
  int handle = open_wide(path, platform_open_flags(mode));
  if (handle < 0) return failed_with<int>(errno_error("_wopen", errno));
  return {handle, {}};
}

// The 64-bit calls: the 32-bit _lseek cannot reach past 2 GiB.
os_result<std::int64_t> seek_handle(int handle, std::int64_t offset, int origin) {
  __int64 position = _lseeki64(handle, offset, origin);
  if (position == -1) return failed_with<std::int64_t>(errno_error("_lseeki64", errno));
  return {static_cast<std::int64_t>(position), {}};
}

os_status truncate_file(int handle) {
  if (!has_kind(handle, _S_IFREG)) return done();
  errno_t error = _chsize_s(handle, 0);
  return error == 0 ? done() : failed_with(errno_error("_chsize_s", error));
}

// Windows locks are mandatory: while this run writes, another waits at its own lock, and
// no other program reads a half-written bitmap.
os_status lock_exclusively(int handle, const system_calls&) {
  OVERLAPPED whole_file{};
  if (LockFileEx(system_handle(handle), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD,
                 &whole_file))
    return done();
  return failed_with(last_error("LockFileEx"));
}

os_result<bool> lock_at_once(int handle, const system_calls&) {
  OVERLAPPED whole_file{};
  if (LockFileEx(system_handle(handle), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                 MAXDWORD, MAXDWORD, &whole_file))
    return {true, {}};
  if (GetLastError() == ERROR_LOCK_VIOLATION) return {false, {}};
  return failed_with<bool>(last_error("LockFileEx"));
}

os_status close_handle(int handle, const system_calls& calls) {
  return calls.close(handle) == 0 ? done() : errno_failure("_close");
}

os_result<std::int64_t> read_some(int handle, void* destination, std::size_t length,
                                  const system_calls& calls) {
  int got =
      calls.read(handle, destination, static_cast<unsigned>(std::min(length, LARGEST_TRANSFER)));
  if (got < 0) return failed_with<std::int64_t>(errno_error("_read", errno));
  return {got, {}};
}

os_status write_blocks(int handle, const void* first, std::size_t first_length, const void* second,
                       std::size_t second_length, const system_calls& calls) {
  os_status written = write_block(handle, first, first_length, calls);
  return written.ok() ? write_block(handle, second, second_length, calls) : written;
}

os_result<opened_file> open_regular_file(const std::string& path) {
  int handle = open_wide(path, _O_RDONLY | _O_BINARY);
  // Windows refuses to open a folder as a file, where POSIX opens it and tells it apart.
  if (handle < 0 && is_folder(path))
    return failed_with<opened_file>({"_wopen", 0, "not a regular file"});
  if (handle < 0) return failed_with<opened_file>(errno_error("_wopen", errno));
  struct _stati64 info {};
  if (_fstati64(handle, &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) {
    _close(handle);
    return failed_with<opened_file>({"_wopen", 0, "not a regular file"});
  }
  return {{handle, static_cast<std::int64_t>(info.st_size)}, {}};
}

os_result<int> create_new_file(const std::string& path) {
  int handle = open_wide(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY);
  if (handle < 0) return failed_with<int>(errno_error("_wopen", errno));
  return {handle, {}};
}

os_status flush_to_disk(int handle) {
  if (FlushFileBuffers(system_handle(handle))) return done();
  return failed_with(last_error("FlushFileBuffers"));
}

namespace {

// Virus scanners and indexers hold a new or replaced file for a moment: a refused
// replacement is tried again after 50, 100, 200 and 400 ms.
constexpr int REPLACE_RETRIES = 4;

bool is_read_only(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

}  // namespace

// Windows refuses to replace a file another program holds open or one marked read-only,
// in its own words for neither: the reason says which.
os_status replace_file(const std::string& from, const std::string& to) {
  std::wstring source = system_path(from);
  std::wstring target = system_path(to);
  // Asked first, as the system's refusal says only "access denied", and not every system
  // that serves Windows programs refuses.
  if (is_read_only(target))
    return failed_with({"MoveFileExW", ERROR_ACCESS_DENIED, "the output is read-only"});
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return done();
    os_error refused = last_error("MoveFileExW");
    if (refused.code != ERROR_ACCESS_DENIED && refused.code != ERROR_SHARING_VIOLATION &&
        refused.code != ERROR_LOCK_VIOLATION)
      return failed_with(std::move(refused));
    if (attempt == REPLACE_RETRIES) {
      refused.reason = "another program holds the output open (" + refused.reason + ")";
      return failed_with(std::move(refused));
    }
    Sleep(50u << attempt);
  }
}

os_status remove_file(const std::string& path) {
  return _wunlink(system_path(path).c_str()) == 0 ? done() : errno_failure("_wunlink");
}

os_status make_folders(const std::string& folder) {
  std::wstring wide = system_path(folder);
  if (folder.empty() || _wmkdir(wide.c_str()) == 0 || errno == EEXIST) return done();
  if (errno != ENOENT) return errno_failure("_wmkdir");
  os_status parent = make_folders(parent_of(folder));
  if (!parent.ok()) return parent;
  if (_wmkdir(wide.c_str()) == 0 || errno == EEXIST) return done();
  return errno_failure("_wmkdir");
}
