#include "batch/input_scan.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

namespace {

// What a folder's entries need from it: its device, and the folder not to enter.
struct folder_scan {
  dev_t device;
  file_identity skipped;
};

void scan_folder(const std::string& root, const std::string& relative, const folder_scan& in,
                 input_scan& scan);

struct listed_entry {
  std::string relative;
  unsigned char type;  // DT_REG, DT_DIR ... or DT_UNKNOWN where the file system does not say
  ino_t inode;
};

// One entry of a folder: a file to translate, a folder to enter, or nothing. A regular
// file's identity comes from the folder listing, which saves a call per file.
void scan_entry(const std::string& root, const listed_entry& entry, const folder_scan& in,
                input_scan& scan) {
  const std::string& relative = entry.relative;
  bool wanted = has_bmp_extension(relative);
  if (entry.type == DT_REG) {
    if (!wanted) return;
    scan.inputs.push_back(relative);
    scan.identities.insert({in.device, entry.inode});
    return;
  }
  std::string path = path_under(root, relative);
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) return;
  if (S_ISDIR(info.st_mode)) {
    if (file_identity{info.st_dev, info.st_ino} != in.skipped)
      scan_folder(root, relative, {info.st_dev, in.skipped}, scan);
    return;
  }
  if (!wanted) return;
  // A link counts as the file it names; a dangling one fails when it is opened.
  if (S_ISLNK(info.st_mode) && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return;
  scan.inputs.push_back(relative);
  scan.identities.insert({info.st_dev, info.st_ino});
}

void scan_folder(const std::string& root, const std::string& relative, const folder_scan& in,
                 input_scan& scan) {
  std::string path = path_under(root, relative);
  DIR* folder = opendir(path.c_str());
  if (folder == nullptr) {
    scan.failures.push_back({path, std::string("cannot read the folder: ") + std::strerror(errno)});
    return;
  }
  // The listing is read whole before going deeper, so only one folder is open at a time.
  std::vector<listed_entry> entries;
  while (dirent* entry = readdir(folder)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..")
      entries.push_back({path_under(relative, name), entry->d_type, entry->d_ino});
  }
  closedir(folder);
  for (const listed_entry& entry : entries) scan_entry(root, entry, in, scan);
}

}  // namespace

std::string path_under(const std::string& folder, const std::string& relative) {
  if (folder.empty()) return relative;
  if (relative.empty()) return folder;
  return folder.back() == '/' ? folder + relative : folder + "/" + relative;
}

bool has_bmp_extension(const std::string& name) {
  constexpr std::string_view EXTENSION = ".bmp";
  if (name.size() < EXTENSION.size()) return false;
  return std::equal(EXTENSION.begin(), EXTENSION.end(), name.end() - EXTENSION.size(),
                    [](char wanted, char c) {
                      return c == wanted || (c >= 'A' && c <= 'Z' && c - 'A' + 'a' == wanted);
                    });
}

input_scan scan_inputs(const std::string& root, file_identity skipped) {
  input_scan scan;
  struct stat info {};
  if (stat(root.c_str(), &info) != 0) info.st_dev = 0;
  scan_folder(root, "", {info.st_dev, skipped}, scan);
  std::sort(scan.inputs.begin(), scan.inputs.end());
  return scan;
}
