#pragma once
// Links between files in a page: kept apart from the folder calls, so that a command that
// makes no page does not carry std::filesystem.

#include <string>

// `path` as a relative path from `folder`, both taken against the current folder and
// tidied ("." and ".." resolved) without asking the file system: for links in a page that
// still work when the folders are moved together.
std::string relative_path_from(const std::string& folder, const std::string& path);
