#include "os/file_identity.h"

#include <cerrno>

#include "stat_identity.h"

os_result<file_identity> identity_of_handle(int handle) {
  struct stat info {};
  if (fstat(handle, &info) != 0) return failed_with<file_identity>(errno_error("fstat", errno));
  return {identity_of(info), {}};
}

os_result<file_identity> identity_of_path(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return failed_with<file_identity>(errno_error("stat", errno));
  return {identity_of(info), {}};
}

os_result<file_identity> identity_of_folder(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return failed_with<file_identity>(errno_error("stat", errno));
  if (!S_ISDIR(info.st_mode)) return failed_with<file_identity>({"stat", 0, "not a folder"});
  return {identity_of(info), {}};
}
