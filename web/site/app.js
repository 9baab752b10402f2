// The page: asks the worker, draws what it answers. Nothing here decodes or writes a picture.
import { nextTask } from './core.js';
import { sortInFolderOrder } from './order.js';
import { TEXTS, TYPE_NAMES, languageOf } from './texts.js';

const $ = (id) => document.getElementById(id);
const worker = new Worker(new URL('./worker.js', import.meta.url), { type: 'module' });

let texts = TEXTS[languageOf(navigator.languages || [navigator.language])];
let items = [];  // index -> {li, name, title, entry, width, height}
let shown = -1;  // the index in the big view, -1 for the grid
let zoom = 1;
let request = 0;
const pending = new Map();  // request -> {resolve}
let opening = false;
// How many pictures the worker may write ahead for a Download all (see worker.js): all it can,
// unless the address says ?ahead=N (tests use it to take the other ways through a run).
const aheadParameter = new URLSearchParams(location.search).get('ahead');
const aheadLimit = aheadParameter !== null && /^\d+$/.test(aheadParameter) ? Number(aheadParameter) : null;
let openCount = 0;  // which choice the grid shows; the worker's messages for older ones are dropped

function ask(message) {
  const id = ++request;
  return new Promise((resolve) => {
    pending.set(id, resolve);
    worker.postMessage({ ...message, request: id });
  });
}

// --- texts ---------------------------------------------------------------------------------

function applyTexts() {
  document.documentElement.lang = texts.lang;
  $('intro').textContent = texts.intro;
  $('choose-files-text').textContent = texts.chooseFiles;
  $('choose-folder-text').textContent = texts.chooseFolder;
  $('drop-hint').textContent = texts.dropHere;
  $('pictures-heading').textContent = texts.pictures;
  $('failures-heading').textContent = texts.failures;
  $('download-type-text').textContent = texts.downloadType;
  $('download-all').textContent = texts.downloadAll;
  $('save-type-text').textContent = texts.saveType;
  $('save').textContent = texts.saveAs;
  $('copy').textContent = texts.copy;
  $('back').textContent = texts.back;
  $('previous').textContent = texts.previous;
  $('next').textContent = texts.next;
  $('zoom-text').textContent = texts.zoom;
  $('keys').textContent = texts.keys;
  $('language').textContent = texts.language;
  updateCount();
}

function fillTypeList(select) {
  TYPE_NAMES.forEach((name, type) => select.add(new Option(name, String(type))));
}

// --- opening -------------------------------------------------------------------------------

function resetGrid() {
  items = [];
  queued = [];
  flushCost = 0;
  flushWaiting = false;  // a batch still waiting for the last choice does not hold up this one
  $('grid').replaceChildren();
  $('failures').replaceChildren();
  $('failures-heading').hidden = true;
  $('download-all').disabled = true;
  $('zip-status').hidden = true;
  showGrid();
}

// Handing a File to the worker costs the page a round trip to the browser's own process for
// each (0.3 to 1 ms in a trace of 5000 files, the page's thread waiting meanwhile): a folder of
// thousands goes over in batches, one per task, each sized from the last to take about
// HANDOVER_MS, so the page stays responsive and the worker starts on the first files at once.
// Sprite archives read "ending.bin" beside them, so those go first.
const HANDOVER_MS = 8;
const HANDOVER_FIRST = 20;
const HANDOVER_MOST = 1000;

async function openFiles(chosen) {
  if (chosen.length === 0) return;
  resetGrid();
  opening = true;
  updateCount();
  // User Timing marks: how long the grid takes to fill, for anyone measuring the page.
  performance.clearMarks('qelva-open-start');
  performance.mark('qelva-open-start');
  const id = ++openCount;
  const sorted = sortInFolderOrder(chosen, (c) => c.path);
  const palettes = sorted.filter((c) => c.file.name === 'ending.bin');
  const zipType = Number($('download-type').value);
  worker.postMessage({ op: 'open', open: id, total: sorted.length, palettes, zipType, aheadLimit });
  for (let i = 0, batch = HANDOVER_FIRST; i < sorted.length && id === openCount;) {
    const files = sorted.slice(i, i + batch);
    const t = performance.now();
    worker.postMessage({ op: 'more', open: id, files });
    const each = (performance.now() - t) / files.length;
    if (i === 0) performance.measure('qelva-open-handler', 'qelva-open-start');
    i += files.length;
    batch = Math.max(1, Math.min(HANDOVER_MOST, Math.floor(HANDOVER_MS / each)));
    await nextTask();
  }
}

