#include "tool/same_file.h"

#include <sys/stat.h>

namespace {

bool same_inode(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

bool names_open_file(int handle, const char* path) {
  struct stat open_file {};
  struct stat named_file {};
  if (fstat(handle, &open_file) != 0 || stat(path, &named_file) != 0) return false;
  return same_inode(open_file, named_file);
}

bool same_open_file(int a, int b) {
  struct stat first {};
  struct stat second {};
  if (fstat(a, &first) != 0 || fstat(b, &second) != 0) return false;
  return same_inode(first, second);
}
