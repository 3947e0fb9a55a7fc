// The identity questions built only from the seam's other calls: the same on every platform.

#include "os/file_identity.h"

os_result<bool> names_open_file(int handle, const char* path) {
  os_result<file_identity> open_file = identity_of_handle(handle);
  if (!open_file.ok()) return failed_with<bool>(*open_file.error);
  os_result<file_identity> named_file = identity_of_path(path);
  // A name that reaches no file names no open file either.
  if (!named_file.ok()) return {false, {}};
  return {open_file.value == named_file.value, {}};
}

os_result<bool> same_open_file(int a, int b) {
  os_result<file_identity> first = identity_of_handle(a);
  if (!first.ok()) return failed_with<bool>(*first.error);
  os_result<file_identity> second = identity_of_handle(b);
  if (!second.ok()) return failed_with<bool>(*second.error);
  return {first.value == second.value, {}};
}
