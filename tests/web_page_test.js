// The page in headless Chromium, as a user has it: opened from disk, a folder of fixtures
// chosen (nested folders, a refused file, a non-ASCII name, PNG and BMP, an RGBA PNG, a
// file that is no image, a file the worker is made to fail on), every card shown, every
// output and the zip downloaded; each output must be the native build's, byte for byte,
// and the screenshot must show slot 5 yellow in a palette strip; the same again where the
// browser lacks WebAssembly SIMD.
// Usage: node web_page_test.js PAGE NPM_DIR NATIVE_BIN FIXTURES SCREENSHOT
// Exits 77 (skipped) where there is no chromium.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const {execFileSync} = require('child_process');
const zlib = require('zlib');

const [pageFile, npmDir, nativeBin, fixtures, screenshot] = process.argv.slice(2).map((p) => path.resolve(p));
const CHROMIUM = '/usr/bin/chromium';
if (!fs.existsSync(CHROMIUM)) {
  console.log('skipped: no chromium (apt-get install -y chromium)');
  process.exit(77);
}
if (!fs.existsSync(path.join(nativeBin, 'palette-translate'))) {
  console.log('skipped: no native build in ' + nativeBin + ' to compare with');
  process.exit(77);
}
const puppeteer = require(path.join(npmDir, 'node_modules/puppeteer-core'));

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'palette-web-'));
const input = path.join(work, 'in');
const downloads = path.join(work, 'downloads');
const tree = {
  'sprites/sample.bmp': path.join(fixtures, '../../docs/sample.bmp'),
  'sprites/ñandú.png': path.join(fixtures, '../../docs/sample.png'),
  'more/deep/gimp.png': path.join(fixtures, 'gimp-indexed.png'),
  'more/pillow.png': path.join(fixtures, 'pillow-4bit.png'),
  'more/magick.bmp': path.join(fixtures, 'imagemagick-16-colours.bmp'),
  'more/rgba.png': path.join(fixtures, 'imagemagick-rgba.png'),
};
for (const [name, source] of Object.entries(tree)) {
  fs.mkdirSync(path.dirname(path.join(input, name)), {recursive: true});
  fs.copyFileSync(source, path.join(input, name));
}
fs.writeFileSync(path.join(input, 'broken.bmp'), Buffer.from('BM\x01\x02'));
// A good file on which the worker is made to throw (its bytes taken from the message): its
// card must say why, and the page must go on with the others.
fs.copyFileSync(path.join(fixtures, '../../docs/sample.bmp'), path.join(input, 'worker-fails.bmp'));
// And one the page is made unable to read, alone or among others: its card says so, in its
// place among the others.
fs.copyFileSync(path.join(fixtures, '../../docs/sample.bmp'), path.join(input, 'unreadable.bmp'));
fs.writeFileSync(path.join(input, 'notes.txt'), 'not an image');
fs.mkdirSync(downloads);

let failures = 0;
function check(ok, what) {
  if (!ok) {
    console.log('FAILED: ' + what);
    ++failures;
  }
}

// The native output for one input, byte for byte: the web build deflates with the same zlib.
function compareWithNative(name, bytes) {
  const format = path.extname(name);
  const native = path.join(work, 'native' + format);
  try {
    execFileSync(path.join(nativeBin, 'palette-translate'),
                 [path.join(input, name), native, '40', '40', '40', '30']);
  } catch (e) {
    check(false, name + ': the native build refused it');
    return;
  }
  const expected = fs.readFileSync(native);
  check(Buffer.compare(expected, Buffer.from(bytes)) === 0, name + ': bytes differ from native');
}

