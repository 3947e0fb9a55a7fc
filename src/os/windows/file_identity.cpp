#include "os/file_identity.h"

#include "os/windows/file_handles.h"
#include "os/windows/wide_text.h"

bool identity_of_handle(int handle, file_identity& identity) {
  return identity_of_system_handle(system_handle(handle), identity, nullptr);
}

bool identity_of_path(const std::string& path, file_identity& identity) {
  return identity_of_named(path, identity, nullptr);
}

bool identity_of_folder(const std::string& path, file_identity& identity) {
  DWORD attributes = 0;
  return identity_of_named(path, identity, &attributes) &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
