// Path arithmetic, the same on every platform but for the separators.

#include "os/paths.h"

bool is_path_separator(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\';
#else
  return c == '/';
#endif
}

std::string parent_of(const std::string& path) {
  std::size_t slash = path.size();
  while (slash > 0 && !is_path_separator(path[slash - 1])) --slash;
  if (slash == 0) return "";
  --slash;
#ifdef _WIN32
  // "C:\name" lies in the drive's root, "C:\".
  if (slash == 2 && path[1] == ':') return path.substr(0, 3);
#endif
  return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

std::string joined_path(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (is_path_separator(folder.back())) return folder + name;
  return folder + PATH_SEPARATOR + name;
}

#ifndef _WIN32
std::string resolved_drive_path(const std::string& path) {
  return path;
}
#endif

std::string name_key(const std::string& name) {
#ifdef _WIN32
  std::string key = name;
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
#else
  return name;
#endif
}
