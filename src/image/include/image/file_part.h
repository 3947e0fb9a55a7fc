#pragma once
// A part of the input file, read where the caller keeps it, and a part of the output file,
// written there: the seam through which a big picture's rows come (and, for an 8-bit
// bitmap on one processor, go) a band at a time instead of the whole file in memory.

#include <cstdint>
#include <functional>

// Reads `length` bytes of the file from `offset` on into `into`; false when the read failed.
using read_file_part =
    std::function<bool(std::uint64_t offset, std::uint8_t* into, std::uint32_t length)>;

// Writes `length` bytes from `from` into the output file at `offset`; false when the write
// failed.
using write_file_part =
    std::function<bool(std::uint64_t offset, const std::uint8_t* from, std::uint32_t length)>;