// The entries of a zip whose files are stored, as the page makes it, read from its central
// directory: name -> bytes, each checked against its CRC.
function storedEntries(zip) {
  const end = zip.lastIndexOf(Buffer.from([0x50, 0x4B, 0x05, 0x06]));
  const count = zip.readUInt16LE(end + 10);
  let at = zip.readUInt32LE(end + 16);
  const entries = {};
  for (let i = 0; i < count; ++i) {
    check(zip.readUInt32LE(at) === 0x02014B50 && zip.readUInt16LE(at + 10) === 0, 'zip entry ' + i);
    const size = zip.readUInt32LE(at + 24);
    const nameLength = zip.readUInt16LE(at + 28);
    const name = zip.toString('utf8', at + 46, at + 46 + nameLength);
    const local = zip.readUInt32LE(at + 42);
    const data = local + 30 + zip.readUInt16LE(local + 26) + zip.readUInt16LE(local + 28);
    entries[name] = zip.subarray(data, data + size);
    check(zlib.crc32 === undefined || zlib.crc32(entries[name]) === zip.readUInt32LE(at + 16),
          name + ': CRC');
    at += 46 + nameLength + zip.readUInt16LE(at + 30) + zip.readUInt16LE(at + 32);
  }
  return entries;
}

// Chromium's screenshot is an 8-bit RGB or RGBA PNG: its pixel at (x, y).
function pixelOf(png, x, y) {
  let at = 8, width = 0, channels = 4;
  const data = [];
  while (at < png.length) {
    const length = png.readUInt32BE(at);
    const type = png.toString('latin1', at + 4, at + 8);
    const body = png.subarray(at + 8, at + 8 + length);
    if (type === 'IHDR') {
      width = body.readUInt32BE(0);
      channels = body[9] === 6 ? 4 : 3;
    }
    if (type === 'IDAT') data.push(body);
    at += 12 + length;
  }
  const raw = zlib.inflateSync(Buffer.concat(data));
  const line = width * channels + 1;
  let previous = new Uint8Array(line - 1);
  let row = null;
  for (let r = 0; r <= y; ++r) {
    const filter = raw[r * line];
    row = Uint8Array.from(raw.subarray(r * line + 1, (r + 1) * line));
    for (let i = 0; i < row.length; ++i) {
      const left = i >= channels ? row[i - channels] : 0;
      const up = previous[i];
      const corner = i >= channels ? previous[i - channels] : 0;
      const p = left + up - corner;
      const paeth = Math.abs(p - left) <= Math.abs(p - up) && Math.abs(p - left) <= Math.abs(p - corner)
                        ? left : Math.abs(p - up) <= Math.abs(p - corner) ? up : corner;
      const add = [0, left, up, (left + up) >> 1, paeth][filter];
      row[i] = (row[i] + add) & 255;
    }
    previous = row;
  }
  return [row[x * channels], row[x * channels + 1], row[x * channels + 2]];
}

// A game's worth of sprites, 20,000 in 200 folders: the page finishes them all and answers
// a click at once throughout, from the moment it is given the files (the browser's own
// listing of the folder comes before). The figures are printed; only a page that stops
// answering fails here: its speed is the benchmark's (bench/web_bench.js).
async function aGamesWorth(browser) {
  const many = path.join(work, 'many');
  for (let folder = 0; folder < 200; ++folder) {
    fs.mkdirSync(path.join(many, 'set' + folder), {recursive: true});
    for (let sprite = 0; sprite < 100; ++sprite)
      fs.copyFileSync(path.join(fixtures, 'pillow-4bit.png'), path.join(many, 'set' + folder, sprite + '.png'));
  }
  const page = await browser.newPage();
  await page.evaluateOnNewDocument(() => {
    window.answers = [];
    // Clicks made while the browser still listed the folder are not the page's to answer.
    document.addEventListener('change', () => { window.chosenAt = performance.now(); }, true);
    document.addEventListener('click', (event) => {
      if (window.chosenAt !== undefined && event.timeStamp >= window.chosenAt)
        window.answers.push(performance.now() - event.timeStamp);
    }, true);
  });
  await page.goto('file://' + path.resolve(pageFile));
  const start = Date.now();
  await (await page.$('#folder')).uploadFile(many);
  let finished = false;
  const clicking = (async () => {
    while (!finished) {
      await page.mouse.click(2, 2);
      await new Promise((resolve) => setTimeout(resolve, 250));
    }
  })();
  await page.waitForFunction(() => document.body.dataset.state === 'done' &&
                                    document.querySelectorAll('.result').length === 20000,
                             {timeout: 900000, polling: 1000});
  finished = true;
  await clicking;
  const seconds = (Date.now() - start) / 1000;
  const answers = (await page.evaluate(() => window.answers)).sort((a, b) => a - b);
  const worst = answers.length ? answers[answers.length - 1] : Infinity;
  console.log(`20,000 sprites in ${seconds.toFixed(1)} s; ${answers.length} clicks answered in ` +
              `${answers[answers.length >> 1].toFixed(0)} ms (median), ${worst.toFixed(0)} ms at worst`);
  check(answers.length >= 10 && worst < 2000, 'the page stopped answering for ' + worst.toFixed(0) + ' ms');
  await page.close();
}

