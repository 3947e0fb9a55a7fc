// The web build's speed against the native build's, on this machine (figures, not a test):
// the sprite sheet W1 (8192 x 8192, tolerances 255, 30 %) and a folder of small sprites
// (W7's 64 x 64 sprites), by the native commands, the Node commands and in Chromium (the
// translate module in a page for W1; the whole page, cards and all, for the sprites).
// Side by side with the native build capped at one thread (ONE_THREAD_BIN, from
// cmake -S . -B build/one -DPALETTE_MAX_THREADS=1), each side's time on a 16 x 16 bitmap
// taken off, so that start-up is left out: W1, and the sheet as a palette PNG to a PNG.
// Usage: node bench/web_bench.js WEB_BUILD NATIVE_BIN SHEET.bmp SPRITE_DIR FOLDERS ONE_THREAD_BIN
//   SHEET.bmp (and sheet.png beside it) and SPRITE_DIR come from bench-translate (sheet.bmp,
//   sheet.png, sprites/); FOLDERS of the sprite folders are used (30 of 100: 3,000 sprites).
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const {execFileSync} = require('child_process');

const [webBuild, nativeBin, sheet, spriteDir, folderCount, oneThreadArg] = process.argv.slice(2).map(
    (a, i) => (i < 4 || i === 5 ? path.resolve(a) : a));
const oneThreadBin = oneThreadArg || nativeBin;
const folders = Number(folderCount || 30);
const puppeteer = require(path.join(webBuild, 'npm/node_modules/puppeteer-core'));
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'palette-web-bench-'));

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

function timed(command, args, runs) {
  const seconds = [];
  for (let i = 0; i < runs; ++i) {
    const start = process.hrtime.bigint();
    try {
      execFileSync(command, args, {stdio: 'ignore'});
    } catch (e) {
      // palette-batch ends 1 where a file fails; the time still counts.
    }
    seconds.push(Number(process.hrtime.bigint() - start) / 1e9);
  }
  return median(seconds);
}

// A folder of copies of the first FOLDERS sprite folders.
const sprites = path.join(work, 'sprites');
fs.mkdirSync(sprites);
const chosen = fs.readdirSync(spriteDir).sort().slice(0, folders);
for (const folder of chosen) fs.cpSync(path.join(spriteDir, folder), path.join(sprites, folder), {recursive: true});
let count = 0;
for (const folder of chosen) count += fs.readdirSync(path.join(sprites, folder)).length;

const node = process.execPath;
const sheetArgs = (tool) => [...tool, sheet, path.join(work, 'out.bmp'), '255', '255', '255', '30'];
const batchArgs = (tool, extra) => [...tool, ...extra, sprites, path.join(work, 'batch-out'), '40', '40', '40', '30'];
const w1Native = timed(path.join(nativeBin, 'palette-translate'), sheetArgs([]).slice(0), 5);
// Start-up on each side: a 16 x 16 bitmap of one colour.
const tiny = path.join(work, 'tiny.bmp');
const tinyBytes = Buffer.alloc(1078 + 256);
tinyBytes.write('BM');
tinyBytes.writeUInt32LE(tinyBytes.length, 2);
tinyBytes.writeUInt32LE(1078, 10);
tinyBytes.writeUInt32LE(40, 14);
tinyBytes.writeInt32LE(16, 18);
tinyBytes.writeInt32LE(16, 22);
tinyBytes.writeUInt16LE(1, 26);
tinyBytes.writeUInt16LE(8, 28);
tinyBytes.writeUInt32LE(256, 34);
fs.writeFileSync(tiny, tinyBytes);
const nativeOne = path.join(oneThreadBin, 'palette-translate');
const nodeTranslate = path.join(webBuild, 'src/palette-translate.js');
const tinyArgs = [tiny, path.join(work, 'tiny-out.bmp'), '255', '255', '255', '30'];
const tinyNative = timed(nativeOne, tinyArgs, 15);
const tinyNode = timed(node, [nodeTranslate, ...tinyArgs], 15);
const w1One = timed(nativeOne, sheetArgs([]), 9);
const w1Node = timed(node, sheetArgs([nodeTranslate]), 9);
const sheetPng = sheet.replace(/\.bmp$/, '.png');
const pngArgs = [sheetPng, path.join(work, 'out.png'), '255', '255', '255', '30'];
const pngOne = fs.existsSync(sheetPng) ? timed(nativeOne, pngArgs, 5) : NaN;
const pngNode = fs.existsSync(sheetPng) ? timed(node, [nodeTranslate, ...pngArgs], 5) : NaN;
const batchNative1 = timed(path.join(nativeBin, 'palette-batch'), batchArgs([], ['-j1']), 3);
const batchNative = timed(path.join(nativeBin, 'palette-batch'), batchArgs([], []), 3);
const batchNode = timed(node, batchArgs([path.join(webBuild, 'src/palette-batch.js')], []), 3);
// Start-up: the command on one small sprite against Node doing nothing.
const firstSprite = path.join(sprites, chosen[0], fs.readdirSync(path.join(sprites, chosen[0])).sort()[0]);
const nodeAlone = timed(node, ['-e', '0'], 15);
const smallNode = timed(node, [path.join(webBuild, 'src/palette-translate.js'), firstSprite,
                               path.join(work, 'small' + path.extname(firstSprite)), '40', '40', '40', '30'], 15);

