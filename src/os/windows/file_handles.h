#pragma once
// A file's identity on Windows: its volume's serial number and its index there, the same
// for every name and hard link that reaches it.

#include <windows.h>

#include <string>

#include "os/file_identity.h"

// The identity and, when asked, the attributes of an open file or folder.
os_result<file_identity> identity_of_system_handle(HANDLE handle, DWORD* attributes);

// The same for a path, following links, without opening the file for reading: a file
// another program holds locked is still known.
os_result<file_identity> identity_of_named(const std::string& path, DWORD* attributes);

// The failure of a Windows call, with the error GetLastError gives.
os_error last_error(const char* call);
