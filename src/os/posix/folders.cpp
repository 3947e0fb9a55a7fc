#include "os/folders.h"

#include <dirent.h>

#include <cerrno>

#include "stat_identity.h"

os_result<std::vector<folder_entry>> list_folder(const std::string& path) {
  DIR* folder = opendir(path.c_str());
  if (folder == nullptr)
    return failed_with<std::vector<folder_entry>>(errno_error("opendir", errno));
  std::vector<folder_entry> entries;
  // A regular file's identity comes from the listing, which saves a call per file.
  struct stat own {};
  std::uint64_t device = fstat(dirfd(folder), &own) == 0 ? own.st_dev : 0;
  while (dirent* found = readdir(folder)) {
    std::string name = found->d_name;
    if (name == "." || name == "..") continue;
    folder_entry entry{name, entry_kind::other, {}};
    if (found->d_type == DT_REG) {
      entry.kind = entry_kind::regular_file;
      entry.identity = {device, static_cast<std::uint64_t>(found->d_ino)};
    }
    entries.push_back(std::move(entry));
  }
  closedir(folder);
  return {std::move(entries), {}};
}

bool is_resolved(const folder_entry& entry) {
  return entry.kind == entry_kind::regular_file;
}

os_status classify_entry(const std::string& path, folder_entry& entry) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) return failed_with(errno_error("lstat", errno));
  entry.identity = identity_of(info);
  entry.kind = entry_kind::other;
  if (S_ISDIR(info.st_mode)) {
    entry.kind = entry_kind::folder;
  } else if (S_ISLNK(info.st_mode) && stat(path.c_str(), &info) == 0) {
    entry.identity = identity_of(info);
    if (S_ISDIR(info.st_mode)) entry.kind = entry_kind::linked_folder;
  }
  return {};
}