function fromInput(input, fromFolder) {
  return Array.from(input.files, (file) => ({
    file,
    path: fromFolder && file.webkitRelativePath ? file.webkitRelativePath : file.name,
    fromFolder,
  }));
}

// Dropped folders are walked through their entries; dropped files count as chosen files.
async function fromDrop(dataTransfer) {
  const chosen = [];
  const walk = async (entry, path, top) => {
    if (entry.isFile) {
      const file = await new Promise((resolve, reject) => entry.file(resolve, reject));
      chosen.push({ file, path: path + entry.name, fromFolder: !top });
    } else if (entry.isDirectory) {
      const reader = entry.createReader();
      for (;;) {
        const batch = await new Promise((resolve, reject) => reader.readEntries(resolve, reject));
        if (batch.length === 0) break;
        for (const child of batch) await walk(child, path + entry.name + '/', false);
      }
    }
  };
  const entries = Array.from(dataTransfer.items || [], (i) => i.webkitGetAsEntry && i.webkitGetAsEntry());
  if (entries.length && entries.every(Boolean)) {
    for (const entry of entries) await walk(entry, '', true);
  } else {
    for (const file of dataTransfer.files) chosen.push({ file, path: file.name, fromFolder: false });
  }
  return chosen;
}

// The grid is complete once the worker is done and every item it sent is on the page.
function finishOpening() {
  updateCount();
  performance.measure('qelva-open', 'qelva-open-start');
  $('download-all').disabled = items.length === 0;
}

function updateCount() {
  $('count').textContent = opening ? texts.counting(items.length) : items.length ? texts.done(items.length) : '';
}

// Items are added in batches, at most once per frame, however fast the worker sends them. Each
// batch has the browser lay the grid out and draw it again, which costs the more the larger the
// grid is, on the thread that also hands the files over: while a choice is listed, a batch waits
// until the page's thread has had GRID_SHARE times the last batch's cost for everything else.
const GRID_SHARE = 3;
let queued = [];
let flushWaiting = false;
let flushedAt = -Infinity;
// The last batch's cost: from its start to the first task after its frame, so its items, the
// frame's layout and drawing, and what the page's thread had waiting besides.
let flushCost = 0;

function addItem(m) {
  queued.push(m);
  scheduleFlush();
}

function scheduleFlush() {
  if (flushWaiting || queued.length === 0) return;
  flushWaiting = true;
  const wait = opening ? flushedAt + (GRID_SHARE + 1) * flushCost - performance.now() : 0;
  if (wait > 0) setTimeout(() => requestAnimationFrame(flushItems), wait);
  else requestAnimationFrame(flushItems);
}

// Items are made for at most this long in one frame, so that a large folder never holds the
// page; enough for the worker's pictures of the time the batches wait, for a folder of thousands.
const ADD_MILLISECONDS = 24;

function flushItems() {
  flushWaiting = false;
  const start = performance.now();
  const fragment = document.createDocumentFragment();
  let added = 0;
  while (queued.length && (added === 0 || performance.now() - start < ADD_MILLISECONDS)) {
    fragment.append(itemElement(queued.shift()));
    added++;
  }
  $('grid').append(fragment);
  updateCount();
  flushedAt = start;
  setTimeout(() => {
    flushCost = performance.now() - start;
  }, 0);
  if (queued.length) scheduleFlush();
  else if (!opening && added) finishOpening();
}

function itemElement(m) {
  const li = document.createElement('li');
  li.tabIndex = 0;
  const label = `${m.name}${m.title ? ' ' + m.title : ''} ${m.width}×${m.height}`;
  li.setAttribute('aria-label', label);
  const thumb = document.createElement('div');
  thumb.className = 'thumb';
  const canvas = document.createElement('canvas');
  canvas.width = m.thumb.width;
  canvas.height = m.thumb.height;
  canvas.getContext('bitmaprenderer').transferFromImageBitmap(m.thumb);
  thumb.append(canvas);
  const name = document.createElement('div');
  name.textContent = m.name;
  li.append(thumb, name);
  if (m.title) {
    const title = document.createElement('div');
    title.textContent = m.title;
    li.append(title);
  }
  const size = document.createElement('div');
  size.textContent = `${m.width}×${m.height}`;
  li.append(size);
  li.dataset.index = String(m.index);
  items[m.index] = { li, ...m, thumb: undefined };
  return li;
}

