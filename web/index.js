'use strict';
// The JavaScript API: the same WebAssembly commands the bin entries run, in memory. Each
// call writes the bytes into the module's own file system, runs the command as its command
// line would and reads back what it wrote, so statuses, texts and bytes are the commands'.

const createTranslate = require('./lib/palette-translate-module.js');
const createInspect = require('./lib/palette-inspect-module.js');

const PNG_SIGNATURE = [137, 80, 78, 71, 13, 10, 26, 10];

function isPng(bytes) {
  return PNG_SIGNATURE.every((value, i) => bytes[i] === value);
}

// One module per command, made once; a call's output goes to the arrays of that call.
function commandRunner(create) {
  let current = null;
  const ready = create({
    stdout: (byte) => byte !== null && current.stdout.push(byte),
    stderr: (byte) => byte !== null && current.stderr.push(byte),
  });
  return async function run(args, inputs, outputs) {
    const module = await ready;
    const folder = '/work';
    if (!module.FS.analyzePath(folder).exists) module.FS.mkdir(folder);
    for (const [name, bytes] of Object.entries(inputs)) module.FS.writeFile(`${folder}/${name}`, bytes);
    current = {stdout: [], stderr: []};
    const status = module.callMain(args.map((a) => a.replace('$W', folder)));
    const result = {
      status,
      stdout: Buffer.from(current.stdout).toString('utf8'),
      stderr: Buffer.from(current.stderr).toString('utf8'),
      files: {},
    };
    for (const name of outputs) {
      const path = `${folder}/${name}`;
      if (module.FS.analyzePath(path).exists) {
        result.files[name] = module.FS.readFile(path);
        module.FS.unlink(path);
      }
    }
    for (const name of Object.keys(inputs)) module.FS.unlink(`${folder}/${name}`);
    current = null;
    return result;
  };
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
  translateRunner = translateRunner || commandRunner(createTranslate);
  const input = Uint8Array.from(bytes);
  const format = options.outputFormat || (isPng(input) ? 'png' : 'bmp');
  if (format !== 'bmp' && format !== 'png') throw new TypeError('outputFormat is bmp or png');
  const args = options.compactPalette ? ['--compact-palette'] : [];
  args.push('$W/input', `$W/output.${format}`, ...parametersOf(options));
  const run = await translateRunner(args, {input}, [`output.${format}`]);
  const status = run.status > 127 ? run.status - 256 : run.status;
  const output = status === 0 ? run.files[`output.${format}`] || null : null;
  return {status, output, text: run.stdout};
}

// inspect(bytes) resolves to the object palette-inspect --json prints for the file.
async function inspect(bytes, options = {}) {
  inspectRunner = inspectRunner || commandRunner(createInspect);
  const args = ['--json'];
  if (options.compactPalette) args.push('--compact-palette');
  args.push('$W/input');
  const run = await inspectRunner(args, {input: Uint8Array.from(bytes)}, []);
  return JSON.parse(run.stdout);
}

module.exports = {translate, inspect};
