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

// Whether a reparse point with this tag leads elsewhere, as symbolic links and junctions
// do (their tags are name surrogates). Other tags mark the entry itself: a folder synced
// by cloud storage, a deduplicated file; such a folder is walked as a folder.
constexpr bool is_link_tag(DWORD tag) {
  return IsReparseTagNameSurrogate(tag);
}

// The reparse tag of the entry at path, itself and not what it leads to; fails where the
// system cannot say.
os_result<DWORD> reparse_tag_of(const std::string& path);

// The failure of a Windows call, with the error GetLastError gives.
os_error last_error(const char* call);
