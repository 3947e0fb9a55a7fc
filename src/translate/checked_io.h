#pragma once
// Allocation and file calls that cannot fail from the caller's point of view: on failure
// each prints a diagnostic naming the call and its arguments and ends the process with -1.

#include <cstdint>
#include <string>

#include "os/files.h"

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

// Cuts a regular file opened with OPEN_TRUNCATE to length 0; fails as the open did.
// Other files (devices, pipes) are left as they are.
void checked_truncate(int handle, const char* path, int mode);
