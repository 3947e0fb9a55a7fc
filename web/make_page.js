// Makes palette-web.html, one file that works opened from disk: the page's script and the
// worker (the two WebAssembly modules, the runner of their commands and its own script)
// inside it.
// The worker comes twice, with the modules built with WebAssembly SIMD and without; the page
// starts the one the browser runs (simd_choice.js).
// Usage: node make_page.js PAGE_DIR TRANSLATE_MODULE INSPECT_MODULE PORTABLE_TRANSLATE_MODULE
//                          PORTABLE_INSPECT_MODULE OUT
'use strict';
const fs = require('fs');
const path = require('path');
const [pageDir, translateFile, inspectFile, portableTranslateFile, portableInspectFile, out] =
    process.argv.slice(2);
const read = (file) => fs.readFileSync(file, 'utf8');
// Inside a script element only "</script" could end it early.
const inline = (code) => code.replace(/<\/script/gi, '<\\/script');
const worker = (translate, inspect) => {
  const code = [read(translate), read(inspect), read(path.join(pageDir, '../command_memory.js')),
                read(path.join(pageDir, 'worker.js'))].join('\n');
  return Buffer.from(code, 'utf8').toString('base64');
};
const page = read(path.join(pageDir, 'page.html'))
  .replace('/*WORKER*/', () => worker(translateFile, inspectFile))
  .replace('/*PORTABLE_WORKER*/', () => worker(portableTranslateFile, portableInspectFile))
  .replace('/*PAGE*/', () => inline([read(path.join(pageDir, '../simd_choice.js')),
                                     read(path.join(pageDir, 'page.js'))].join('\n')));
fs.writeFileSync(out, page);
