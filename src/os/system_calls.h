#pragma once
// The calls whose short transfers, interruptions and errors the file loops must survive,
// reached through one table so that tests can script those cases. The table holds the
// system's own calls; nothing but a test changes it.

#include <sys/types.h>
#include <sys/uio.h>

struct system_calls {
  ssize_t (*read)(int handle, void* destination, size_t length);
  ssize_t (*writev)(int handle, const iovec* blocks, int count);
  int (*flock)(int handle, int operation);
  int (*close)(int handle);
};

extern system_calls io_system;
