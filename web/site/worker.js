// The page's worker: holds the WebAssembly core and the chosen files, and does every piece of
// decoding and writing, so that the page only draws and asks.
//
// Listing a choice: the page sends {op: 'open', open, total, palettes} (its number for the
// choice, how many files, the "ending.bin" files among them) and then the files, in the
// converter's order, in {op: 'more', open, files: [{file, path, fromFolder}]} batches; the worker
// answers with 'items' batches and 'failed' lines in that order, then 'opened'. Later 'view',
// 'save' and 'zip' requests name pictures by their index and are answered by 'picture', 'file',
// 'progress' and 'zip' messages carrying the request's number.
import createQelva from './qelva.js';
import { QelvaCore, TYPES, rgbaOf, thumbnailOf } from './core.js';
import { Zip, ZipPassThrough } from './fflate.js';

const THUMBNAIL_SIZE = 128;
// Files are kept in the core's memory up to this many bytes in all; past it a file is read again
// from the disk when it is needed again. A single file larger than the cap is never kept.
const KEEP_BYTES = 256 * 1024 * 1024;

const corePromise = QelvaCore.create(createQelva);

let generation = 0;  // the open request being answered; a newer one stops an older one
let files = new Map();  // core path -> {file, kept}
let keptBytes = 0;
let pictures = [];  // index -> {path, entry, zipBase, out, fromFolder, label}

const memoryPath = (path) => '/in/' + path;

// What qelvaconv -r -o names a folder's output: the path below the chosen folder.
function folderBelowTop(path, fromFolder) {
  const parts = path.split('/');
  if (!fromFolder || parts.length < 2) return '';
  return parts.slice(1, -1).map((p) => p + '/').join('');
}

// Reads a file into the core unless it is there already. Returns false when it cannot be had
// (core.lastError() says why): no memory for it, or the file gone or changed since it was chosen.
async function ensureLoaded(core, corePath) {
  const held = files.get(corePath);
  if (held.kept) return true;
  let bytes;
  try {
    const reading = held.reading || held.file.arrayBuffer();
    held.reading = null;
    bytes = new Uint8Array(await reading);
  } catch (error) {
    core.error = error instanceof RangeError ? core.outOfMemoryText() : String(error.message || error);
    return false;
  }
  if (!core.putFile(corePath, bytes)) return false;
  held.kept = true;
  keptBytes += bytes.length;
  return true;
}

// Reading a file takes a round trip to the browser: the next few files to list are asked for
// while the current one is decoded. Large files are read only when their turn comes.
const READ_AHEAD = 8;
const READ_AHEAD_MAX_BYTES = 16 * 1024 * 1024;

function readAhead(core, position) {
  const end = Math.min(incoming.files.length, position + 1 + READ_AHEAD);
  for (let i = position + 1; i < end; i++) {
    const c = incoming.files[i];
    if (c.file.size > READ_AHEAD_MAX_BYTES) continue;
    const corePath = memoryPath(c.path);
    if (!files.has(corePath)) files.set(corePath, { file: c.file, kept: false });
    const held = files.get(corePath);
    if (held.kept || held.reading) continue;
    c.plan = c.plan || core.plan(corePath, c.fromFolder);
    if (c.plan.units.length === 0) continue;
    held.reading = c.file.arrayBuffer();
    held.reading.catch(() => {});  // a failure is reported when the file's turn comes
  }
}

function release(core, corePath) {
  const held = files.get(corePath);
  if (!held.kept || keptBytes <= KEEP_BYTES || held.file.name === 'ending.bin') return;
  core.dropFile(corePath);
  held.kept = false;
  keptBytes -= held.file.size;
}

let openId;  // the page's number for the choice being listed
let outgoing = [];  // pictures listed and not yet sent to the page

function sendItems() {
  if (outgoing.length === 0) return;
  postMessage({ op: 'items', open: openId, items: outgoing }, outgoing.map((item) => item.thumb));
  outgoing = [];
}

function postFailure(label, message) {
  sendItems();  // in order with the pictures before it
  postMessage({ op: 'failed', open: openId, label, message });
}

// The files of the choice being listed, as the page hands them over (in the converter's order).
let incoming = { id: undefined, files: [], wake: null };

function receive(id, batch) {
  if (id !== incoming.id) return;
  incoming.files.push(...batch);
  if (incoming.wake) incoming.wake();
}

// The files in order as they arrive: total of them in all.
async function* arriving(total) {
  for (let i = 0; i < total; i++) {
    while (i >= incoming.files.length) {
      await new Promise((resolve) => {
        incoming.wake = resolve;
      });
      incoming.wake = null;
    }
    yield incoming.files[i];
  }
}