(async () => {
  const browser = await puppeteer.launch({executablePath: '/usr/bin/chromium', headless: true,
                                         args: ['--no-sandbox'], protocolTimeout: 900000});
  // W1 in Chromium: the translate module on the main thread of a page, the sheet chosen.
  const benchPage = path.join(work, 'bench.html');
  fs.writeFileSync(benchPage, '<!doctype html><input id=f type=file><script src="' +
                   path.join(webBuild, 'src/palette-translate-module.js') + '"></script>');
  const page = await browser.newPage();
  await page.goto('file://' + benchPage);
  await (await page.$('#f')).uploadFile(sheet);
  const w1Chromium = await page.evaluate(async () => {
    const bytes = new Uint8Array(await document.getElementById('f').files[0].arrayBuffer());
    const module = await createPaletteTranslate({stdout: () => {}, stderr: () => {}});
    module.FS.writeFile('/in.bmp', bytes);
    const seconds = [];
    for (let i = 0; i < 5; ++i) {
      const start = performance.now();
      module.callMain(['/in.bmp', '/out.bmp', '255', '255', '255', '30']);
      seconds.push((performance.now() - start) / 1000);
      module.FS.unlink('/out.bmp');
    }
    return seconds.sort((a, b) => a - b)[2];
  });
  // The sprites through the whole page: cards, downloads, zip-ready; when each hundredth card
  // came, and how long a click made every 250 ms waited once the page had the files.
  const web = await browser.newPage();
  await web.evaluateOnNewDocument(() => {
    window.cardTimes = [];
    window.answers = [];
    let cards = 0;
    new MutationObserver((records) => {
      for (const record of records)
        for (const added of record.addedNodes)
          if (added.classList && added.classList.contains('result') && ++cards % 100 === 0)
            window.cardTimes.push(performance.now());
    }).observe(document, {childList: true, subtree: true});
    document.addEventListener('change', () => { window.chosenAt = performance.now(); }, true);
    document.addEventListener('click', (event) => {
      if (window.chosenAt !== undefined && event.timeStamp >= window.chosenAt)
        window.answers.push(performance.now() - event.timeStamp);
    }, true);
  });
  await web.goto('file://' + path.join(webBuild, 'palette-web.html'));
  const start = Date.now();
  await (await web.$('#folder')).uploadFile(sprites);
  let finished = false;
  const clicking = (async () => {
    while (!finished) {
      await web.mouse.click(2, 2);
      await new Promise((resolve) => setTimeout(resolve, 250));
    }
  })();
  await web.waitForFunction(() => document.body.dataset.state === 'done' &&
                                  document.querySelectorAll('.result').length > 0,
                            {timeout: 600000, polling: 200});
  finished = true;
  await clicking;
  const pageSeconds = (Date.now() - start) / 1000;
  const cardTimes = await web.evaluate(() => window.cardTimes);
  const answers = await web.evaluate(() => window.answers);
  // The mean cost of a card over the hundred cards up to the 200th and up to the last.
  const hundred = (k) => (cardTimes[k] - cardTimes[k - 1]) / 100;
  const early = cardTimes.length > 1 ? hundred(1) : NaN;
  const late = cardTimes.length > 1 ? hundred(cardTimes.length - 1) : NaN;
  const metrics = await web.metrics();
  const cards = await web.$$eval('.result', (all) => all.length);
  await browser.close();
  fs.rmSync(work, {recursive: true, force: true});
  const ms = (s) => (s * 1000).toFixed(0) + ' ms';
  console.log(`W1 sprite sheet 8192 x 8192, 255, 30 % (native medians of 5, Node of 9)`);
  console.log(`  native palette-translate   ${ms(w1Native)}`);
  console.log(`  Node palette-translate     ${ms(w1Node)} (${(w1Node / w1Native).toFixed(1)} x native)`);
  console.log(`  Chromium, the module alone ${ms(w1Chromium)} (${(w1Chromium / w1Native).toFixed(1)} x native, no file I/O)`);
  const net = (web, native) => ((web - tinyNode) / (native - tinyNative)).toFixed(2);
  console.log(`Against one native thread (${oneThreadBin}), start-up taken off (16 x 16: native ` +
              `${ms(tinyNative)}, Node ${ms(tinyNode)}):`);
  console.log(`  W1 native ${ms(w1One)}, Node ${ms(w1Node)}: ${net(w1Node, w1One)} x (medians of 9)`);
  console.log(`  W1 Chromium, the module alone: ${(w1Chromium / (w1One - tinyNative)).toFixed(2)} x`);
  console.log(`  the sheet as a palette PNG to a PNG: native ${ms(pngOne)}, Node ${ms(pngNode)}: ` +
              `${net(pngNode, pngOne)} x (medians of 5)`);
  console.log(`Start-up (medians of 15): node -e 0 ${ms(nodeAlone)}; palette-translate.js on one ` +
              `sprite ${ms(smallNode)}, ${ms(smallNode - nodeAlone)} more`);
  console.log(`${count} sprites of 64 x 64 in ${folders} folders, 40, 30 % (medians of 3)`);
  console.log(`  native palette-batch -j1   ${ms(batchNative1)}; on every processor ${ms(batchNative)}`);
  console.log(`  Node palette-batch         ${ms(batchNode)} (${(batchNode / batchNative1).toFixed(1)} x native -j1)`);
  console.log(`  the page in Chromium       ${ms(pageSeconds)} for ${cards} cards; JS heap ` +
              `${(metrics.JSHeapUsedSize / 1048576).toFixed(0)} MiB used of ` +
              `${(metrics.JSHeapTotalSize / 1048576).toFixed(0)} MiB`);
  console.log(`  a card costs ${early.toFixed(2)} ms by the 200th, ${late.toFixed(2)} ms by the ` +
              `${cardTimes.length * 100}th; ${answers.length} clicks answered in ` +
              `${median(answers).toFixed(0)} ms (median), ${Math.max(...answers).toFixed(0)} ms at worst`);
})().catch((error) => {
  console.log(error);
  process.exit(1);
});
