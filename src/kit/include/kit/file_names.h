#pragma once
// The endings that tell the commands a file's form: ".bmp" and ".png", in any case.

#include <string>
#include <string_view>

// True for a name ending in `extension` (with its dot, in lower case) in any mix of cases.
bool has_extension(const std::string& name, std::string_view extension);

// True for the endings palette-batch takes as inputs: .bmp and .png.
bool has_image_extension(const std::string& name);

// The name with its .bmp or .png ending, in any case, replaced by `extension`; other
// names get it appended.
std::string with_extension(const std::string& name, std::string_view extension);

// Whether palette-translate writes a PNG to this output path.
inline bool names_png(const std::string& path) {
  return has_extension(path, ".png");
}
