#pragma once
// Path arithmetic, the same on every platform but for the separators.

#include <string>

// The folder part of a path: "" for a bare name, "/" for a name in the root; on Windows
// a backslash also separates, and a name in a drive's root, "C:\name", gives "C:\".
std::string parent_of(const std::string& path);

// '/', and on Windows the backslash too.
bool is_path_separator(char c);

// A name as the file system compares it: as it is, and on Windows, whose names ignore
// case, with its ASCII letters in lower case.
std::string name_key(const std::string& name);