async function open(id, total, palettes) {
  const mine = ++generation;
  openId = id;
  outgoing = [];
  if (incoming.wake) incoming.wake();  // an older listing waiting for files stops now
  incoming = { id, files: [], wake: null };
  const core = await corePromise;
  core.clearFiles();
  files = new Map();
  keptBytes = 0;
  pictures = [];
  // A sprite archive reads its palettes from "ending.bin" beside it: those come first.
  for (const c of palettes) {
    files.set(memoryPath(c.path), { file: c.file, kept: false });
    await ensureLoaded(core, memoryPath(c.path));
  }
  let lastPost = 0;
  let position = -1;
  for await (const c of arriving(total)) {
    if (mine !== generation) return;
    position++;
    const corePath = memoryPath(c.path);
    if (!files.has(corePath)) files.set(corePath, { file: c.file, kept: false });
    const plan = c.plan || core.plan(corePath, c.fromFolder);
    readAhead(core, position);
    if (plan.error) postFailure(c.path, plan.error);
    if (plan.units.length === 0) continue;
    if (!(await ensureLoaded(core, corePath))) {
      postFailure(c.path, core.lastError());
      continue;
    }
    if (mine !== generation) return;
    for (const unit of plan.units) {
      const picture = core.decode(corePath, unit.entry, c.fromFolder);
      const label = unit.entry < 0 ? c.path : `${c.path}[${unit.entry}]`;
      if (!picture.ok) {
        if (picture.message) postFailure(label, picture.message);
        continue;
      }
      const index = pictures.length;
      pictures.push({
        path: corePath,
        entry: unit.entry,
        zipBase: folderBelowTop(c.path, c.fromFolder) + unit.out,
        out: unit.out,
        fromFolder: c.fromFolder,
        label,
      });
      const small = thumbnailOf(picture, THUMBNAIL_SIZE);
      const thumb = await createImageBitmap(new ImageData(small.rgba, small.width, small.height));
      if (mine !== generation) return;
      outgoing.push({
        index, name: picture.name, title: unit.title || '', entry: unit.entry,
        width: picture.width, height: picture.height, bits: picture.bits, thumb,
      });
    }
    release(core, corePath);
    // The page gets the pictures in batches, and its other requests get in between them.
    if (performance.now() - lastPost > 30) {
      sendItems();
      lastPost = performance.now();
      await new Promise((resolve) => setTimeout(resolve, 0));
    }
  }
  if (mine !== generation) return;
  sendItems();
  postMessage({ op: 'opened', open: id, count: pictures.length });
}

async function view(index, request) {
  const core = await corePromise;
  const p = pictures[index];
  if (!p) return;
  if (!(await ensureLoaded(core, p.path))) {
    postMessage({ op: 'picture', request, index, ok: false, message: `${p.label}: ${core.lastError()}` });
    return;
  }
  const picture = core.decode(p.path, p.entry, p.fromFolder);
  release(core, p.path);
  if (!picture.ok) {
    postMessage({ op: 'picture', request, index, ok: false, message: picture.message });
    return;
  }
  const rgba = rgbaOf(picture);
  postMessage(
    {
      op: 'picture', request, index, ok: true, caption: picture.caption, name: picture.name,
      width: picture.width, height: picture.height, rgba,
    },
    [rgba.buffer],
  );
}

async function save(index, type, request) {
  const core = await corePromise;
  const p = pictures[index];
  if (!p) return;
  const name = p.out + core.extension(type);
  if (!(await ensureLoaded(core, p.path))) {
    postMessage({ op: 'file', request, ok: false, name, message: core.lastError() });
    return;
  }
  const written = core.write(p.path, p.entry, type);
  release(core, p.path);
  if (!written.ok) {
    postMessage({ op: 'file', request, ok: false, name, message: written.message });
    return;
  }
  postMessage({ op: 'file', request, ok: true, name, bytes: written.bytes }, [written.bytes.buffer]);
}

// Every picture in one type, as one ZIP of stored files (the picture files are compressed
// already), each named as qelvaconv -r -o names it.
async function zip(type, request) {
  const core = await corePromise;
  const ext = core.extension(type);
  const chunks = [];
  const failures = [];
  let finished;
  const done = new Promise((resolve, reject) => {
    finished = { resolve, reject };
  });
  const archive = new Zip((error, chunk, final) => {
    if (error) finished.reject(error);
    else {
      chunks.push(chunk);
      if (final) finished.resolve();
    }
  });
  core.beginRun();
  let lastPost = 0;
  const listed = pictures;
  for (let i = 0; i < listed.length; i++) {
    const p = listed[i];
    // A new choice while the ZIP is made ends it: its files are gone from memory.
    if (listed !== pictures) {
      postMessage({ op: 'zip', request, stopped: true });
      return;
    }
    const name = p.zipBase + ext;
    if (!(await ensureLoaded(core, p.path))) {
      failures.push({ label: p.label, message: core.lastError() });
    } else {
      const written = core.write(p.path, p.entry, type, name);
      if (written.ok) {
        const entry = new ZipPassThrough(name);
        entry.mtime = new Date(1980, 0, 1);
        archive.add(entry);
        entry.push(written.bytes, true);
      } else {
        failures.push({ label: p.label, message: written.message });
      }
      release(core, p.path);
    }
    if (performance.now() - lastPost > 100 || i === listed.length - 1) {
      lastPost = performance.now();
      postMessage({ op: 'progress', request, done: i + 1, total: listed.length });
    }
  }
  archive.end();
  await done;
  const blob = new Blob(chunks, { type: 'application/zip' });
  postMessage({ op: 'zip', request, name: TYPES[type] + '.zip', blob, failures });
}

onmessage = (event) => {
  const m = event.data;
  let work;
  if (m.op === 'open') work = open(m.open, m.total, m.palettes);
  else if (m.op === 'more') receive(m.open, m.files);
  else if (m.op === 'view') work = view(m.index, m.request);
  else if (m.op === 'save') work = save(m.index, m.type, m.request);
  else if (m.op === 'zip') work = zip(m.type, m.request);
  if (work) {
    work.catch((error) => postMessage({ op: 'error', request: m.request, message: String(error) }));
  }
};
