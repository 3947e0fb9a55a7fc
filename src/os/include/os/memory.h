#pragma once
// Memory for whole files.

#include <cstddef>

#include "os/os_result.h"

// A block of `size` bytes. Big blocks sit on huge pages where the system has them, so that
// filling them costs far fewer page faults.
os_result<void*> allocate_block(std::size_t size);
