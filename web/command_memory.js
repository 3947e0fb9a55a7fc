'use strict';
// One command of a WebAssembly module run in the module's own memory: the inputs written
// into its file system, the command line run, the outputs read back and removed. The npm
// API (index.js) and the page's worker both run the commands this way.

// A runner for the module that `create` makes, once: run(args, inputs, outputs) resolves to
// {status, stdout, files}, the status as the command returns it (-2, not 254). Whatever
// happens, even a command that throws, the files of the run leave the module's memory.
function commandInMemory(create) {
  let captured = null;
  // Each module takes the object it is given as its own: one object each.
  const ready = create({
    stdout: (byte) => byte !== null && captured.stdout.push(byte),
    stderr: (byte) => byte !== null && captured.stderr.push(byte),
  });
  const decoder = new TextDecoder();
  return async function run(args, inputs, outputs) {
    const module = await ready;
    const FS = module.FS;
    if (!FS.analyzePath('/work').exists) FS.mkdir('/work');
    FS.chdir('/work');
    captured = {stdout: [], stderr: []};
    try {
      for (const [name, bytes] of Object.entries(inputs)) FS.writeFile(name, bytes);
      // callMain puts the arguments on the module's stack and never takes them off: without
      // this, some 7,000 runs of one module (a game's folder in the page) overflow it.
      const stackTop = module.stackSave();
      let status;
      try {
        status = module.callMain(args);
      } finally {
        module.stackRestore(stackTop);
      }
      if (status > 127) status -= 256;
      const result = {status, stdout: decoder.decode(new Uint8Array(captured.stdout)), files: {}};
      for (const name of outputs) {
        if (FS.analyzePath(name).exists) result.files[name] = FS.readFile(name);
      }
      return result;
    } finally {
      for (const name of [...Object.keys(inputs), ...outputs]) {
        if (FS.analyzePath(name).exists) FS.unlink(name);
      }
      captured = null;
    }
  };
}

if (typeof module === 'object' && module.exports) module.exports = {commandInMemory};