function addFailure(label, message) {
  const li = document.createElement('li');
  li.textContent = `${label}: ${message}`;
  $('failures').append(li);
  $('failures-heading').hidden = false;
}

// --- the big view --------------------------------------------------------------------------

function showGrid() {
  shown = -1;
  $('picture-view').hidden = true;
  $('grid-view').hidden = false;
  $('open-area').hidden = false;
}

function setZoom(z) {
  zoom = z;
  for (const b of document.querySelectorAll('[data-zoom]')) {
    b.setAttribute('aria-pressed', String(Number(b.dataset.zoom) === z));
  }
  sizeCanvas();
}

// One picture pixel is zoom device pixels, whatever the device pixel ratio. The canvas is also
// moved onto whole device pixels: at a ratio such as 1.5 the layout may place it between two,
// and the browser would then resample every pixel.
function sizeCanvas() {
  const canvas = $('picture');
  const ratio = window.devicePixelRatio || 1;
  // Layout sizes are multiples of 1/64 CSS pixel: rounded down, 448 device pixels at a ratio of
  // 1.5 would come out as 447.98 and lose the last row, so they are rounded up.
  const cssPixels = (devicePixels) => `${Math.ceil((devicePixels / ratio) * 64) / 64}px`;
  canvas.style.width = cssPixels(canvas.width * zoom);
  canvas.style.height = cssPixels(canvas.height * zoom);
  canvas.style.left = canvas.style.top = '0px';
  const r = canvas.getBoundingClientRect();
  const x = (r.left + window.scrollX) * ratio;
  const y = (r.top + window.scrollY) * ratio;
  canvas.style.left = `${(Math.ceil(x) - x) / ratio}px`;
  canvas.style.top = `${(Math.ceil(y) - y) / ratio}px`;
}

async function showPicture(index) {
  if (index < 0 || index >= items.length || !items[index]) return;
  shown = index;
  $('view-status').textContent = '';
  const m = await ask({ op: 'view', index });
  if (shown !== index) return;
  $('grid-view').hidden = true;
  $('open-area').hidden = true;
  $('picture-view').hidden = false;
  const canvas = $('picture');
  if (!m.ok) {
    canvas.width = canvas.height = 0;
    canvas.setAttribute('aria-label', m.message);
    $('caption').textContent = '';
    $('view-status').textContent = m.message;
    return;
  }
  canvas.width = m.width;
  canvas.height = m.height;
  if (m.width > 0 && m.height > 0) {
    canvas.getContext('2d').putImageData(new ImageData(m.rgba, m.width, m.height), 0, 0);
  }
  canvas.setAttribute('aria-label', m.caption);
  $('caption').textContent = m.caption;
  document.title = m.caption;
  sizeCanvas();
  $('picture-view').focus();
}

function download(name, blob) {
  const a = document.createElement('a');
  a.href = URL.createObjectURL(blob);
  a.download = name;
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(a.href), 60000);
}

async function saveShown() {
  if (shown < 0) return;
  const m = await ask({ op: 'save', index: shown, type: Number($('save-type').value) });
  if (!m.ok) {
    $('view-status').textContent = `${m.name}: ${m.message}`;
    return;
  }
  download(m.name, new Blob([m.bytes]));
}

async function copyShown() {
  if (shown < 0) return;
  const m = await ask({ op: 'save', index: shown, type: 6 });
  try {
    if (!m.ok) throw new Error(m.message);
    const blob = new Blob([m.bytes], { type: 'image/png' });
    await navigator.clipboard.write([new ClipboardItem({ 'image/png': blob })]);
    $('view-status').textContent = texts.copied;
  } catch (e) {
    $('view-status').textContent = `${texts.copyFailed}: ${e.message || e}`;
  }
}

async function downloadAll() {
  const button = $('download-all');
  button.disabled = true;
  $('zip-status').hidden = false;
  $('zip-progress').value = 0;
  $('zip-text').textContent = texts.zipping;
  performance.clearMarks('qelva-zip-start');
  performance.mark('qelva-zip-start');
  const m = await ask({ op: 'zip', type: Number($('download-type').value) });
  // How many pictures the second worker wrote, for anyone measuring the page.
  performance.measure('qelva-zip', { start: 'qelva-zip-start', detail: { helped: m.helped || 0, spent: m.spent } });
  if (m.stopped) {
    $('zip-status').hidden = true;
    return;
  }
  for (const f of m.failures || []) addFailure(f.label, f.message);
  $('zip-progress').value = 1;
  $('zip-text').textContent = texts.zipDone(items.length - (m.failures || []).length, (m.failures || []).length);
  if (m.blob) download(m.name, m.blob);
  button.disabled = false;
}

