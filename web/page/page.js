// The page: files in, the worker translates them one by one, a card and a download each.
'use strict';

const $ = (id) => document.getElementById(id);
const worker = new Worker(URL.createObjectURL(
    new Blob([atob(hasWasmSimd() ? WORKER_SOURCE : PORTABLE_WORKER_SOURCE)], {type: 'text/javascript'})));
const results = new Map();  // output path -> its kept bytes, for its link and "download all"
// A few files are read and sent ahead, so that the worker never waits for the next one.
const AHEAD = 4;
let queue = [];      // files not yet sent
const sent = new Map();  // id -> file sent to the worker
let total = 0;
let done = 0;
let nextId = 1;
let styled = false;

function isImageName(name) {
  return /\.(bmp|png)$/i.test(name);
}

function options() {
  const number = (id, low, high) => Math.min(high, Math.max(low, Math.trunc(Number($(id).value) || 0)));
  return {red: number('red', 0, 255), green: number('green', 0, 255), blue: number('blue', 0, 255),
          percent: number('percent', 0, 100), compactPalette: $('compact').checked};
}

function outputPath(path, bytes) {
  const format = $('format').value;
  const png = bytes[0] === 137 && bytes[1] === 80 && bytes[2] === 78 && bytes[3] === 71;
  const wanted = format === 'same' ? (png ? 'png' : 'bmp') : format;
  const base = path.replace(/\.(bmp|png)$/i, '');
  return base + '.' + wanted;
}

// The inspect page's body, its heading line aside, as the card; its style once for the page.
function cardOf(page) {
  const doc = new DOMParser().parseFromString(page, 'text/html');
  if (!styled) {
    const style = doc.querySelector('head style');
    if (style) document.head.appendChild(document.importNode(style, true));
    styled = true;
  }
  const parameters = doc.body.querySelector('p');
  if (parameters) parameters.remove();
  // Each inspect page names its palette strips .s0, .s1 ... in a style of its own: on one
  // page of many cards those names would clash (and every new style element restyle all
  // the cards), so each rule goes onto its own elements.
  for (const style of doc.body.querySelectorAll('style')) {
    for (const [, name, rule] of style.textContent.matchAll(/\.(s\d+)\{([^}]*)\}/g)) {
      for (const element of doc.body.querySelectorAll('.' + name)) {
        element.setAttribute('style', (element.getAttribute('style') || '') + rule);
        element.classList.remove(name);
      }
    }
    style.remove();
  }
  return doc.body.innerHTML;
}

// Each Blob is made by a call to the browser's own process, which costs about a millisecond
// whatever its size: the outputs and inspect pages of SHARED_BLOB_PARTS files share one Blob,
// made once that many are kept, and each is a slice of it. Until then they are kept as bytes.
const SHARED_BLOB_PARTS = 200;
let waiting = [];  // kept parts whose shared Blob is not made yet

function keep(bytes, type) {
  const part = {bytes, type, shared: null, start: 0, end: bytes.length};
  waiting.push(part);
  if (waiting.length >= SHARED_BLOB_PARTS) shareWaiting();
  return part;
}

function shareWaiting() {
  if (waiting.length === 0) return;
  const shared = new Blob(waiting.map((part) => part.bytes));
  let at = 0;
  for (const part of waiting) {
    part.start = at;
    at += part.bytes.length;
    part.end = at;
    part.shared = shared;
    part.bytes = null;
  }
  waiting = [];
}

function blobOf(part) {
  return part.shared ? part.shared.slice(part.start, part.end, part.type)
                     : new Blob([part.bytes], {type: part.type});
}

// A game's folders hold thousands of files: each card's pictures and palette are drawn only
// when the card comes near the view (its inspect page kept in a shared Blob until then, out
// of the script's heap), and the cards go into runs of CARDS_PER_RUN, each kept out of
// layout and paint while off screen, so that the thousandth card costs what the first does.
const CARDS_PER_RUN = 100;
const pending = new Map();  // a card body not drawn yet -> its kept inspect page
const nearView = new IntersectionObserver((entries) => {
  for (const entry of entries) {
    if (!entry.isIntersecting || !pending.has(entry.target)) continue;
    const body = entry.target;
    const page = pending.get(body);
    pending.delete(body);
    nearView.unobserve(body);
    blobOf(page).text().then((text) => {
      body.innerHTML = cardOf(text);
      body.classList.remove('undrawn');
    });
  }
}, {rootMargin: '1000px 0px'});

function addCard(card) {
  const cards = $('cards');
  let run = cards.lastElementChild;
  if (!run || run.childElementCount >= CARDS_PER_RUN) {
    run = document.createElement('div');
    run.className = 'run';
    cards.appendChild(run);
  }
  run.appendChild(card);
}

// A card titled with the file's path, and a line that says why it was not translated.
function cardFor(item) {
  const card = document.createElement('div');
  card.className = 'result';
  const title = document.createElement('h3');
  title.textContent = item.path;
  card.appendChild(title);
  return card;
}

function addReason(card, text) {
  const why = document.createElement('p');
  why.className = 'refused';
  why.textContent = text;
  card.appendChild(why);
}

