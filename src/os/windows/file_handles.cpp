#include "file_handles.h"

#include <cstring>

#include "wide_text.h"

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
  // The 128-bit ID where the system gives it: on ReFS the 64-bit index need not be unique.
  FILE_ID_INFO id{};
  if (GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof id)) {
    std::uint64_t halves[2];
    static_assert(sizeof halves == sizeof id.FileId.Identifier);
    std::memcpy(halves, id.FileId.Identifier, sizeof halves);
    return {{id.VolumeSerialNumber, halves[0], halves[1]}, {}};
  }
  return {{info.dwVolumeSerialNumber,
           (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow, 0},
          {}};
}

os_result<DWORD> reparse_tag_of(const std::string& path) {
  HANDLE handle = CreateFileW(
      system_path(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return failed_with<DWORD>(last_error("CreateFileW"));
  FILE_ATTRIBUTE_TAG_INFO info{};
  bool known = GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &info, sizeof info);
  os_error why = last_error("GetFileInformationByHandleEx");
  CloseHandle(handle);
  if (!known) return failed_with<DWORD>(std::move(why));
  return {info.ReparseTag, {}};
}

os_result<file_identity> identity_of_named(const std::string& path, DWORD* attributes) {
  // Backup semantics let a folder be opened too; no access right is asked for.
  HANDLE handle = CreateFileW(system_path(path).c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return failed_with<file_identity>(last_error("CreateFileW"));
  os_result<file_identity> known = identity_of_system_handle(handle, attributes);
  CloseHandle(handle);
  return known;
}
