#pragma once
// A file as the file system knows it, whatever name reaches it: its device (volume) and
// its number there. Links, hard or symbolic, reach the same identity.

#include <compare>
#include <cstdint>
#include <string>

#include "os/os_result.h"

struct file_identity {
  std::uint64_t device = 0;
  std::uint64_t number = 0;
  std::uint64_t number_high = 0;  // Windows' 128-bit file IDs (ReFS, Dev Drive): the rest
  friend auto operator<=>(const file_identity&, const file_identity&) = default;
};

// A path's links are followed.
os_result<file_identity> identity_of_handle(int handle);
os_result<file_identity> identity_of_path(const std::string& path);

// The identity of a folder; a path that is no folder fails with code 0.
os_result<file_identity> identity_of_folder(const std::string& path);

// Whether path names the file already open as handle; a path that reaches no file does not.
os_result<bool> names_open_file(int handle, const char* path);

// Whether both handles are the same file.
os_result<bool> same_open_file(int a, int b);
