#include "os/file_identity.h"

#include "file_handles.h"
#include "wide_text.h"

os_result<file_identity> identity_of_handle(int handle) {
  return identity_of_system_handle(system_handle(handle), nullptr);
}

os_result<file_identity> identity_of_path(const std::string& path) {
  return identity_of_named(path, nullptr);
}

os_result<file_identity> identity_of_folder(const std::string& path) {
  DWORD attributes = 0;
  os_result<file_identity> found = identity_of_named(path, &attributes);
  if (found.ok() && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    return failed_with<file_identity>({"CreateFileW", 0, "not a folder"});
  return found;
}
