#pragma once
// Memory for whole files.

#include <cstddef>

// A block of `size` bytes, or null. Big blocks sit on huge pages where the system has
// them, so that filling them costs far fewer page faults.
void* allocate_block(std::size_t size);
