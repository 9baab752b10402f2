// The page's worker: holds the WebAssembly core and the chosen files, and does every piece of
// decoding and writing, so that the page only draws and asks.
//
// Listing a choice: the page sends {op: 'open', open, total, palettes, zipType, aheadLimit} (its
// number for the choice, how many files, the "ending.bin" files among them, the Download all
// type chosen and how many pictures may be written ahead in it, null for no limit) and then the
// files, in the converter's order, in {op: 'more', open, files: [{file, path, fromFolder}]}
// batches; the worker answers with 'items' batches and 'failed' lines in that order, then
// 'opened', and {op: 'ahead', open, type, count, busy, ms} once it has written ahead what it
// will (count pictures, busy for busy ms over ms from its start); {op: 'type', type} says that
// the Download all type has changed. Before any choice, {op: 'warm', type, rounds, busy, ms} says
// that the start-up warm-up (see warmUp) is done. Later 'view', 'save' and 'zip' requests name
// pictures by their index and are answered by 'picture', 'file', 'progress' and 'zip' messages
// carrying the request's number. A "Download all" is shared with a second worker (zip-helper.js), started
// with this one, on a machine of more than one core.
import createQelva from './qelva.js';
import { QelvaCore, TYPES, WARM_TIER_SIZES, instantiatedFrom, nextTask, rgbaOf, thumbnailOf } from './core.js';
import { Zip, ZipPassThrough } from './fflate.js';

const THUMBNAIL_SIZE = 128;
// Files are kept in the core's memory up to this many bytes in all; past it a file is read again
// from the disk when it is needed again. A single file larger than the cap is never kept.
const KEEP_BYTES = 256 * 1024 * 1024;

// The module is compiled once, here, and the helper is given it.
async function compileCore() {
  const url = new URL('./qelva.wasm', import.meta.url);
  try {
    return await WebAssembly.compileStreaming(fetch(url));
  } catch {
    // A server that does not say application/wasm: compiled from the bytes instead.
    const response = await fetch(url);
    if (!response.ok) throw new Error(`${url.pathname}: ${response.status} ${response.statusText}`);
    return WebAssembly.compile(await response.arrayBuffer());
  }
}
const modulePromise = compileCore();
const corePromise = modulePromise.then(
  (module) => new Promise((resolve, reject) => {
    QelvaCore.create(createQelva, instantiatedFrom(module, reject)).then(resolve, reject);
  }),
);

let generation = 0;  // the open request being answered; a newer one stops an older one
let files = new Map();  // core path -> {file, kept}
let keptBytes = 0;
let pictures = [];  // index -> {path, entry, zipBase, out, fromFolder, label, pixels}
let chosenPalettes = [];  // the choice's "ending.bin" files: [{path (core path), file}]

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