// --- wiring --------------------------------------------------------------------------------

worker.onmessage = (event) => {
  const m = event.data;
  if (m.open !== undefined && m.open !== openCount) return;
  if (m.op === 'items') m.items.forEach(addItem);
  else if (m.op === 'opened') {
    opening = false;
    if (queued.length === 0) finishOpening();
    else requestAnimationFrame(flushItems);  // the last items do not wait
  }
  else if (m.op === 'failed') addFailure(m.label, m.message);
  else if (m.op === 'warm') {
    // The page's start-up warm-up is done (see worker.js), for anyone measuring or testing it.
    performance.mark('qelva-warm', { detail: { type: m.type, rounds: m.rounds, busy: m.busy, ms: m.ms } });
  } else if (m.op === 'ahead') {
    // The files written ahead are ready, for anyone measuring or testing the page.
    performance.mark('qelva-ahead', { detail: { type: m.type, count: m.count, busy: m.busy, ms: m.ms } });
  }
  else if (m.op === 'progress') {
    $('zip-progress').value = m.done / Math.max(1, m.total);
  } else if (m.op === 'error') {
    opening = false;
    updateCount();
    addFailure(texts.workerFailed, m.message);
  }
  if (m.request && pending.has(m.request) && m.op !== 'progress') {
    pending.get(m.request)(m);
    pending.delete(m.request);
  }
};

// A worker that cannot start (a browser without module workers or WebAssembly exceptions) is
// said so, rather than leaving the page silent.
worker.onerror = (event) => {
  opening = false;
  addFailure(texts.workerFailed, event.message || 'worker');
};

$('grid').addEventListener('click', (e) => {
  const li = e.target.closest('li[data-index]');
  if (li) showPicture(Number(li.dataset.index));
});
$('grid').addEventListener('keydown', (e) => {
  const li = e.target.closest('li[data-index]');
  if (li && (e.key === 'Enter' || e.key === ' ')) {
    e.preventDefault();
    showPicture(Number(li.dataset.index));
  }
});
$('files').addEventListener('change', (e) => openFiles(fromInput(e.target, false)));
$('folder').addEventListener('change', (e) => openFiles(fromInput(e.target, true)));
document.addEventListener('dragover', (e) => {
  e.preventDefault();
  document.querySelector('main').classList.add('dropping');
});
document.addEventListener('dragleave', () => document.querySelector('main').classList.remove('dropping'));
document.addEventListener('drop', async (e) => {
  e.preventDefault();
  document.querySelector('main').classList.remove('dropping');
  openFiles(await fromDrop(e.dataTransfer));
});
$('download-all').addEventListener('click', downloadAll);
$('download-type').addEventListener('change', (e) => {
  worker.postMessage({ op: 'type', type: Number(e.target.value) });
});
$('save').addEventListener('click', saveShown);
$('copy').addEventListener('click', copyShown);
$('back').addEventListener('click', showGrid);
$('previous').addEventListener('click', () => showPicture(shown - 1));
$('next').addEventListener('click', () => showPicture(shown + 1));
for (const b of document.querySelectorAll('[data-zoom]')) {
  b.addEventListener('click', () => setZoom(Number(b.dataset.zoom)));
}
$('language').addEventListener('click', () => {
  texts = texts.lang === 'ja' ? TEXTS.en : TEXTS.ja;
  applyTexts();
});
document.addEventListener('keydown', (e) => {
  if (shown < 0 || e.altKey || e.ctrlKey || e.metaKey) return;
  if (e.target instanceof HTMLSelectElement) return;
  if (e.key === 'ArrowLeft') showPicture(shown - 1);
  else if (e.key === 'ArrowRight') showPicture(shown + 1);
  else if (e.key === 'Escape') {
    const li = items[shown] && items[shown].li;
    showGrid();
    if (li) li.focus();
  } else if (/^[1-4]$/.test(e.key)) setZoom(Number(e.key));
  else return;
  e.preventDefault();
});
matchMedia(`(resolution: ${window.devicePixelRatio}dppx)`).addEventListener?.('change', sizeCanvas);
window.addEventListener('resize', sizeCanvas);

fillTypeList($('download-type'));
fillTypeList($('save-type'));
$('download-type').value = '2';
applyTexts();
