#pragma once
// How the seam's calls report a failure: false, with the reason in *err when asked for.

#include <cstring>
#include <string>

// The C runtime's text for an errno value, the same words on every platform's runtime.
inline std::string system_reason(int error) {
  return std::strerror(error);
}

inline bool failed(std::string* err, std::string reason) {
  if (err != nullptr) *err = std::move(reason);
  return false;
}
