#pragma once
// File names and reasons made safe for the places the commands print them: a terminal,
// where a name must not move the cursor, and JSON, which holds only UTF-8.

#include <string>

bool valid_utf8(const std::string& text);

// A JSON string literal, quotes included; bytes that are not UTF-8 become U+FFFD.
std::string json_string(const std::string& value);

// The member "path": ..., followed by "path_hex" with the raw bytes when the name is not
// UTF-8, so that a script can still find the file.
std::string json_path_member(const std::string& path);

// Control characters, backslashes and bytes that are not UTF-8 as visible escapes
// (\xNN, \\); everything else as it is. On Windows a backslash separates folders and is
// shown as itself.
std::string visible_name(const std::string& name);
