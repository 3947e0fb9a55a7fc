#include "os/folders.h"
#include "os/paths.h"

#include "file_handles.h"
#include "wide_text.h"

// The listing names no file index, so every entry is left for classify_entry, which asks
// for the identity that the scan needs to keep outputs off inputs.
os_result<std::vector<folder_entry>> list_folder(const std::string& path) {
  std::vector<folder_entry> entries;
  WIN32_FIND_DATAW found{};
  std::wstring pattern = system_path(path);
  // In the \\?\ form a doubled separator would be part of a name.
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
  pattern += L'*';
  HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) {
    // A drive's root has no "." or "..": empty, it lists nothing at all.
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return {std::move(entries), {}};
    return failed_with<std::vector<folder_entry>>(last_error("FindFirstFileExW"));
  }
  do {
    std::string name = utf8_text(found.cFileName);
    if (name != "." && name != "..") entries.push_back({name, entry_kind::other, {}});
  } while (FindNextFileW(search, &found));
  os_error stopped = last_error("FindNextFileW");
  FindClose(search);
  if (stopped.code != ERROR_NO_MORE_FILES)
    return failed_with<std::vector<folder_entry>>(std::move(stopped));
  return {std::move(entries), {}};
}

bool is_resolved(const folder_entry& entry) {
  return entry.kind == entry_kind::regular_file;
}

os_status classify_entry(const std::string& path, folder_entry& entry) {
  DWORD own = GetFileAttributesW(system_path(path).c_str());
  if (own == INVALID_FILE_ATTRIBUTES) return failed_with(last_error("GetFileAttributesW"));
  entry.kind = entry_kind::other;
  DWORD attributes = 0;
  os_result<file_identity> named = identity_of_named(path, &attributes);
  // A dangling link keeps no identity; it fails when it is opened.
  if (!named.ok()) return {};
  entry.identity = named.value;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return {};
  entry.kind = entry_kind::folder;
  if ((own & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return {};
  // A folder whose tag cannot be read stays unwalked, as a link would.
  os_result<DWORD> tag = reparse_tag_of(path);
  if (!tag.ok() || is_link_tag(tag.value)) entry.kind = entry_kind::linked_folder;
  return {};
}

std::string resolved_drive_path(const std::string& path) {
  bool on_drive = path.size() >= 2 && path[1] == ':' &&
                  ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
  if (!on_drive || (path.size() > 2 && is_path_separator(path[2]))) return path;
  return utf8_text(full_path(wide_text(path)).c_str());
}
