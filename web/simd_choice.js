'use strict';
// Which of the two builds this engine runs. The commands and modules come built with
// WebAssembly SIMD (their simd128 kernels) and without it; an engine without SIMD refuses
// the first whole, so the choice is made before loading, by validating a module of one
// function that makes a vector: i32.const 0, i8x16.splat.
const SIMD_PROBE = new Uint8Array([
  0x00, 0x61, 0x73, 0x6d, 0x01, 0x00, 0x00, 0x00,  // "\0asm", version 1
  0x01, 0x05, 0x01, 0x60, 0x00, 0x01, 0x7b,        // types: () -> v128
  0x03, 0x02, 0x01, 0x00,                          // functions: one of that type
  0x0a, 0x08, 0x01, 0x06, 0x00, 0x41, 0x00, 0xfd, 0x0f, 0x0b,  // its code
]);

function hasWasmSimd() {
  return typeof WebAssembly === 'object' && WebAssembly.validate(SIMD_PROBE);
}

// The folder of the build to load, below the package's root.
function buildFolder() {
  return hasWasmSimd() ? 'lib' : 'lib/portable';
}

if (typeof module === 'object' && module.exports) module.exports = {hasWasmSimd, buildFolder};
