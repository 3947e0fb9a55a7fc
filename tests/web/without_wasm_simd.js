'use strict';
// Loaded first with node --require: this engine now answers as one without WebAssembly SIMD,
// so the package's commands and API take their build without it.
WebAssembly.validate = () => false;