async function open(id, total, palettes, zipType, limit) {
  aheadLimit = limit === null || limit === undefined ? Infinity : limit;
  aheadType = zipType;
  listing = true;
  const mine = ++generation;
  openId = id;
  outgoing = [];
  if (incoming.wake) incoming.wake();  // an older listing waiting for files stops now
  incoming = { id, files: [], wake: null };
  ahead = null;
  const core = await corePromise;
  core.clearFiles();
  files = new Map();
  keptBytes = 0;
  pictures = [];
  chosenPalettes = palettes.map((c) => ({ path: memoryPath(c.path), file: c.file }));
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
        pixels: picture.width * picture.height,
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
  listing = false;
  keepInHelper(id);
  writeAhead(aheadType);
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

// --- the helper of "Download all" ------------------------------------------------------------

let helper = null;  // the second worker, null when there is none (one core, or it failed)
let helperRun = 0;
let helperAnswer = null;  // takes the helper's messages for the run in progress

// The helper stops being used once it fails; the pictures it still had are written here.
function helperFailed() {
  if (helper) helper.terminate();
  helper = null;
  if (helperAnswer) helperAnswer({ op: 'failed' });
}

function startHelper() {
  if (typeof Worker === 'undefined' || (navigator.hardwareConcurrency || 1) < 2) return;
  try {
    helper = new Worker(new URL('./zip-helper.js', import.meta.url), { type: 'module' });
  } catch {
    return;
  }
  helper.onmessage = (event) => {
    if (event.data.op === 'failed') helperFailed();
    else if (helperAnswer) helperAnswer(event.data);
  };
  helper.onerror = helperFailed;
  modulePromise.then((module) => helper && helper.postMessage({ op: 'start', module, type: aheadType }), helperFailed);
}
startHelper();

// Once a choice is listed, the helper is given its files (handing a File over costs a moment, so
// it is done now rather than in a Download all) and reads them beforehand, then decodes the
// pictures: the later pictures' first, as those are the ones it writes.
function keepInHelper(id) {
  if (!helper) return;
  const paths = new Set(chosenPalettes.map((c) => c.path));
  for (let i = pictures.length - 1; i >= 0; i--) paths.add(pictures[i].path);
  const given = [...paths].map((path) => ({ path, file: files.get(path).file }));
  const later = pictures.map((p) => ({ path: p.path, entry: p.entry })).reverse();
  helper.postMessage({ op: 'keep', open: id, files: given, pictures: later });
}

// A "Download all" waits for its files to be written, and the first of a page also for the
// browser to optimise the code that writes them. So, while nobody waits (once a folder is listed,
// and when the type changes), this worker writes its pictures ahead in the chosen type, from the
// first on, as a Download all writes them (its core takes their names as the run goes), up to
// AHEAD_PIXELS pictures' pixels and AHEAD_BYTES of files, and keeps the files. A Download all of
// that type then writes only the pictures after them, going on with the same run, and keeps its
// files for the next one. Writing ahead costs what writing those pictures in a Download all
// costs, and lets the page's requests in every AHEAD_SLICE_MS: it stops there, keeping what it
// wrote, when the user has asked for anything (a view, a save, a Download all), and starts again
// for a new choice or type.
const AHEAD_PIXELS = 16 * 1024 * 1024;
const AHEAD_BYTES = 64 * 1024 * 1024;
const AHEAD_SLICE_MS = 4;
let requests = 0;  // requests from the page so far
// The files written ahead: {listed (the pictures they are of), type, results: the first pictures'
// {bytes} or {message}, bytes (their files' bytes)}, or null.
let ahead = null;
let aheadLimit = Infinity;  // at most this many pictures are written ahead
let aheadType = 2;  // the type the page has chosen for a Download all
let listing = false;  // a choice is being listed: nothing is written ahead before it is done

// Puts the first files written ahead (up to ZIP_WARM_BYTES) into a ZIP that is thrown away, so
// that fflate's code is optimised before a Download all: a few milliseconds.
const ZIP_WARM_BYTES = 1024 * 1024;

// One file stored as it is (the picture files are compressed already), dated as the ZIP format's
// earliest day, so that the same pictures always make the same ZIP.
function addStored(archive, name, bytes) {
  const entry = new ZipPassThrough(name);
  entry.mtime = new Date(1980, 0, 1);
  archive.add(entry);
  entry.push(bytes, true);
}

function warmZip(results) {
  const archive = new Zip(() => {});
  for (let i = 0, bytes = 0; i < results.length && bytes < ZIP_WARM_BYTES; i++) {
    if (!results[i].bytes) continue;
    addStored(archive, `${i}`, results[i].bytes);
    bytes += results[i].bytes.length;
  }
  archive.end();
}

// WARM_ZIP_ENTRIES pieces of a file, for a thrown-away ZIP: a ZIP of a folder has many small
// entries, and fflate's code for each entry is made ready too.
const WARM_ZIP_ENTRIES = 256;
const piecesOf = (bytes) => Array.from({ length: WARM_ZIP_ENTRIES }, (_, i) => ({
  bytes: bytes.subarray(0, ((i % 16) + 1) * 256),
}));

const zipNames = (listed, type, core) => listed.map((p) => p.zipBase + core.extension(type));

async function writeAhead(type) {
  aheadType = type;
  const asked = requests;
  const listed = pictures;
  if (!(type >= 0 && type < TYPES.length) || listed.length === 0 || zipping || listing) return;
  if (ahead && ahead.listed === listed && ahead.type === type) return;
  const mine = { listed, type, results: [], bytes: 0 };
  ahead = mine;
  await nextTask();
  const stopped = () => asked !== requests || listed !== pictures || ahead !== mine || zipping;
  if (stopped()) return;
  const core = await corePromise;
  const names = zipNames(listed, type, core);
  core.beginRun();
  let slice = performance.now();
  // What it cost, in milliseconds: the time this worker was busy with it, and from its start.
  const began = performance.now();
  let busy = 0;
  // Done, or as far as it goes: fflate's code is made ready too, and the page is told (an
  // interrupted one is not).
  const finished = () => {
    const t = performance.now();
    // Nothing written ahead (none may be): a made-up file's pieces instead.
    const made = mine.results.length ? null : core.warmUp(type, 256, 256);
    warmZip(made ? piecesOf(made) : mine.results);
    busy += performance.now() - t;
    const ms = performance.now() - began;
    postMessage({ op: 'ahead', open: openId, type, count: mine.results.length, busy, ms });
  };
  for (let i = 0, pixels = 0; i < listed.length; i++) {
    const p = listed[i];
    if (!files.get(p.path).kept || pixels >= AHEAD_PIXELS || mine.bytes >= AHEAD_BYTES || i >= aheadLimit) {
      return finished();
    }
    const t = performance.now();
    const written = core.write(p.path, p.entry, type, names[i]);
    busy += performance.now() - t;
    mine.results.push(written.ok ? { bytes: written.bytes } : { message: written.message });
    if (written.ok) mine.bytes += written.bytes.length;
    pixels += p.pixels;
    if (performance.now() - slice >= AHEAD_SLICE_MS) {
      await nextTask();
      if (stopped()) return;
      slice = performance.now();
    }
  }
  finished();
}

// Each picture counts as its pixels and this much more, for what a file costs whatever its size.
const PICTURE_COST = 4096;
// The helper's part of the work. Both workers write from pictures their cores hold decoded (this
// one's from the grid, the helper's decoded once the choice is listed), and this worker puts
// the ZIP together at the end: a little more than half, as measured on a two-core machine.
const HELPER_PART = 0.55;

// The pictures the helper writes: the later ones from `from` on (those before are written
// already), HELPER_PART of their work. A picture whose name an earlier picture of this worker's
// part (or one written already) has stays here: each worker's core refuses only the names it
// wrote itself, and the second of two pictures of one name must be refused.
function helperShare(listed, names, from) {
  const share = new Set();
  if (!helper || listed.length - from < 2) return share;
  const cost = (p) => p.pixels + PICTURE_COST;
  const total = listed.slice(from).reduce((sum, p) => sum + cost(p), 0);
  let split = from;
  for (let sum = 0; split < listed.length && sum < total * (1 - HELPER_PART); split++) {
    sum += cost(listed[split]);
  }
  const here = new Set(names.slice(0, split));
  for (let i = split; i < listed.length; i++) {
    if (!here.has(names[i])) share.add(i);
  }
  return share;
}

// Hands the share to the helper. Its files come into results[index] as {bytes} or {message},
// each counted; resolves with the indices it gave back (files it could not read, or all it had
// left if it failed), in order, for this worker to write.
function writeInHelper(type, listed, names, share, results, counted, spent, started) {
  if (share.size === 0) return Promise.resolve([]);
  const run = ++helperRun;
  const jobs = [...share].map((index) => {
    const p = listed[index];
    return { index, path: p.path, entry: p.entry, name: names[index] };
  });
  return new Promise((resolve) => {
    const waiting = new Set(share);
    const back = [];
    const finish = () => {
      helperAnswer = null;
      resolve([...back, ...waiting].sort((a, b) => a - b));
    };
    helperAnswer = (m) => {
      if (m.op === 'failed') return finish();
      if (m.run !== run || !waiting.has(m.index)) return;
      waiting.delete(m.index);
      spent.helperWrite += m.ms || 0;
      spent.helperDone = performance.now() - started;
      if (m.unread) back.push(m.index);
      else {
        results[m.index] = m.bytes ? { bytes: m.bytes } : { message: m.message };
        counted();
      }
      if (waiting.size === 0) finish();
    };
    const palettes = chosenPalettes.map((c) => c.path);
    helper.postMessage({ op: 'write', run, open: openId, type, palettes, jobs });
  });
}

// --- the warm-up while the page waits for a choice ------------------------------------------

// The browser first runs the module's functions and fflate's through quick, slow code and
// optimises each only once it has run a while; a Download all clicked as soon as a folder is
// listed would pay for that. So, as the page starts, this worker writes a made-up picture of
// the sizes of WARM_SIZES in the Download all type, one round per task, and puts pieces of the
// file into a thrown-away ZIP: together some tens of milliseconds of work. Any
// message from the page (a choice, a request) stops it at once; a change of type before anything
// is chosen starts it again in the new type. The page is told the rounds' times, the first and
// the last, which show whether the writer's code had become fast.
// The rounds' sizes (see WARM_TIER_SIZES), then two of a game background's size, which also make
// room in the module's memory for the largest files a folder usually has.
const WARM_SIZES = [...WARM_TIER_SIZES, [640, 480], [640, 480]];
let messages = 0;  // messages from the page so far

async function warmUp(type) {
  const asked = messages;
  const core = await corePromise;
  const began = performance.now();
  let busy = 0;
  const rounds = [];
  let bytes = null;
  for (const [width, height] of WARM_SIZES) {
    await nextTask();
    if (asked !== messages) return;
    const t = performance.now();
    bytes = core.warmUp(type, width, height);
    rounds.push(performance.now() - t);
    busy += performance.now() - t;
    if (!bytes) return;
  }
  await nextTask();
  if (asked !== messages) return;
  const t = performance.now();
  warmZip(piecesOf(bytes));
  busy += performance.now() - t;
  postMessage({ op: 'warm', type, rounds, busy, ms: performance.now() - began });
}
warmUp(aheadType);

// Every picture in one type, as one ZIP of stored files (the picture files are compressed
// already), each named as qelvaconv -r -o names it, in the order of the list. The pictures
// written ahead in the type are not written again: the run goes on after them, the helper
// writing the later part of the rest meanwhile. The files are kept for the next one.
let zipping = 0;  // Download all runs in progress: nothing is written ahead meanwhile

async function zip(type, request) {
  zipping++;
  try {
    await zipRun(type, request);
  } finally {
    zipping--;
  }
}

async function zipRun(type, request) {
  // Where the time goes, in milliseconds, for anyone measuring the page: this worker's and the
  // helper's writing (each file's call into the core), when each had its last file, fflate's
  // part and the Blob's; and how many files had been written ahead.
  const started = performance.now();
  const spent = { ahead: 0, write: 0, helperWrite: 0, ownDone: 0, helperDone: 0, zip: 0, blob: 0 };
  const core = await corePromise;
  const listed = pictures;
  const names = zipNames(listed, type, core);
  const results = new Array(listed.length);  // {bytes} or {message}
  let from = 0;  // the first picture not written yet
  if (ahead && ahead.listed === listed && ahead.type === type) {
    from = ahead.results.length;
    for (let i = 0; i < from; i++) results[i] = ahead.results[i];
  }
  if (from === 0) {
    ahead = null;
    core.beginRun();
  }
  spent.ahead = from;
  let done = from;
  // The page shows the bar at nought from the click: the first step is told 100 ms on, as
  // every page update costs the browser a frame on the cores that write the files.
  let lastPost = started;
  let whileWaiting = null;  // puts the helper's files into the ZIP as they come
  const counted = () => {
    if (whileWaiting) whileWaiting();
    done++;
    if (performance.now() - lastPost > 100 || done === listed.length) {
      lastPost = performance.now();
      postMessage({ op: 'progress', request, done, total: listed.length });
    }
  };
  const share = helperShare(listed, names, from);
  const givenBack = writeInHelper(type, listed, names, share, results, counted, spent, started);
  const writeHere = async (i) => {
    const p = listed[i];
    if (!(await ensureLoaded(core, p.path))) {
      results[i] = { message: core.lastError() };
    } else {
      const tw = performance.now();
      const written = core.write(p.path, p.entry, type, names[i]);
      spent.write += performance.now() - tw;
      results[i] = written.ok ? { bytes: written.bytes } : { message: written.message };
      release(core, p.path);
    }
    counted();
  };
  // A new choice while the ZIP is made ends it: its files are gone from memory.
  const stopped = () => listed !== pictures;
  for (let i = from; i < listed.length && !stopped(); i++) {
    if (!share.has(i)) await writeHere(i);
  }
  if (stopped()) {
    postMessage({ op: 'zip', request, stopped: true });
    return;
  }
  spent.ownDone = performance.now() - started;
  const chunks = [];
  const failures = [];
  let finished;
  const zipped = new Promise((resolve, reject) => {
    finished = { resolve, reject };
  });
  const archive = new Zip((error, chunk, final) => {
    if (error) finished.reject(error);
    else {
      chunks.push(chunk);
      if (final) finished.resolve();
    }
  });
  // The files go into the ZIP in the list's order as soon as each and those before it are there.
  let next = 0;
  const addReady = () => {
    for (; next < listed.length && results[next]; next++) {
      const result = results[next];
      if (!result.bytes) {
        failures.push({ label: listed[next].label, message: result.message });
        continue;
      }
      addStored(archive, names[next], result.bytes);
    }
  };
  let tz = performance.now();
  addReady();  // this worker's part, while the helper finishes its own
  spent.zip += performance.now() - tz;
  whileWaiting = () => {
    const t = performance.now();
    addReady();
    spent.zip += performance.now() - t;
  };
  const back = await givenBack;
  whileWaiting = null;
  for (const i of back) {
    if (stopped()) break;
    await writeHere(i);
  }
  if (stopped()) {
    postMessage({ op: 'zip', request, stopped: true });
    return;
  }
  tz = performance.now();
  addReady();
  archive.end();
  await zipped;
  spent.zip += performance.now() - tz;
  tz = performance.now();
  // One part: the Blob is made from a single copy rather than from hundreds of small pieces.
  const whole = new Uint8Array(chunks.reduce((sum, c) => sum + c.length, 0));
  for (let i = 0, at = 0; i < chunks.length; at += chunks[i].length, i++) whole.set(chunks[i], at);
  const blob = new Blob([whole], { type: 'application/zip' });
  spent.blob = performance.now() - tz;
  const helped = share.size - back.length;
  // Kept for the next Download all of the type, within the bounds of the files written ahead.
  const bytes = results.reduce((sum, r) => sum + (r.bytes ? r.bytes.length : 0), 0);
  ahead = bytes <= AHEAD_BYTES ? { listed, type, results, bytes } : null;
  postMessage({ op: 'zip', request, name: TYPES[type] + '.zip', blob, failures, helped, spent });
}

onmessage = (event) => {
  const m = event.data;
  messages++;
  if (m.request) requests++;
  let work;
  if (m.op === 'open') work = open(m.open, m.total, m.palettes, m.zipType, m.aheadLimit);
  else if (m.op === 'type') {
    if (pictures.length === 0 && !listing) warmUp(m.type);
    else writeAhead(m.type);
  }
  else if (m.op === 'more') receive(m.open, m.files);
  else if (m.op === 'view') work = view(m.index, m.request);
  else if (m.op === 'save') work = save(m.index, m.type, m.request);
  else if (m.op === 'zip') work = zip(m.type, m.request);
  if (work) {
    work.catch((error) => postMessage({ op: 'error', request: m.request, message: String(error) }));
  }
};
