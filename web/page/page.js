// The page: files in, the worker translates them one by one, a card and a download each.
'use strict';

const $ = (id) => document.getElementById(id);
const worker = new Worker(URL.createObjectURL(new Blob([atob(WORKER_SOURCE)], {type: 'text/javascript'})));
const results = new Map();  // output path -> bytes, for "download all"
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

function showResult(item, message) {
  const card = document.createElement('div');
  card.className = 'result';
  const title = document.createElement('h3');
  title.textContent = item.path;
  card.appendChild(title);
  const body = document.createElement('div');
  body.innerHTML = cardOf(message.page);
  card.appendChild(body);
  const text = message.text.replace(/^\s*Quorl Palette Translation[^\n]*\n?/, '').trim();
  if (message.status !== 0) {
    const why = document.createElement('p');
    why.className = 'refused';
    why.textContent = 'palette-translate: ' + (text || 'refused') + ' (status ' + message.status + ')';
    card.appendChild(why);
  }
  // A refused input leaves an empty output, as the command does: nothing to download.
  if (message.output && message.status === 0) {
    results.set(item.output, message.output);
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([message.output]));
    link.download = item.output.split('/').pop();
    link.dataset.path = item.output;
    link.className = 'download';
    link.textContent = 'Download ' + item.output;
    card.appendChild(link);
  }
  $('cards').appendChild(card);
}

function progress() {
  $('progress').max = Math.max(total, 1);
  $('progress').value = done;
  $('count').textContent = done + ' of ' + total + ' files' + (queue.length || done < total ? '' : ', done');
  $('all').disabled = results.size === 0 || done < total;
  document.body.dataset.state = done < total ? 'working' : 'done';
}

let reading = false;
async function sendAhead() {
  if (reading) return;
  reading = true;
  while (queue.length > 0 && sent.size < AHEAD) {
    const item = queue.shift();
    const id = nextId++;
    sent.set(id, item);
    const bytes = new Uint8Array(await item.file.arrayBuffer());
    item.output = outputPath(item.path, bytes);
    worker.postMessage({id, name: item.path, bytes, options: options(), outputName: item.output},
                       [bytes.buffer]);
  }
  reading = false;
}

worker.onmessage = (event) => {
  const item = sent.get(event.data.id);
  sent.delete(event.data.id);
  showResult(item, event.data);
  ++done;
  progress();
  sendAhead();
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
$('all').addEventListener('click', () => {
  const files = {};
  for (const [path, bytes] of results) files[path] = [bytes, {level: 0}];
  const zip = fflate.zipSync(files);
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([zip], {type: 'application/zip'}));
  link.download = 'palette-translated.zip';
  link.id = 'zip-link';
  document.body.appendChild(link);
  link.click();
});
$('clear').addEventListener('click', () => {
  if (done < total) return;
  for (const link of document.querySelectorAll('a.download')) URL.revokeObjectURL(link.href);
  $('cards').textContent = '';
  results.clear();
  total = done = 0;
  progress();
});
progress();
