#pragma once
// The tool keeps every name in UTF-8; Windows names files in UTF-16. Names cross over
// here and nowhere else.

#include <windows.h>

#include <string>

std::wstring wide_text(const std::string& text);
std::string utf8_text(const wchar_t* text);

// The system's own words for an error code, as one line of UTF-8.
std::string windows_reason(DWORD error);

// The system handle behind a C runtime handle.
HANDLE system_handle(int handle);
