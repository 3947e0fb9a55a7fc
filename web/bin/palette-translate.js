#!/usr/bin/env node
// palette-translate for Node: the WebAssembly build, on the real files, with the native statuses.
'use strict';
require('../lib/palette-translate.js');
