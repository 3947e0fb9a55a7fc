#pragma once
// The calls whose short transfers, interruptions and errors the file loops must survive.
// Every file call that makes one takes the table it calls through, by default the
// system's own (native_calls), so that a test can hand in its own to script those cases.

#ifdef _WIN32
struct system_calls {
  int (*read)(int handle, void* destination, unsigned length);
  int (*write)(int handle, const void* source, unsigned length);
  int (*close)(int handle);
};
#else
#include <sys/types.h>
#include <sys/uio.h>

struct system_calls {
  ssize_t (*read)(int handle, void* destination, size_t length);
  ssize_t (*writev)(int handle, const iovec* blocks, int count);
  int (*flock)(int handle, int operation);
  int (*close)(int handle);
};
#endif
