#pragma once
// The file calls of every command, in one place so that another platform implements them
// once. Calls that may fail without ending the process follow one convention: they
// return false and say why in *err, which the command reports once, at the top.

#include <cstdint>
#include <string>
#include <vector>

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

constexpr int SEEK_FROM_START = 0;
constexpr int SEEK_FROM_END = 2;

// The platform's open flags for one of the tool's modes. The truncate flag has none:
// truncate_file does it once the opened file has been checked.
int platform_open_flags(int mode);

// Opens with one of the tool's modes; created files are readable and writable by their
// owner only. -1 on failure, and for a folder, which opens for reading but is no file.
int open_with_mode(const char* path, int mode);

// The new position, or -1.
long seek_handle(int handle, long offset, int origin);

bool is_regular_file(int handle);

// Cuts a regular file to length 0; other files (devices, pipes) are left as they are.
bool truncate_file(int handle);

// Holds an exclusive advisory lock on the file until it is closed. Best effort: a file
// system without locks still gets its output.
void lock_exclusively(int handle);

// False, with errno set, when the system reports a failure (a write that never landed).
bool close_handle(int handle);

// One read of at most length bytes, repeated after an interruption: the count, 0 at the
// end, or -1 with errno set.
std::int64_t read_some(int handle, void* destination, std::size_t length);

// Reads until length bytes are in, the file ends or a call fails, going on after short
// reads and interruptions. Returns the bytes read; error is 0 or the failure's errno.
std::size_t read_fully(int handle, void* destination, std::size_t length, int& error);

// Writes both blocks, in order, from the handle's current position, retrying short
// writes and interruptions. Returns 0 or the errno of the failure.
int write_blocks(int handle, const void* first, std::size_t first_length, const void* second,
                 std::size_t second_length);

struct opened_file {
  int handle = -1;
  std::int64_t size = 0;
};

// Opens a regular file for reading and finds its size; only a successful open leaves a
// handle to close.
bool open_regular_file(const std::string& path, opened_file& file, std::string* err);

// Reads the whole opened file into bytes and closes it.
bool read_and_close(opened_file& file, std::vector<std::uint8_t>& bytes, std::string* err);

void close_file(opened_file& file);

// Creates a file that did not exist, readable and writable as the umask allows; -1 and
// *err on failure.
int create_new_file(const std::string& path, std::string* err);

// write_blocks from the start of a new file, then closes it; *err is the system's reason.
bool write_and_close(int handle, const void* first, std::size_t first_length, const void* second,
                     std::size_t second_length, std::string* err);

// Puts `from` in the place of `to` in one step: `to` is the old file or the new one.
bool replace_file(const std::string& from, const std::string& to, std::string* err);

void remove_file(const std::string& path);

// Makes the folder and any missing parents. A folder that exists already, perhaps made by
// another worker at the same moment, is no failure.
bool make_folders(const std::string& folder, std::string* err);

// The folder part of a path: "" for a bare name, "/" for a name in the root; on Windows
// a backslash also separates, and a name in a drive's root, "C:\name", gives "C:\".
std::string parent_of(const std::string& path);

// '/', and on Windows the backslash too.
bool is_path_separator(char c);
