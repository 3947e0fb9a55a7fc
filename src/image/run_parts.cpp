#include "run_parts.h"

#ifndef PALETTE_MAX_THREADS
#define PALETTE_MAX_THREADS 0
#endif

unsigned thread_cap() {
  return PALETTE_MAX_THREADS;
}
