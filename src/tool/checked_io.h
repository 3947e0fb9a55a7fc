#pragma once
// Allocation and file calls that cannot fail from the caller's point of view: on failure
// each prints a diagnostic naming the call and its arguments and ends the process with -1.

#include <cstdint>
#include <string>

// The tool's own open modes, also what the open diagnostic prints.
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

void* checked_alloc(long size);
int checked_open(const char* path, int mode);
long checked_seek(int handle, long offset, int origin);
int checked_read(int handle, void* destination, int length);
int checked_seek_read(int handle, void* destination, long offset, int length);
int checked_write(int handle, const void* source, int length);
int checked_seek_write(int handle, const void* source, long offset, int length);

// Writes two blocks one after the other at offset with one gathered write; the write
// diagnostic names the first block and the total length.
int checked_seek_write_pair(int handle, const void* first, int first_length, const void* second,
                            int second_length, long offset);

// An address as the diagnostics print it: upper-case hex, zero-padded to the pointer's
// full width, no prefix.
std::string format_address(const void* address);

// Holds an exclusive advisory lock on the file until it is closed; runs writing one output
// then follow each other.
void lock_exclusively(int handle);

// Cuts a regular file opened with OPEN_TRUNCATE to length 0; fails as the open did.
// Other files (devices, pipes) are left as they are.
void checked_truncate(int handle, const char* path, int mode);

// The platform's open flags for one of the tool's modes. The truncate flag has none:
// checked_truncate does it once the opened file has been checked.
int platform_open_flags(int mode);
