#pragma once
// Whole-file reads and writes that report failure instead of ending the process: the
// loops every command uses, and the file calls of palette-inspect and palette-batch,
// which go on after one file fails.

#include <cstdint>
#include <string>
#include <vector>

struct opened_file {
  int handle = -1;
  std::int64_t size = 0;
};

// Opens a regular file for reading and finds its size. Returns "" or why it cannot be
// read; only a successful open leaves a handle to close.
std::string open_regular_file(const std::string& path, opened_file& file);

// Reads until length bytes are in, the file ends or a call fails, going on after short
// reads and interruptions. Returns the bytes read; error is 0 or the failure's errno.
std::size_t read_fully(int handle, void* destination, std::size_t length, int& error);

// Reads the whole opened file into bytes and closes it. Returns "" or why not.
std::string read_and_close(opened_file& file, std::vector<std::uint8_t>& bytes);

void close_file(opened_file& file);

// Writes both blocks, in order, from the handle's current position, retrying short
// writes and interruptions. Returns 0 or the errno of the failure.
int write_blocks(int handle, const void* first, std::size_t first_length, const void* second,
                 std::size_t second_length);
