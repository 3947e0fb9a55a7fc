#pragma once
// The tool keeps every name in UTF-8; Windows names files in UTF-16. Names cross over
// here and nowhere else.

#include <windows.h>

#include <string>

std::wstring wide_text(const std::string& text);
std::string utf8_text(const wchar_t* text);

// A path as the file calls take it. A full path of MAX_PATH or more (a folder's limit is
// 12 less) goes in the \\?\ form, where only backslashes separate and nothing is tidied,
// so that long paths work whether or not the system allows them in the usual form.
std::wstring system_path(const std::string& path);

// The full path Windows makes of a path against the current folders of the drives.
std::wstring full_path(const std::wstring& path);

// The system's own words for an error code, as one line of UTF-8.
std::string windows_reason(DWORD error);

// The system handle behind a C runtime handle.
HANDLE system_handle(int handle);
