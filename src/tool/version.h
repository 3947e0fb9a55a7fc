#pragma once
// The release every command names: palette-translate in its banner, the others in their
// --version line.

constexpr const char* PRODUCT_NAME = "Quorl Palette Translation";
constexpr const char* PRODUCT_VERSION = "2.0";
