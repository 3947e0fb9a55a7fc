// Makes palette-web.html, one file that works opened from disk: the page's script and the
// worker (the two WebAssembly modules, the runner of their commands and its own script)
// inside it.
// Usage: node make_page.js PAGE_DIR TRANSLATE_MODULE INSPECT_MODULE OUT
'use strict';
const fs = require('fs');
const path = require('path');
const [pageDir, translateFile, inspectFile, out] = process.argv.slice(2);
const read = (file) => fs.readFileSync(file, 'utf8');
// Inside a script element only "</script" could end it early.
const inline = (code) => code.replace(/<\/script/gi, '<\\/script');
const worker = [read(translateFile), read(inspectFile), read(path.join(pageDir, '../command_memory.js')),
                read(path.join(pageDir, 'worker.js'))].join('\n');
const page = read(path.join(pageDir, 'page.html'))
  .replace('/*WORKER*/', () => Buffer.from(worker, 'utf8').toString('base64'))
  .replace('/*PAGE*/', () => inline(read(path.join(pageDir, 'page.js'))));
fs.writeFileSync(out, page);
