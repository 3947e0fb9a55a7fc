#pragma once
// A translation's input read whole, as palette-inspect and palette-batch read it, with the
// words both print when it cannot be.

#include <cstdint>
#include <string>
#include <vector>

#include "kit/failure.h"
#include "palette/translation.h"

// Reads the regular file at path into bytes and gives its size. The size is checked first:
// a file beyond the size limits (check_file_size) is not read, and bytes stay empty.
// Failures read "cannot open: <the system's reason>", "not a regular file", "cannot read:
// <reason>" or "cannot read the whole file".
or_failure<std::int64_t> read_input(const std::string& path, std::vector<std::uint8_t>& bytes);
