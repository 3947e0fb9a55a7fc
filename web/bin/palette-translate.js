#!/usr/bin/env node
// palette-translate for Node: the WebAssembly build, on the real files, with the native statuses.
'use strict';
const path = require('path');
const {buildFolder} = require('../simd_choice.js');
require(path.join(__dirname, '..', buildFolder(), 'palette-translate.js'));
