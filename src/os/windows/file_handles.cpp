#include "os/windows/file_handles.h"

#include "os/windows/wide_text.h"

bool identity_of_system_handle(HANDLE handle, file_identity& identity, DWORD* attributes) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &info)) return false;
  identity = {info.dwVolumeSerialNumber,
              (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
  if (attributes != nullptr) *attributes = info.dwFileAttributes;
  return true;
}

bool identity_of_named(const std::string& path, file_identity& identity, DWORD* attributes) {
  // Backup semantics let a folder be opened too; no access right is asked for.
  HANDLE handle = CreateFileW(wide_text(path).c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  bool known = identity_of_system_handle(handle, identity, attributes);
  CloseHandle(handle);
  return known;
}
