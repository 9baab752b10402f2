// The WebAssembly core as JavaScript calls: files in, plans, decoded pictures and written files
// out. Used by the page's worker, and by the binding tests under node (the page takes nextTask).

// The converter's eight types, in its order (the number the core takes is the index).
export const TYPES = ['bmp', 'rle', 'gif', 'gif-i', 'gif-t', 'gif-ti', 'png', 'png-t'];

// The made-up pictures each worker writes at start-up (see warmUp in worker.js), width x height:
// the browser optimises a function of the module once it has run a while. Tall, narrow ones
// run the writers' loop over the rows a great many times at little cost; the others their
// loops over the pixels.
export const WARM_TIER_SIZES = [...new Array(4).fill([8, 4096]), ...new Array(8).fill([256, 256])];

const decoder = new TextDecoder();

export class QelvaCore {
  constructor(module) {
    this.m = module;
  }

  static async create(createQelva, options = {}) {
    return new QelvaCore(await createQelva(options));
  }

  // The reply buffer as bytes (a view into the module's memory: copy before the next call).
  replyBytes() {
    const m = this.m;
    return m.HEAPU8.subarray(m._qv_reply_data(), m._qv_reply_data() + m._qv_reply_size());
  }

  replyJson() {
    return JSON.parse(decoder.decode(this.replyBytes()));
  }

  // Calls f with each text argument as a NUL-terminated UTF-8 copy in the module's memory.
  withTexts(texts, f) {
    const m = this.m;
    const pointers = texts.map((text) => {
      const n = m.lengthBytesUTF8(text) + 1;
      const p = m._qv_alloc(n);
      m.stringToUTF8(text, p, n);
      return p;
    });
    try {
      return f(...pointers);
    } finally {
      for (const p of pointers) m._qv_free(p);
    }
  }

  // Hands over a file's bytes (a Uint8Array or ArrayBuffer) as the file at path. Returns false
  // when the module has no memory left for it (lastError() then says so).
  putFile(path, bytes) {
    const m = this.m;
    const view = bytes instanceof Uint8Array ? bytes : new Uint8Array(bytes);
    const p = m._qv_alloc(view.length);
    if (!p) {
      this.error = this.outOfMemoryText();
      return false;
    }
    m.HEAPU8.set(view, p);
    const kept = this.withTexts([path], (pathPointer) => !!m._qv_put_file(pathPointer, p, view.length));
    if (!kept) this.error = this.replyJson().message;
    return kept;
  }

  outOfMemoryText() {
    return this.m.UTF8ToString(this.m._qv_out_of_memory_text());
  }

  lastError() {
    return this.error;
  }

  dropFile(path) {
    this.withTexts([path], (p) => this.m._qv_drop_file(p));
  }

  clearFiles() {
    this.m._qv_clear_files();
  }

  // {units: [{entry, title, out}], error}: what the converter makes of a file by its name.
  plan(path, fromFolder) {
    this.withTexts([path], (p) => this.m._qv_plan(p, fromFolder ? 1 : 0));
    return this.replyJson();
  }

  // {ok: true, width, height, bits, name, caption, palette: Uint8Array(1024) RGBA,
  // indices: Uint8Array(width * height), top row first} or {ok: false, message}.
  decode(path, entry, fromFolder) {
    const { result, bytes, end } = this.decodeHead(path, entry, fromFolder);
    if (end < 0) return result;
    result.palette = bytes.slice(end + 1, end + 1 + 1024);
    result.indices = bytes.slice(end + 1 + 1024);
    return result;
  }

  // Decodes a picture so that the core keeps it for writing, without taking its pixels out:
  // {ok, kept} (kept: whether the core holds it now) or {ok: false, message}.
  keepDecoded(path, entry) {
    return this.decodeHead(path, entry, true).result;
  }

  decodeHead(path, entry, fromFolder) {
    this.withTexts([path], (p) => this.m._qv_decode(p, entry, fromFolder ? 1 : 0));
    const bytes = this.replyBytes();
    const end = bytes.indexOf(0);
    return { result: JSON.parse(decoder.decode(end < 0 ? bytes : bytes.subarray(0, end))), bytes, end };
  }

  beginRun() {
    this.m._qv_begin_run();
  }

  // {ok: true, bytes} with the file the converter writes for the picture in type (an index into
  // TYPES), or {ok: false, message}. target names the file in a "Download all" run ('' for none).
  write(path, entry, type, target = '') {
    this.withTexts([path, target], (p, t) => this.m._qv_write(p, entry, type, t));
    const bytes = this.replyBytes();
    if (bytes.length > 0 && bytes[0] === 0) return JSON.parse(decoder.decode(bytes.subarray(1)));
    return { ok: true, bytes: bytes.slice() };
  }

  // The bytes of a made-up picture of width x height written in type, or null (see qv_warm_up):
  // runs the writers' code without touching the files handed over or a run's names.
  warmUp(type, width, height) {
    this.m._qv_warm_up(type, width, height);
    const bytes = this.replyBytes();
    return bytes.length > 0 ? bytes.slice() : null;
  }

  extension(type) {
    return this.m.UTF8ToString(this.m._qv_extension(type));
  }
}

// Lets the tasks waiting for a worker or the page in first (a MessageChannel's task, which the
// browser does not hold back as it may a chain of timeouts).
export function nextTask() {
  return new Promise((resolve) => {
    const channel = new MessageChannel();
    channel.port1.onmessage = () => {
      channel.port1.close();
      resolve();
    };
    channel.port2.postMessage(null);
  });
}

// Options for createQelva that instantiate an already compiled WebAssembly.Module, so that a
// second worker given the module by postMessage does not compile it again. failed(error) is
// called if it cannot be instantiated.
export function instantiatedFrom(module, failed) {
  return {
    instantiateWasm(imports, receive) {
      WebAssembly.instantiate(module, imports).then((instance) => receive(instance, module), failed);
      return {};
    },
  };
}

// RGBA pixels of a decoded picture, for an ImageData.
export function rgbaOf(picture) {
  const { indices, palette } = picture;
  const out = new Uint8ClampedArray(indices.length * 4);
  const pixels = new Uint32Array(out.buffer);
  const colours = new Uint32Array(palette.slice().buffer, 0, 256);
  for (let i = 0; i < indices.length; i++) pixels[i] = colours[indices[i]];
  return out;
}

// RGBA pixels of the picture shrunk (never enlarged) to fit a box of size x size, each pixel
// the nearest picture pixel. Returns {width, height, rgba}.
export function thumbnailOf(picture, size) {
  const { width, height, indices, palette } = picture;
  const scale = Math.min(1, size / Math.max(width, height, 1));
  const w = Math.max(1, Math.round(width * scale));
  const h = Math.max(1, Math.round(height * scale));
  const rgba = new Uint8ClampedArray(w * h * 4);
  if (width === 0 || height === 0) return { width: w, height: h, rgba };
  const pixels = new Uint32Array(rgba.buffer);
  const colours = new Uint32Array(palette.slice().buffer, 0, 256);
  for (let y = 0; y < h; y++) {
    const row = Math.min(height - 1, Math.floor((y * height) / h)) * width;
    for (let x = 0; x < w; x++) {
      pixels[y * w + x] = colours[indices[row + Math.min(width - 1, Math.floor((x * width) / w))]];
    }
  }
  return { width: w, height: h, rgba };
}
