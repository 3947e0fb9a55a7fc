#include "os/windows/file_handles.h"

#include "os/windows/wide_text.h"

os_error last_error(const char* call) {
  DWORD error = GetLastError();
  return {call, static_cast<int>(error), windows_reason(error)};
}

os_result<file_identity> identity_of_system_handle(HANDLE handle, DWORD* attributes) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (handle == INVALID_HANDLE_VALUE)
    return failed_with<file_identity>(
        {"GetFileInformationByHandle", ERROR_INVALID_HANDLE, windows_reason(ERROR_INVALID_HANDLE)});
  if (!GetFileInformationByHandle(handle, &info))
    return failed_with<file_identity>(last_error("GetFileInformationByHandle"));
  if (attributes != nullptr) *attributes = info.dwFileAttributes;
  return {
      {info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow},
      {}};
}

os_result<file_identity> identity_of_named(const std::string& path, DWORD* attributes) {
  // Backup semantics let a folder be opened too; no access right is asked for.
  HANDLE handle = CreateFileW(wide_text(path).c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return failed_with<file_identity>(last_error("CreateFileW"));
  os_result<file_identity> known = identity_of_system_handle(handle, attributes);
  CloseHandle(handle);
  return known;
}
