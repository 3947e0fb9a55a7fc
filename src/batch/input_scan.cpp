#include "batch/input_scan.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

namespace {

void scan_folder(const std::string& root, const std::string& relative, file_identity skipped,
                 input_scan& scan);

// One entry of a folder: a file to translate, a folder to enter, or nothing.
void scan_entry(const std::string& root, const std::string& relative, file_identity skipped,
                input_scan& scan) {
  std::string path = path_under(root, relative);
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) return;
  if (S_ISDIR(info.st_mode)) {
    if (file_identity{info.st_dev, info.st_ino} != skipped)
      scan_folder(root, relative, skipped, scan);
    return;
  }
  if (!has_bmp_extension(relative)) return;
  // A link counts as the file it names; a dangling one fails when it is opened.
  if (S_ISLNK(info.st_mode) && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return;
  scan.inputs.push_back(relative);
  scan.identities.insert({info.st_dev, info.st_ino});
}

void scan_folder(const std::string& root, const std::string& relative, file_identity skipped,
                 input_scan& scan) {
  std::string path = path_under(root, relative);
  DIR* folder = opendir(path.c_str());
  if (folder == nullptr) {
    scan.failures.push_back({path, std::string("cannot read the folder: ") + std::strerror(errno)});
    return;
  }
  std::vector<std::string> names;
  while (dirent* entry = readdir(folder)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(folder);
  for (const std::string& name : names) scan_entry(root, path_under(relative, name), skipped, scan);
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
  scan_folder(root, "", skipped, scan);
  std::sort(scan.inputs.begin(), scan.inputs.end());
  return scan;
}