// The zip of a run on the chosen folder: the outputs of `names` under the folder's name, each
// of the fixtures the native build's bytes.
function checkZip(zip, names, what) {
  check(zip !== null, 'no zip ' + what);
  if (!zip) return;
  const entries = storedEntries(zip);
  const wanted = names.map((name) => 'in/' + name).sort();
  check(JSON.stringify(Object.keys(entries).sort()) === JSON.stringify(wanted),
        what + ' the zip holds ' + JSON.stringify(Object.keys(entries)));
  for (const [name, bytes] of Object.entries(entries)) {
    if (tree[name.slice(3)]) compareWithNative(name.slice(3), bytes);
  }
}

// Where the browser lacks WebAssembly SIMD, the page starts its worker built without it; that
// worker's zip holds the same bytes.
async function withoutSimd(browser) {
  const page = await browser.newPage();
  await page.evaluateOnNewDocument(() => {
    WebAssembly.validate = () => false;
    const RealWorker = Worker;
    window.Worker = function (url) {
      window.workerUrl = url;
      return new RealWorker(url);
    };
  });
  const saved = path.join(work, 'without-simd');
  fs.mkdirSync(saved);
  const session = await page.createCDPSession();
  await session.send('Browser.setDownloadBehavior', {behavior: 'allow', downloadPath: saved});
  await page.goto('file://' + path.resolve(pageFile));
  await (await page.$('#folder')).uploadFile(input);
  await page.waitForFunction(() => document.body.dataset.state === 'done', {timeout: 60000});
  const started = await page.evaluate(async () => {
    const source = await (await fetch(window.workerUrl)).text();
    return {portable: source === atob(PORTABLE_WORKER_SOURCE), simd: source === atob(WORKER_SOURCE)};
  });
  check(started.portable && !started.simd, 'without SIMD the page started ' + JSON.stringify(started));
  await page.click('#all');
  // Here nothing makes the worker fail: that file is translated as well.
  checkZip(await waitForFile(path.join(saved, 'palette-translated.zip')),
           [...Object.keys(tree), 'unreadable.bmp', 'worker-fails.bmp'], 'without SIMD');
  await page.close();
}

async function waitForFile(file) {
  for (let i = 0; i < 200 && !fs.existsSync(file); ++i) await new Promise((r) => setTimeout(r, 50));
  return fs.existsSync(file) ? fs.readFileSync(file) : null;
}

