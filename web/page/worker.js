// The page's worker: palette-translate and palette-inspect as WebAssembly modules, run in
// memory on one file at a time (command_memory.js), so that the page stays responsive.
'use strict';

const translate = commandInMemory(createPaletteTranslate);
const inspect = commandInMemory(createPaletteInspect);

onmessage = async (event) => {
  const {id, failed} = event.data;
  // A file the page could not read: said back in its turn.
  if (failed !== undefined) {
    postMessage({id, failed});
    return;
  }
  try {
    await translateOne(event.data);
  } catch (error) {
    // A failure fails its file only: the page shows why and goes on with the next.
    postMessage({id, failed: String((error && error.message) || error)});
  }
};

async function translateOne({id, name, bytes, options, outputName}) {
  const parameters = [options.red, options.green, options.blue, options.percent].map(String);
  const compact = options.compactPalette ? ['--compact-palette'] : [];
  // The names the commands see: the file's own, without its folders.
  const inputName = name.split('/').pop();
  const outName = 'out-' + outputName.split('/').pop();
  const translated = await translate([...compact, inputName, outName, ...parameters],
                                     {[inputName]: bytes}, [outName]);
  const page = await inspect(['--html', ...compact, inputName, ...parameters],
                             {[inputName]: bytes}, []);
  const output = translated.files[outName] || null;
  postMessage({id, status: translated.status, text: translated.stdout, output, page: page.stdout},
              output ? [output.buffer] : []);
}
