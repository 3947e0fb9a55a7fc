'use strict';
// The JavaScript API: the same WebAssembly commands the bin entries run, in memory. Each
// call writes the bytes into the module's own file system, runs the command as its command
// line would and reads back what it wrote, so statuses, texts and bytes are the commands'.

const path = require('path');
const {buildFolder} = require('./simd_choice.js');

const createTranslate = require(path.join(__dirname, buildFolder(), 'palette-translate-module.js'));
const createInspect = require(path.join(__dirname, buildFolder(), 'palette-inspect-module.js'));
const {commandInMemory} = require('./command_memory.js');

const PNG_SIGNATURE = [137, 80, 78, 71, 13, 10, 26, 10];

function isPng(bytes) {
  return PNG_SIGNATURE.every((value, i) => bytes[i] === value);
}

let translateRunner = null;
let inspectRunner = null;

function parametersOf(options) {
  const o = options || {};
  const number = (value, fallback) => String(value === undefined ? fallback : Math.trunc(value));
  return [number(o.red, 40), number(o.green, 40), number(o.blue, 40), number(o.percent, 30)];
}

// translate(bytes, {red, green, blue, percent, compactPalette, outputFormat}) resolves to
// {status, output, text}: palette-translate's status (0, or -1, -2, -3 as on the command
// line's 255, 254, 253), the output's bytes (null when refused) and what it printed.
// outputFormat is 'bmp' or 'png'; by default the input's own.
async function translate(bytes, options = {}) {
  translateRunner = translateRunner || commandInMemory(createTranslate);
  const input = Uint8Array.from(bytes);
  const format = options.outputFormat || (isPng(input) ? 'png' : 'bmp');
  if (format !== 'bmp' && format !== 'png') throw new TypeError('outputFormat is bmp or png');
  const args = options.compactPalette ? ['--compact-palette'] : [];
  args.push('input', `output.${format}`, ...parametersOf(options));
  const run = await translateRunner(args, {input}, [`output.${format}`]);
  const output = run.status === 0 ? run.files[`output.${format}`] || null : null;
  return {status: run.status, output, text: run.stdout};
}

// inspect(bytes) resolves to the object palette-inspect --json prints for the file.
async function inspect(bytes, options = {}) {
  inspectRunner = inspectRunner || commandInMemory(createInspect);
  const args = ['--json'];
  if (options.compactPalette) args.push('--compact-palette');
  args.push('input');
  const run = await inspectRunner(args, {input: Uint8Array.from(bytes)}, []);
  return JSON.parse(run.stdout);
}

module.exports = {translate, inspect};
