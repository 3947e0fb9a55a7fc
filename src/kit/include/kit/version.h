#pragma once
// The release every command names: palette-translate in its banner, the others in their
// --version line. The number is the project's version in CMakeLists.txt.

#ifndef PALETTE_VERSION
#error "PALETTE_VERSION comes from the build: the project's version"
#endif

#define PRODUCT_NAME_TEXT "Quorl Palette Translation"
#define PRODUCT_VERSION_TEXT PALETTE_VERSION

constexpr const char* PRODUCT_NAME = PRODUCT_NAME_TEXT;
constexpr const char* PRODUCT_VERSION = PRODUCT_VERSION_TEXT;