(async () => {
  // A wait for the page is one protocol call, which puppeteer otherwise gives up on after
  // three minutes whatever the wait's own timeout says.
  const browser = await puppeteer.launch({executablePath: CHROMIUM, headless: true,
                                         protocolTimeout: 1200000,
                                         args: ['--no-sandbox', '--allow-file-access-from-files']});
  const page = await browser.newPage();
  await page.setViewport({width: 1280, height: 1400});
  const errors = [];
  page.on('pageerror', (error) => errors.push(String(error)));
  await page.evaluateOnNewDocument(() => {
    const post = Worker.prototype.postMessage;
    Worker.prototype.postMessage = function (message, transfer) {
      if (message && String(message.name).endsWith('worker-fails.bmp'))
        return post.call(this, {...message, bytes: null});
      return post.call(this, message, transfer);
    };
    const unreadable = (part) => part instanceof File && part.name === 'unreadable.bmp';
    const gone = () => Promise.reject(new Error('the file is gone'));
    const RealBlob = Blob;
    window.Blob = function (parts, options) {
      const blob = new RealBlob(parts, options);
      if (parts && parts.some(unreadable)) blob.arrayBuffer = gone;
      return blob;
    };
    window.Blob.prototype = RealBlob.prototype;
    const readFile = File.prototype.arrayBuffer;
    File.prototype.arrayBuffer = function () { return unreadable(this) ? gone() : readFile.call(this); };
  });
  const session = await page.createCDPSession();
  await session.send('Browser.setDownloadBehavior', {behavior: 'allow', downloadPath: downloads});
  await page.goto('file://' + path.resolve(pageFile));
  const chooser = await page.$('#folder');
  await chooser.uploadFile(input);
  await page.waitForFunction(() => document.body.dataset.state === 'done' &&
                                   document.querySelectorAll('.result').length > 0,
                             {timeout: 60000});
  const shown = await page.$$eval('.result h3', (titles) => titles.map((t) => t.textContent));
  // A chosen folder's files are named under the folder's own name, as in the zip.
  const images = [...Object.keys(tree), 'broken.bmp', 'unreadable.bmp', 'worker-fails.bmp']
                     .map((name) => 'in/' + name).sort();
  check(JSON.stringify(shown) === JSON.stringify(images), 'cards for ' + JSON.stringify(shown));
  const refused = await page.$$eval('.refused', (lines) => lines.map((l) => l.textContent));
  check(refused.length === 3 && refused[0].includes('Not a bitmap: the file is shorter than its headers') &&
        refused[1] === 'Not translated: cannot read the file: the file is gone' &&
        refused[2].startsWith('Not translated: '),
        'the refusals read ' + JSON.stringify(refused));

  // Every output, downloaded as a user would.
  const links = await page.$$('a.download');
  check(links.length === Object.keys(tree).length, links.length + ' downloads');
  for (const link of links) {
    const name = await link.evaluate((a) => a.dataset.path);
    await link.click();
    const bytes = await waitForFile(path.join(downloads, path.basename(name)));
    check(bytes !== null, name + ' was not downloaded');
    if (bytes) compareWithNative(name.replace(/^in\//, ''), bytes);
  }
  await page.click('#all');
  checkZip(await waitForFile(path.join(downloads, 'palette-translated.zip')), Object.keys(tree), '');

  // Cards are drawn as they come near the view: each one is brought into it.
  for (const card of await page.$$('.result')) {
    await card.evaluate((c) => c.scrollIntoView());
    await page.waitForFunction((c) => !c.querySelector('.undrawn'), {timeout: 10000}, card);
  }
  // Every card draws its own palette strip: six strips, of which only the two demo
  // pictures' (the same picture as BMP and as PNG) are alike.
  const strips = await page.$$eval('.result .swatches',
                                   (all) => all.map((s) => getComputedStyle(s).backgroundImage));
  check(strips.length === 6 && new Set(strips).size === 5,
        strips.length + ' strips, ' + new Set(strips).size + ' of them different');
  // Slot 5 of the demo sprite's output strip is yellow.
  const strip = await page.evaluate(() => {
    const card = [...document.querySelectorAll('.result')]
        .find((c) => c.querySelector('h3').textContent === 'in/sprites/sample.bmp');
    const s = card.querySelector('.swatches');
    const box = s.getBoundingClientRect();
    return {left: box.left + scrollX, top: box.top + scrollY, width: box.width,
            height: box.height, entries: Number(s.dataset.entries)};
  });
  const shot = await page.screenshot({path: screenshot, fullPage: true});
  const yellow = pixelOf(Buffer.from(shot), Math.floor(strip.left + strip.width * 5.5 / strip.entries),
                         Math.floor(strip.top + strip.height / 2));
  check(yellow[0] > 240 && yellow[1] > 240 && yellow[2] < 20, 'slot 5 shows ' + yellow);
  check(errors.length === 0, 'page errors: ' + errors.join('; '));
  await withoutSimd(browser);
  await aGamesWorth(browser);
  await browser.close();
  fs.rmSync(work, {recursive: true, force: true});
  console.log(failures === 0 ? 'the page translates as the native build does' : failures + ' failures');
  process.exit(failures === 0 ? 0 : 1);
})().catch((error) => {
  console.log('FAILED: ' + (error && error.stack || error));
  // puppeteer wraps the protocol's own failure (a crash, a timeout) as the cause.
  if (error && error.cause) console.log('because: ' + (error.cause.stack || error.cause));
  process.exit(1);
});
