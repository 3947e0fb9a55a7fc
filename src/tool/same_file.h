#pragma once

// True when path names the file already open as handle: same device and inode after
// following links, so a hard link or a symbolic link counts too.
bool names_open_file(int handle, const char* path);

// True when both handles are the same file (device and inode).
bool same_open_file(int a, int b);
