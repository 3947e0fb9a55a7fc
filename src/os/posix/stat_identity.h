#pragma once
// The identity the POSIX file status gives, for the seam's own files: the one place that
// turns a device and an inode into a file_identity.

#include <sys/stat.h>

#include "os/file_identity.h"

inline file_identity identity_of(const struct stat& info) {
  return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}
