#include "os/folders.h"

#include "os/seam_errors.h"
#include "os/windows/file_handles.h"
#include "os/windows/wide_text.h"

// The listing names no file index, so every entry is left for classify_entry, which asks
// for the identity that the scan needs to keep outputs off inputs.
bool list_folder(const std::string& path, std::vector<folder_entry>& entries, std::string* err) {
  WIN32_FIND_DATAW found{};
  std::wstring pattern = wide_text(path) + L"\\*";
  HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    // A drive's root has no "." or "..": empty, it lists nothing at all.
    return error == ERROR_FILE_NOT_FOUND || failed(err, windows_reason(error));
  }
  do {
    std::string name = utf8_text(found.cFileName);
    if (name != "." && name != "..") entries.push_back({name, entry_kind::other, {}});
  } while (FindNextFileW(search, &found));
  DWORD error = GetLastError();
  FindClose(search);
  return error == ERROR_NO_MORE_FILES || failed(err, windows_reason(error));
}

bool is_resolved(const folder_entry& entry) {
  return entry.kind == entry_kind::regular_file;
}

bool classify_entry(const std::string& path, folder_entry& entry) {
  DWORD own = GetFileAttributesW(wide_text(path).c_str());
  if (own == INVALID_FILE_ATTRIBUTES) return false;
  entry.kind = entry_kind::other;
  DWORD attributes = 0;
  // A dangling link keeps no identity; it fails when it is opened.
  if (!identity_of_named(path, entry.identity, &attributes)) return true;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return true;
  // Symbolic links and junctions to folders are reparse points.
  entry.kind =
      (own & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? entry_kind::linked_folder : entry_kind::folder;
  return true;
}
