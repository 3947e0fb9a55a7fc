#!/usr/bin/env node
// palette-batch for Node: the WebAssembly build, on the real files, with the native statuses.
'use strict';
require('../lib/palette-batch.js');
