#pragma once
// The one way each command runs its work: the standard library reports a failed
// allocation by throwing, and a throw that left the work would end the process with an
// abort. Here it ends the work as the out-of-memory refusal does, with that refusal's line.

#include <exception>
#include <string>

#include "kit/failure.h"

// Why work ended by throwing: the out-of-memory refusal's line for a failed allocation,
// else what the exception says.
std::string reason_of(const std::exception& error);

// The work's result, or where it threw, `failed(reason)`'s.
template <typename Work, typename Failed>
auto guarded(Work&& work, Failed&& failed) -> decltype(work()) {
  try {
    return work();
  } catch (const std::exception& error) {
    return failed(reason_of(error));
  }
}
