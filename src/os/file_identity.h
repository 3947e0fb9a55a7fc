#pragma once
// A file as the file system knows it, whatever name reaches it: its device (volume) and
// its number there. Links, hard or symbolic, reach the same identity.

#include <compare>
#include <cstdint>
#include <string>

struct file_identity {
  std::uint64_t device = 0;
  std::uint64_t number = 0;
  friend auto operator<=>(const file_identity&, const file_identity&) = default;
};

// False when the handle or path cannot be asked; a path's links are followed.
bool identity_of_handle(int handle, file_identity& identity);
bool identity_of_path(const std::string& path, file_identity& identity);

// The identity of a folder; false when the path is no folder.
bool identity_of_folder(const std::string& path, file_identity& identity);

// True when path names the file already open as handle.
bool names_open_file(int handle, const char* path);

// True when both handles are the same file.
bool same_open_file(int a, int b);
