#pragma once
// A part of the input file, read where the caller keeps it: the seam through which a big
// true-colour bitmap's rows come a band at a time instead of the whole file in memory.

#include <cstdint>
#include <functional>

// Reads `length` bytes of the file from `offset` on into `into`; false when the read failed.
using read_file_part =
    std::function<bool(std::uint64_t offset, std::uint8_t* into, std::uint32_t length)>;
