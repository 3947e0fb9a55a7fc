#pragma once
// The output's headers and palette, the index clamp, and the output file as one block.

#include <cstdint>
#include <vector>

#include "image/work_image.h"

// The output's headers and palette: the used entries and the black catch-all.
void assemble_prefix(work_image& image);

// Starts index_map as the index clamp: values from used_count on go to the catch-all.
void clamp_index_map(work_image& image);

// The output file as one block: the prefix, then the rows (output_length bytes).
std::vector<std::uint8_t> output_file(const work_image& image);
