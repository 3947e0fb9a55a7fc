#pragma once
// Path arithmetic, the same on every platform but for the separators.

#include <string>

// The folder part of a path: "" for a bare name, "/" for a name in the root; on Windows
// a backslash also separates, and a name in a drive's root, "C:\name", gives "C:\".
std::string parent_of(const std::string& path);

// The separator the platform writes between a folder and a name: '/', or on Windows '\\'.
constexpr char PATH_SEPARATOR =
#ifdef _WIN32
    '\\';
#else
    '/';
#endif

// The name inside the folder; "" for a folder leaves the name as it is.
std::string joined_path(const std::string& folder, const std::string& name);

// On Windows, a path on a drive with no separator after the colon ("D:", "D:x") lies in
// that drive's current folder: its full path, as Windows resolves it. Every other path,
// and every path elsewhere, as it is.
std::string resolved_drive_path(const std::string& path);

// '/', and on Windows the backslash too.
bool is_path_separator(char c);

// A name as the file system compares it: as it is, and on Windows, whose names ignore
// case, with its ASCII letters in lower case.
std::string name_key(const std::string& name);
