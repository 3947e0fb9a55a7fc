#pragma once
// The file calls of every command, in one place so that another platform implements them
// once. Every call that can fail returns an os_result (os_result.h); the commands word
// the failure and report it once, at the top.

#include <cstdint>
#include <string>
#include <vector>

#include "os/os_result.h"
#include "os/paths.h"

// The tool's own open modes, also what palette-translate's open diagnostic prints; each is
// translated into the platform's flags here.
constexpr int OPEN_READ_ONLY = 0x0000;
constexpr int OPEN_READ_WRITE = 0x0002;
constexpr int OPEN_CREATE = 0x0100;
constexpr int OPEN_TRUNCATE = 0x0200;
constexpr int OPEN_BINARY = 0x8000;
constexpr int OPEN_INPUT_MODE = OPEN_READ_ONLY | OPEN_BINARY;  // 32768
constexpr int OPEN_OUTPUT_MODE =
    OPEN_READ_WRITE | OPEN_CREATE | OPEN_TRUNCATE | OPEN_BINARY;  // 33538
static_assert(OPEN_INPUT_MODE == 32768 && OPEN_OUTPUT_MODE == 33538);

// The table of the system's calls the loops below go through (system_calls.h).
struct system_calls;
const system_calls& native_calls();

constexpr int SEEK_FROM_START = 0;
constexpr int SEEK_FROM_END = 2;

// The platform's open flags for one of the tool's modes. The truncate flag has none:
// truncate_file does it once the opened file has been checked.
int platform_open_flags(int mode);

// Opens with one of the tool's modes; created files are readable and writable by their
// owner only. A folder opens for reading on POSIX but is no file: it fails too.
os_result<int> open_with_mode(const char* path, int mode);

// The new position.
os_result<std::int64_t> seek_handle(int handle, std::int64_t offset, int origin);

// Cuts a regular file to length 0; other files (devices, pipes) are left as they are.
os_status truncate_file(int handle);

// Holds an exclusive advisory lock on the file until it is closed. A file system without
// locks fails it; the caller decides whether its output may go on without one.
os_status lock_exclusively(int handle, const system_calls& calls = native_calls());

// The same lock if it can be had at once: false where another program holds the file.
os_result<bool> lock_at_once(int handle, const system_calls& calls = native_calls());

// Fails where the system reports a failure at the close (a write that never landed).
os_status close_handle(int handle, const system_calls& calls = native_calls());

// One read of at most length bytes, repeated after an interruption: the count, 0 at the
// end.
os_result<std::int64_t> read_some(int handle, void* destination, std::size_t length,
                                  const system_calls& calls = native_calls());

// Reads until length bytes are in, the file ends or a call fails, going on after short
// reads and interruptions. The bytes read, also beside a failure.
os_result<std::size_t> read_fully(int handle, void* destination, std::size_t length,
                                  const system_calls& calls = native_calls());

// Writes both blocks, in order, from the handle's current position, retrying short
// writes and interruptions.
os_status write_blocks(int handle, const void* first, std::size_t first_length, const void* second,
                       std::size_t second_length, const system_calls& calls = native_calls());

struct opened_file {
  int handle = -1;
  std::int64_t size = 0;
};

// Opens a regular file for reading and finds its size; only a successful open leaves a
// handle to close. Anything else fails with code 0 and the reason "not a regular file".
os_result<opened_file> open_regular_file(const std::string& path);

// Reads the whole opened file into bytes and closes it. A file that shrank while it was
// read fails with code 0.
os_status read_and_close(opened_file& file, std::vector<std::uint8_t>& bytes);

// Closes a file opened for reading only: a failure there loses nothing.
void close_read_file(opened_file& file);

// Creates a file that did not exist, readable and writable as the umask allows.
os_result<int> create_new_file(const std::string& path);

// write_blocks from the start of a new file, then closes it: the first failure of the two.
// On Windows the data is flushed to the disk first, so that a power cut after a rename
// cannot leave a file of zeros under the output's name. (Linux file systems write a
// file's data before a rename over another file lands.)
os_status write_and_close(int handle, const void* first, std::size_t first_length,
                          const void* second, std::size_t second_length,
                          const system_calls& calls = native_calls());

// Makes the file's data durable before a rename: FlushFileBuffers on Windows, nothing
// elsewhere (see write_and_close).
os_status flush_to_disk(int handle);

// Puts `from` in the place of `to` in one step: `to` is the old file or the new one.
os_status replace_file(const std::string& from, const std::string& to);

os_status remove_file(const std::string& path);

// Makes the folder and any missing parents. A folder that exists already, perhaps made by
// another worker at the same moment, is no failure.
os_status make_folders(const std::string& folder);
