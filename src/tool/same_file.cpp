#include "tool/same_file.h"

#include <sys/stat.h>

bool names_open_file(int handle, const char* path) {
  struct stat open_file {};
  struct stat named_file {};
  if (fstat(handle, &open_file) != 0 || stat(path, &named_file) != 0) return false;
  return open_file.st_dev == named_file.st_dev && open_file.st_ino == named_file.st_ino;
}
