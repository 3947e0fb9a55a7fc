// The page's worker: palette-translate and palette-inspect as WebAssembly modules, run in
// memory on one file at a time, so that the page stays responsive.
'use strict';

let captured = null;
const streams = {
  stdout: (byte) => byte !== null && captured.stdout.push(byte),
  stderr: (byte) => byte !== null && captured.stderr.push(byte),
};
// Each module takes the object it is given as its own: one object each.
const ready = Promise.all([createPaletteTranslate({...streams}), createPaletteInspect({...streams})]);
const decoder = new TextDecoder();

// Runs one command on files in its own memory: its status, what it printed, and the output.
function run(module, args, inputName, bytes, outputName) {
  const FS = module.FS;
  if (!FS.analyzePath('/work').exists) FS.mkdir('/work');
  FS.chdir('/work');
  FS.writeFile(inputName, bytes);
  captured = {stdout: [], stderr: []};
  let status = module.callMain(args);
  if (status > 127) status -= 256;
  const result = {status, text: decoder.decode(new Uint8Array(captured.stdout)), output: null};
  if (outputName && FS.analyzePath(outputName).exists) {
    result.output = FS.readFile(outputName);
    FS.unlink(outputName);
  }
  FS.unlink(inputName);
  return result;
}

onmessage = async (event) => {
  const [translateModule, inspectModule] = await ready;
  const {id, name, bytes, options, outputName} = event.data;
  const parameters = [options.red, options.green, options.blue, options.percent].map(String);
  const compact = options.compactPalette ? ['--compact-palette'] : [];
  // The names the commands see: the file's own, without its folders.
  const inputName = name.split('/').pop();
  const outName = 'out-' + outputName.split('/').pop();
  const translated = run(translateModule, [...compact, inputName, outName, ...parameters],
                         inputName, bytes, outName);
  const page = run(inspectModule, ['--html', ...compact, inputName, ...parameters], inputName,
                   bytes, null);
  const transfer = translated.output ? [translated.output.buffer] : [];
  postMessage({id, status: translated.status, text: translated.text, output: translated.output,
               page: page.text}, transfer);
};