function showResult(item, message) {
  const card = cardFor(item);
  const body = document.createElement('div');
  body.className = 'undrawn';
  pending.set(body, keep(new TextEncoder().encode(message.page), 'text/html'));
  nearView.observe(body);
  card.appendChild(body);
  const text = message.text.replace(/^\s*Quorl Palette Translation[^\n]*\n?/, '').trim();
  if (message.status !== 0)
    addReason(card, 'palette-translate: ' + (text || 'refused') + ' (status ' + message.status + ')');
  // A refused input leaves an empty output, as the command does: nothing to download.
  if (message.output && message.status === 0) {
    results.set(item.output, keep(message.output, ''));
    // Its address is made when it is clicked (below): one more call to the browser each.
    const link = document.createElement('a');
    link.href = '#';
    link.download = item.output.split('/').pop();
    link.dataset.path = item.output;
    link.className = 'download';
    link.textContent = 'Download ' + item.output;
    card.appendChild(link);
  }
  addCard(card);
}

// A file the page could not translate (its bytes unreadable, the worker failed on it): a
// card that says why, and the page goes on with the next file.
function showFailure(item, reason) {
  const card = cardFor(item);
  addReason(card, 'Not translated: ' + reason);
  addCard(card);
}

// One more file done, shown: the count moves on and the next file is sent.
function finished() {
  ++done;
  progress();
  sendAhead();
}

function progress() {
  $('progress').max = Math.max(total, 1);
  $('progress').value = done;
  $('count').textContent = done + ' of ' + total + ' files' + (done < total ? '' : ', done');
  $('all').disabled = results.size === 0 || done < total;
  document.body.dataset.state = done < total ? 'working' : 'done';
  // Nothing is left in the script's heap once the files are done.
  if (done >= total) shareWaiting();
}

// A download's address, made as its click begins: the browser follows the link after this.
$('cards').addEventListener('click', (event) => {
  const link = event.target.closest('a.download');
  if (link && !link.href.startsWith('blob:'))
    link.href = URL.createObjectURL(blobOf(results.get(link.dataset.path)));
});

// Reading a file is a call to the browser's own process: small files are read together, up
// to READ_TOGETHER bytes a call (more at once holds the page up while they are gathered).
const READ_TOGETHER = 256 << 10;
let read = [];  // files read and not yet sent: {item, bytes} or {item, error}

async function readSome() {
  const items = [queue.shift()];
  let size = items[0].file.size;
  while (queue.length > 0 && size + queue[0].file.size <= READ_TOGETHER) {
    size += queue[0].file.size;
    items.push(queue.shift());
  }
  try {
    const all = new Uint8Array(await new Blob(items.map((item) => item.file)).arrayBuffer());
    let at = 0;
    return items.map((item) => ({item, bytes: all.slice(at, (at += item.file.size))}));
  } catch {
    // One unreadable file fails them all: each is read alone, to fail only that one.
    const alone = [];
    for (const item of items) {
      try {
        alone.push({item, bytes: new Uint8Array(await item.file.arrayBuffer())});
      } catch (error) {
        alone.push({item, error});
      }
    }
    return alone;
  }
}

let reading = false;
async function sendAhead() {
  if (reading) return;
  reading = true;
  while ((read.length > 0 || queue.length > 0) && sent.size < AHEAD) {
    if (read.length === 0) read = await readSome();
    const {item, bytes, error} = read.shift();
    const id = nextId++;
    sent.set(id, item);
    if (error) {
      // Through the worker all the same, which answers in turn: its card keeps its place.
      worker.postMessage({id, failed: 'cannot read the file: ' + (error.message || error)});
      continue;
    }
    item.output = outputPath(item.path, bytes);
    worker.postMessage({id, name: item.path, bytes, options: options(), outputName: item.output},
                       [bytes.buffer]);
  }
  reading = false;
}

worker.onmessage = (event) => {
  const item = sent.get(event.data.id);
  sent.delete(event.data.id);
  if (event.data.failed !== undefined) showFailure(item, event.data.failed);
  else showResult(item, event.data);
  finished();
};

// An error the worker did not catch (its modules failed to start, say) falls on the file it
// was working on, the oldest one sent: that file fails, and the next is sent.
worker.onerror = (event) => {
  event.preventDefault();
  const [id, item] = sent.entries().next().value || [];
  if (item === undefined) return;
  sent.delete(id);
  showFailure(item, event.message || 'the worker failed');
  finished();
};

function addFiles(items) {
  items.sort((a, b) => (a.path < b.path ? -1 : a.path > b.path ? 1 : 0));
  queue.push(...items);
  total += items.length;
  progress();
  sendAhead();
}

// Files from a folder: only bitmaps and PNGs, as palette-batch takes them.
function fromInput(input, folder) {
  const items = [];
  for (const file of input.files) {
    const path = file.webkitRelativePath || file.name;
    if (!folder || isImageName(path)) items.push({path, file});
  }
  input.value = '';
  addFiles(items);
}

