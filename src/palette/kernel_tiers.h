#pragma once
// Where each tier's kernels come from, for pixel_kernels.cpp to choose among.

#include "pixel_kernels.h"

// The tier entry points, each in its own file compiled for its instructions; null where the
// compiler cannot target them.
const pixel_kernels* avx2_kernels_if_supported(block_way way);
const pixel_kernels* avx512_kernels_if_supported(block_way way);
const pixel_kernels* neon_kernels_if_supported(block_way way);
const pixel_kernels* wasm_kernels_if_supported(block_way way);
