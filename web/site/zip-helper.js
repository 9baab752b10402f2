// The second worker of a "Download all": the page's worker hands it the later part of the
// pictures, it writes them on the other core with its own copy of the core (the module compiled
// once, by the page's worker) and sends each file back, in order, as {op: 'written', run, index,
// bytes, ms} or {op: 'written', run, index, message, ms} (ms: the core's time for it). A picture
// whose file it cannot read (or was not given) comes back as {op: 'written', run, index, unread:
// true}: the page's worker, which holds the files, writes it itself.
//
// Once a choice is listed, the page's worker sends {op: 'keep', open, files: [{path, file}],
// pictures: [{path, entry}]}: the files a "Download all" of that choice names by path, and its
// pictures in the order the helper is likely to write them. The helper reads the files into its
// core beforehand (up to KEEP_BYTES), then decodes the pictures, which its core keeps (up to the
// core's own bound) and writes from as the page's worker writes from those it decoded for the
// grid: a "Download all" waits neither for the files nor for their decoding.
import createQelva from './qelva.js';
import { QelvaCore, WARM_TIER_SIZES, instantiatedFrom, nextTask } from './core.js';

const KEEP_BYTES = 64 * 1024 * 1024;

// The core, once the 'start' message has given the module (messages before it wait for it).
let started;
const corePromise = new Promise((resolve) => {
  started = resolve;
});
let keptOpen;  // the choice whose files are kept
let kept = new Set();  // core paths held in the core for it
let given = new Map();  // core path -> File, every file of it
let latest = 0;  // the newest message's number; an older piece of work stops

const readBytes = async (file) => new Uint8Array(await file.arrayBuffer());

async function keep(m) {
  const mine = ++latest;
  const core = await corePromise;
  core.clearFiles();
  keptOpen = m.open;
  kept = new Set();
  given = new Map(m.files.map((c) => [c.path, c.file]));
  let bytes = 0;
  for (const c of m.files) {
    if (bytes + c.file.size > KEEP_BYTES) continue;
    let read;
    try {
      read = await readBytes(c.file);
    } catch {
      continue;  // read again, or given back, when it is needed
    }
    if (mine !== latest) return;
    if (!core.putFile(c.path, read)) continue;
    kept.add(c.path);
    bytes += read.length;
  }
  for (const p of m.pictures) {
    if (!kept.has(p.path)) continue;
    await nextTask();  // a Download all asked for meanwhile goes first
    if (mine !== latest) return;
    const decoded = core.keepDecoded(p.path, p.entry);
    if (decoded.ok && !decoded.kept) return;  // the core keeps no more
  }
}

async function write(m) {
  const mine = ++latest;
  const core = await corePromise;
  if (m.open !== keptOpen) {
    // Not this choice's files: every picture goes back.
    for (const job of m.jobs) postMessage({ op: 'written', run: m.run, index: job.index, unread: true });
    return;
  }
  // Files not kept are asked for at once: reading is a round trip to the browser each.
  const reads = new Map();  // core path -> the file's bytes being read
  for (const path of [...m.palettes, ...m.jobs.map((job) => job.path)]) {
    if (kept.has(path) || reads.has(path) || !given.has(path)) continue;
    const reading = readBytes(given.get(path));
    reading.catch(() => {});  // a failure is answered when the file's turn comes
    reads.set(path, reading);
  }
  const load = async (path) => {
    if (kept.has(path)) return true;
    if (!reads.has(path)) return false;
    try {
      return core.putFile(path, await reads.get(path));
    } catch {
      return false;
    }
  };
  for (const path of m.palettes) {
    if ((await load(path)) && !kept.has(path)) kept.add(path);  // kept for the next runs too
  }
  core.beginRun();
  let loaded = null;
  for (const job of m.jobs) {
    if (mine !== latest) break;
    if (job.path !== loaded) {
      // Besides the kept files, one file at a time is held: the jobs come file by file.
      if (loaded !== null && !kept.has(loaded)) core.dropFile(loaded);
      loaded = (await load(job.path)) ? job.path : null;
      if (mine !== latest) break;
    }
    if (loaded === null) {
      postMessage({ op: 'written', run: m.run, index: job.index, unread: true });
      continue;
    }
    const tw = performance.now();
    const written = core.write(job.path, job.entry, m.type, job.name);
    const ms = performance.now() - tw;
    if (written.ok) {
      const { bytes } = written;
      postMessage({ op: 'written', run: m.run, index: job.index, bytes, ms }, [bytes.buffer]);
    } else {
      postMessage({ op: 'written', run: m.run, index: job.index, message: written.message, ms });
    }
  }
  if (loaded !== null && !kept.has(loaded)) core.dropFile(loaded);
}

// As the page's worker does while the page waits for a choice (see warmUp there): writes of a
// made-up picture in the Download all type, one a task, stopped by a write.
async function warmUp(type) {
  const mine = latest;
  const core = await corePromise;
  for (const [width, height] of WARM_TIER_SIZES) {
    await nextTask();
    if (mine !== latest || !core.warmUp(type, width, height)) return;
  }
}

onmessage = (event) => {
  const m = event.data;
  let work;
  if (m.op === 'start') {
    const failed = (error) => postMessage({ op: 'failed', message: String(error) });
    started(QelvaCore.create(createQelva, instantiatedFrom(m.module, failed)));
    work = warmUp(m.type);
  } else if (m.op === 'keep') work = keep(m);
  else if (m.op === 'write') work = write(m);
  if (work) work.catch((error) => postMessage({ op: 'failed', message: String(error) }));
};
