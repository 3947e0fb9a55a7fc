#pragma once
// Allocation and file calls whose failure ends palette-translate's run: each failure comes
// back as the diagnostic that names the call and its arguments and the status -1, which
// the run prints once, at its top, and ends with.

#include <cstdint>
#include <string>

#include "kit/failure.h"
#include "os/files.h"

or_failure<void*> checked_alloc(std::int64_t size);
or_failure<int> checked_open(const char* path, int mode);
or_failure<std::int64_t> checked_seek(int handle, std::int64_t offset, int origin);
step_failure checked_read(int handle, void* destination, int length,
                          const system_calls& calls = native_calls());
step_failure checked_seek_read(int handle, void* destination, std::int64_t offset, int length,
                               const system_calls& calls = native_calls());
or_failure<int> checked_write(int handle, const void* source, int length,
                              const system_calls& calls = native_calls());
or_failure<int> checked_seek_write(int handle, const void* source, std::int64_t offset, int length,
                                   const system_calls& calls = native_calls());

// Writes two blocks one after the other at offset with one gathered write; the write
// diagnostic names the first block and the total length.
or_failure<int> checked_seek_write_pair(int handle, const void* first, int first_length,
                                        const void* second, int second_length, std::int64_t offset,
                                        const system_calls& calls = native_calls());

// An address as the diagnostics print it: upper-case hex, zero-padded to the pointer's
// full width, no prefix.
std::string format_address(const void* address);

// Cuts a regular file opened with OPEN_TRUNCATE to length 0; fails as the open did.
// Other files (devices, pipes) are left as they are.
step_failure checked_truncate(int handle, const char* path, int mode);

// The diagnostic of a failed allocation of `size` bytes.
failure allocation_failure(std::int64_t size);

// How the run's top ends on a failure: its diagnostic on standard output, its status.
int print_failure(const failure& failed);
