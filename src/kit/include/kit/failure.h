#pragma once
// The commands' one way to fail: a step that cannot be done returns a failure, the status
// it ends the command with and the words the user is shown, up to command_main, which
// prints it once.

#include <optional>
#include <string>
#include <utility>

struct failure {
  int status = 0;
  std::string text;
};

// A step's value, or the failure that ends the command.
template <typename T>
struct [[nodiscard]] or_failure {
  T value{};
  std::optional<failure> failed;
  bool ok() const { return !failed.has_value(); }
};

// For steps that give nothing but whether they were done: nullopt when they were.
using step_failure = std::optional<failure>;

template <typename T>
or_failure<T> fail_with(int status, std::string text) {
  return {T{}, failure{status, std::move(text)}};
}