async function entriesOf(entry, prefix, items) {
  if (entry.isFile) {
    const file = await new Promise((resolve, reject) => entry.file(resolve, reject));
    if (!prefix || isImageName(entry.name)) items.push({path: prefix + entry.name, file});
    return;
  }
  const reader = entry.createReader();
  for (;;) {
    const batch = await new Promise((resolve, reject) => reader.readEntries(resolve, reject));
    if (batch.length === 0) break;
    for (const child of batch) await entriesOf(child, prefix + entry.name + '/', items);
  }
}

$('files').addEventListener('change', () => fromInput($('files'), false));
$('folder').addEventListener('change', () => fromInput($('folder'), true));
const drop = $('drop');
drop.addEventListener('dragover', (event) => { event.preventDefault(); drop.classList.add('over'); });
drop.addEventListener('dragleave', () => drop.classList.remove('over'));
drop.addEventListener('drop', async (event) => {
  event.preventDefault();
  drop.classList.remove('over');
  const items = [];
  const entries = [...event.dataTransfer.items].map((item) => item.webkitGetAsEntry()).filter(Boolean);
  for (const entry of entries) await entriesOf(entry, '', items);
  addFiles(items);
});
// The zip's CRC-32, as zlib's crc32 reckons it.
const CRC_TABLE = (() => {
  const table = new Uint32Array(256);
  for (let n = 0; n < 256; ++n) {
    let c = n;
    for (let k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320 ^ (c >>> 1) : c >>> 1;
    table[n] = c >>> 0;
  }
  return table;
})();

function crc32(bytes) {
  let c = 0xFFFFFFFF;
  for (let i = 0; i < bytes.length; ++i) c = CRC_TABLE[(c ^ bytes[i]) & 255] ^ (c >>> 8);
  return (c ^ 0xFFFFFFFF) >>> 0;
}

// Every output in one zip, stored as it is (the outputs gain little from deflating again):
// a Blob of the headers and the output Blobs themselves, never a second copy of them; each
// is read once, on its own, for its CRC. UTF-8 names; without ZIP64, at most 65,535 files
// and 4 GiB.
async function storedZip(entries, when) {
  if (entries.length > 0xFFFF) throw new Error('too many outputs for one zip: download them one by one');
  const time = (when.getHours() << 11) | (when.getMinutes() << 5) | (when.getSeconds() >> 1);
  const date = ((when.getFullYear() - 1980) << 9) | ((when.getMonth() + 1) << 5) | when.getDate();
  const parts = [];
  const directory = [];
  let offset = 0;
  const header = (length, signature, fields) => {
    const view = new DataView(new ArrayBuffer(length));
    view.setUint32(0, signature, true);
    for (const [at, value, size] of fields) {
      if (size === 2) view.setUint16(at, value, true);
      else view.setUint32(at, value, true);
    }
    return view;
  };
  for (const [path, blob] of entries) {
    const name = new TextEncoder().encode(path);
    const crc = crc32(new Uint8Array(await blob.arrayBuffer()));
    // Version 2.0, UTF-8 names (bit 11), stored; the times; the CRC and both sizes.
    const common = [[6, 0x0800, 2], [8, 0, 2], [10, time, 2], [12, date, 2], [14, crc, 4],
                    [18, blob.size, 4], [22, blob.size, 4], [26, name.length, 2]];
    parts.push(header(30, 0x04034B50, [[4, 20, 2], ...common]), name, blob);
    const shifted = common.map(([at, value, size]) => [at + 2, value, size]);
    directory.push(header(46, 0x02014B50, [[4, 20, 2], [6, 20, 2], ...shifted, [42, offset, 4]]),
                   name);
    offset += 30 + name.length + blob.size;
  }
  const directorySize = directory.reduce((sum, part) => sum + part.byteLength, 0);
  if (offset + directorySize > 0xFFFFFFFF)
    throw new Error('the outputs are too large for one zip: download them one by one');
  const end = header(22, 0x06054B50, [[8, entries.length, 2], [10, entries.length, 2],
                                      [12, directorySize, 4], [16, offset, 4]]);
  return new Blob([...parts, ...directory, end], {type: 'application/zip'});
}

$('all').addEventListener('click', async () => {
  let zip;
  try {
    zip = await storedZip([...results].map(([path, part]) => [path, blobOf(part)]), new Date());
  } catch (error) {
    $('count').textContent = String(error.message || error);
    return;
  }
  const earlier = $('zip-link');
  if (earlier) {
    URL.revokeObjectURL(earlier.href);
    earlier.remove();
  }
  const link = document.createElement('a');
  link.href = URL.createObjectURL(zip);
  link.download = 'palette-translated.zip';
  link.id = 'zip-link';
  document.body.appendChild(link);
  link.click();
});
$('clear').addEventListener('click', () => {
  if (done < total) return;
  for (const link of document.querySelectorAll('a.download')) {
    if (link.href.startsWith('blob:')) URL.revokeObjectURL(link.href);
  }
  $('cards').textContent = '';
  pending.clear();
  nearView.disconnect();
  results.clear();
  total = done = 0;
  progress();
});
progress();
