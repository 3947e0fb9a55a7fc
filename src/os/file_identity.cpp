#include "os/file_identity.h"

#include "os/stat_identity.h"

bool identity_of_handle(int handle, file_identity& identity) {
  struct stat info {};
  if (fstat(handle, &info) != 0) return false;
  identity = identity_of(info);
  return true;
}

bool identity_of_path(const std::string& path, file_identity& identity) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return false;
  identity = identity_of(info);
  return true;
}

bool identity_of_folder(const std::string& path, file_identity& identity) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
  identity = identity_of(info);
  return true;
}

bool names_open_file(int handle, const char* path) {
  file_identity open_file;
  file_identity named_file;
  return identity_of_handle(handle, open_file) && identity_of_path(path, named_file) &&
         open_file == named_file;
}

bool same_open_file(int a, int b) {
  file_identity first;
  file_identity second;
  return identity_of_handle(a, first) && identity_of_handle(b, second) && first == second;
}
