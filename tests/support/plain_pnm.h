#pragma once
// The source pictures of the real tools' fixtures, as plain (text) netpbm files.

#include <string>
#include <vector>

#include "image/palette_entry.h"

// A plain PPM (P3) or PGM (P2) picture, top row first, each sample scaled to 0..255.
std::vector<std::vector<rgb>> read_plain_pnm(const std::string& path);
