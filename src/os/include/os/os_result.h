#pragma once
// The seam's one way to fail: every call that can fail returns an os_result, which holds
// the call's value or the call that failed and the system's words for why. Nothing in the
// seam fails in silence; a caller that may ignore a failure says so where it does.

#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <variant>

struct os_error {
  std::string call;    // the platform's call that failed: "open", "rename", "MoveFileExW" ...
  int code = 0;        // errno, or the Windows error; 0 where the call worked but its result
                       // cannot be used (a folder opened as a file, a file that shrank)
  std::string reason;  // the system's text for the code, or what was wrong with the result
};

template <typename T>
struct [[nodiscard]] os_result {
  T value{};
  std::optional<os_error> error;
  bool ok() const { return !error.has_value(); }
};

// For the calls that give nothing but whether they worked.
using os_status = os_result<std::monostate>;

// The C runtime's text for an errno value, the same words on every platform's runtime.
inline std::string system_reason(int code) {
  return std::strerror(code);
}

// A failure of `call` with an errno value.
inline os_error errno_error(const char* call, int code) {
  return {call, code, system_reason(code)};
}

// The same, as any call's result.
template <typename T = std::monostate>
os_result<T> failed_with(os_error error) {
  return {T{}, std::move(error)};
}
