#pragma once
// The built palette-translate and what it prints before anything else.

#include <string>

inline const std::string TOOL = PALETTE_TRANSLATE_PATH;
inline const std::string BANNER = "\n\nQuorl Palette Translation. Ver.2.0 (May 24 2003)";
