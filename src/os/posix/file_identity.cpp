#include "os/file_identity.h"

#include "os/posix/stat_identity.h"

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
