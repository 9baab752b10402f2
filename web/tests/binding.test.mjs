// The binding layer under node: the built module and core.js, against the native converter's
// files in WORK_DIR (see run.sh).  usage: QELVA_SITE=SITE_DIR QELVA_WORK=WORK_DIR node --test binding.test.mjs
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';

const site = process.env.QELVA_SITE;
const work = process.env.QELVA_WORK;
const { default: createQelva } = await import(path.join(site, 'qelva.js'));
const { QelvaCore, TYPES, thumbnailOf } = await import(path.join(site, 'core.js'));
const { compareFolderOrder, sortInFolderOrder } = await import(path.join(site, 'order.js'));
const { languageOf } = await import(path.join(site, 'texts.js'));

const core = await QelvaCore.create(createQelva, { wasmBinary: fs.readFileSync(path.join(site, 'qelva.wasm')) });
const samples = path.join(work, 'samples');

// The sample folder's files, as the page hands them over: "/in/samples/<name>".
function putFolder(folder, prefix) {
  for (const name of fs.readdirSync(folder)) {
    const full = path.join(folder, name);
    if (fs.statSync(full).isFile()) assert.ok(core.putFile(`${prefix}/${name}`, fs.readFileSync(full)));
  }
}

// The indices of an uncompressed 8-bit bitmap, top row first.
function bitmapIndices(bytes) {
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const offset = view.getUint32(10, true);
  const width = view.getInt32(18, true);
  const height = view.getInt32(22, true);
  const stride = (width + 3) & ~3;
  const out = new Uint8Array(width * height);
  for (let y = 0; y < height; y++) {
    out.set(bytes.subarray(offset + (height - 1 - y) * stride, offset + (height - 1 - y) * stride + width), y * width);
  }
  return { width, height, indices: out };
}

test('every sample picture, written in every type, is the converter\'s file under its name', () => {
  core.clearFiles();
  putFolder(samples, '/in/samples');
  let compared = 0;
  for (const name of fs.readdirSync(samples).sort()) {
    const plan = core.plan(`/in/samples/${name}`, true);
    for (const unit of plan.units) {
      const decoded = core.decode(`/in/samples/${name}`, unit.entry, true);
      if (!decoded.ok && !decoded.message) continue;  // passed over, as ending.bin
      for (let type = 0; type < TYPES.length; type++) {
        const expectedFile = path.join(work, 'expected', TYPES[type], unit.out + core.extension(type));
        const written = core.write(`/in/samples/${name}`, unit.entry, type);
        assert.ok(written.ok, `${name}[${unit.entry}]: ${written.message}`);
        assert.deepEqual(Buffer.from(written.bytes), fs.readFileSync(expectedFile), expectedFile);
        compared++;
      }
    }
  }
  assert.equal(compared, fs.readdirSync(path.join(work, 'expected', 'bmp')).filter((n) => n.endsWith('.bmp')).length * TYPES.length);
});

test('decoded indices are the bitmap\'s rows top first, and the palette its colour table', () => {
  core.clearFiles();
  putFolder(samples, '/in/samples');
  for (const [name, entry, bmp] of [['Kabe01.bin', -1, 'Kabe01.bmp'], ['omall.dat', 3, 'omall-3.bmp'],
    ['ge_spr.bin', 2, 'ge_spr-2.bmp'], ['Bg04.bin', -1, 'Bg04.bmp']]) {
    const picture = core.decode(`/in/samples/${name}`, entry, true);
    const bytes = fs.readFileSync(path.join(work, 'expected', 'bmp', bmp));
    const expected = bitmapIndices(bytes);
    assert.equal(picture.width, expected.width);
    assert.equal(picture.height, expected.height);
    assert.deepEqual(picture.indices, expected.indices, name);
    for (let i = 0; i < 256; i++) {
      const at = 54 + 4 * i;
      assert.deepEqual([...picture.palette.subarray(4 * i, 4 * i + 4)],
        [bytes[at + 2], bytes[at + 1], bytes[at], 255], `${name} colour ${i}`);
    }
  }
});

test('files are found only where they were handed over, and forgotten when dropped', () => {
  core.clearFiles();
  const sprites = fs.readFileSync(path.join(samples, 'ge_spr.bin'));
  assert.ok(core.putFile('/in/a/ge_spr.bin', sprites));
  // No ending.bin beside the sprite archive: the converter's message.
  assert.deepEqual(core.decode('/in/a/ge_spr.bin', 1, true), { ok: false, message: 'ﾌｧｲﾙが見つかりません' });
  assert.ok(core.putFile('/in/b/ending.bin', fs.readFileSync(path.join(samples, 'ending.bin'))));
  assert.equal(core.decode('/in/a/ge_spr.bin', 1, true).ok, false, 'ending.bin of another folder');
  assert.ok(core.putFile('/in/a/ending.bin', fs.readFileSync(path.join(samples, 'ending.bin'))));
  assert.equal(core.decode('/in/a/ge_spr.bin', 1, true).caption, 'QelvaView ge_spr.bin[1] (280x224x8)');
  core.dropFile('/in/a/ending.bin');
  assert.equal(core.decode('/in/a/ge_spr.bin', 1, true).message, 'ﾌｧｲﾙが見つかりません');
  // A file larger than the module's memory is refused with the out-of-memory message, and the
  // core goes on working.
  const huge = Object.create(Uint8Array.prototype, { length: { value: 3e9 } });
  assert.equal(core.putFile('/in/a/huge.bin', huge), false);
  assert.equal(core.lastError(), 'ﾒﾓﾘが足りません');
  assert.equal(core.decode('/in/a/huge.bin', -1, true).message, 'ﾌｧｲﾙが見つかりません');
  // A file handed over again replaces the earlier bytes.
  assert.ok(core.putFile('/in/a/ge_spr.bin', new Uint8Array(3)));
  assert.equal(core.decode('/in/a/ge_spr.bin', -1, true).ok, false);
});

test('plans: names the converter passes over, refuses or splits into entries', () => {
  assert.deepEqual(core.plan('/in/f/readme.txt', true), { units: [], error: '' });
  assert.deepEqual(core.plan('/in/readme.txt', false), { units: [{ entry: -1, out: 'readme' }], error: '' });
  assert.deepEqual(core.plan('/in/xx_cg.bin', false), { units: [], error: 'ゲームの画像ﾌｧｲﾙではありません' });
  assert.deepEqual(core.plan('/in/f/xx_cg.bin', true), { units: [], error: '' });
  const omall = core.plan('/in/f/omall.dat', true).units;
  assert.equal(omall.length, 13);
  assert.deepEqual(omall[3], { entry: 3, title: 'カンナ', out: 'omall-3' });
  // Names with quotes, backslashes and control characters reach the page intact.
  const odd = 'a"b\\c\u0001d é.bin';
  assert.deepEqual(core.plan(`/in/${odd}`, false).units, [{ entry: -1, out: odd.slice(0, -4) }]);
  // A folder's file that decodes to nothing is passed over; a named one gets the message.
  core.clearFiles();
  assert.ok(core.putFile('/in/none.bin', new Uint8Array(10)));
  assert.equal(core.decode('/in/readme.txt', -1, false).message, 'ファイル名が違います');
});

test('refusals and a run\'s taken output names leave the core working', () => {
  core.clearFiles();
  putFolder(samples, '/in/s');
  assert.equal(core.decode('/in/s/omall.dat', 13, true).ok, false);
  assert.equal(core.write('/in/s/omall.dat', 99, 2).ok, false);
  assert.equal(core.write('/in/s/Kabe01.bin', -1, 8).ok, false);
  core.beginRun();
  assert.equal(core.write('/in/s/Kabe01.bin', -1, 2, 'Kabe01.gif').ok, true);
  assert.deepEqual(core.write('/in/s/Kabe01.bin', -1, 2, 'Kabe01.gif'),
    { ok: false, message: '出力ﾌｧｲﾙ Kabe01.gif はこの変換で既に書き出されています' });
  core.beginRun();
  assert.equal(core.write('/in/s/Kabe01.bin', -1, 2, 'Kabe01.gif').ok, true);
  assert.equal(core.decode('/in/s/Kabe01.bin', -1, true).caption, 'QelvaView Kabe01.bin (320x224x8)');
});

test('the folder order is the converter\'s: files by bytes first, then subfolders', () => {
  const paths = ['s/b/x.bin', 's/Z.bin', 's/a.bin', 's/a/y.bin', 's/é.bin', 's/z.bin', 's/B/w.bin'];
  const expected = ['s/Z.bin', 's/a.bin', 's/z.bin', 's/é.bin', 's/B/w.bin', 's/a/y.bin', 's/b/x.bin'];
  assert.deepEqual(sortInFolderOrder(paths.map((p) => ({ p })), (o) => o.p).map((o) => o.p), expected);
  assert.deepEqual([...paths].sort(compareFolderOrder), expected);
  // Bytes, not UTF-16 units: U+FF61 (EF BD A1) sorts before U+1F600 (F0 9F 98 80).
  assert.deepEqual(['\u{1F600}.bin', '\uFF61.bin'].sort(compareFolderOrder), ['\uFF61.bin', '\u{1F600}.bin']);
});

test('thumbnails keep the aspect, never enlarge, and sample real pixels', () => {
  const picture = { width: 4, height: 2, indices: Uint8Array.of(0, 1, 2, 3, 4, 5, 6, 7), palette: new Uint8Array(1024) };
  for (let i = 0; i < 8; i++) picture.palette.set([i * 10, 0, 0, 255], 4 * i);
  const same = thumbnailOf(picture, 128);
  assert.deepEqual([same.width, same.height], [4, 2]);
  assert.deepEqual([...same.rgba.subarray(4 * 5, 4 * 6)], [50, 0, 0, 255]);
  const half = thumbnailOf(picture, 2);
  assert.deepEqual([half.width, half.height], [2, 1]);
  assert.deepEqual([...half.rgba], [0, 0, 0, 255, 20, 0, 0, 255]);
  const empty = thumbnailOf({ ...picture, width: 0, height: 0, indices: new Uint8Array(0) }, 128);
  assert.equal(empty.rgba.every((v) => v === 0), true);
});

test('the page speaks the first of the browser\'s languages it has, else English', () => {
  assert.equal(languageOf(['ja-JP', 'en-US']), 'ja');
  assert.equal(languageOf(['en-GB', 'ja']), 'en');
  assert.equal(languageOf(['fr-FR', 'ja']), 'ja');
  assert.equal(languageOf(['de', 'java']), 'en');
  assert.equal(languageOf([]), 'en');
});

test('pictures kept as decoded for the grid are written as the converter writes them, and forgotten with their files', () => {
  core.clearFiles();
  putFolder(samples, '/in/k');
  const expected = (type, name) => fs.readFileSync(path.join(work, 'expected', TYPES[type], name));
  // Decoded (as the helper does it, without taking the pixels out), then written from what was
  // kept; a file handed over again is decoded afresh.
  assert.equal(core.keepDecoded('/in/k/Item01.bin', -1).kept, true);
  assert.deepEqual(Buffer.from(core.write('/in/k/Item01.bin', -1, 2).bytes), expected(2, 'Item01.gif'));
  assert.ok(core.putFile('/in/k/Item01.bin', fs.readFileSync(path.join(samples, 'ITEM02.BIN'))));
  assert.deepEqual(Buffer.from(core.write('/in/k/Item01.bin', -1, 6).bytes), expected(6, 'ITEM02.png'));
  core.dropFile('/in/k/Item01.bin');
  assert.equal(core.write('/in/k/Item01.bin', -1, 2).ok, false);
  // A sprite's palette comes from ending.bin: new palettes there are used at once.
  assert.equal(core.decode('/in/k/ge_spr.bin', 1, true).kept, true);
  const ending = new Uint8Array(fs.readFileSync(path.join(samples, 'ending.bin')));
  for (let i = 0; i < ending.length; i++) ending[i] ^= 0x5A;
  assert.ok(core.putFile('/in/k/ending.bin', ending));
  const recoloured = core.write('/in/k/ge_spr.bin', 1, 0).bytes;
  assert.notDeepEqual(Buffer.from(recoloured), expected(0, 'ge_spr-1.bmp'));
  assert.deepEqual([...core.decode('/in/k/ge_spr.bin', 1, true).palette.subarray(0, 16)],
    [...recoloured.subarray(54, 70)].flatMap((v, i, a) => (i % 4 === 0 ? [a[i + 2], a[i + 1], a[i], 255] : [])));
  // Past the cap, pictures are decoded again each time and still written as the converter's.
  core.clearFiles();
  const big = fs.readFileSync(path.join(samples, 'BG01.BIN'));
  let kept = 0;
  for (let i = 0; i < 400; i++) {
    assert.ok(core.putFile(`/in/m/${i}/BG01.BIN`, big));
    const picture = core.decode(`/in/m/${i}/BG01.BIN`, -1, true);
    if (!picture.kept) {
      assert.deepEqual(Buffer.from(core.write(`/in/m/${i}/BG01.BIN`, -1, 2).bytes), expected(2, 'BG01.gif'));
      break;
    }
    kept++;
  }
  assert.ok(kept > 10 && kept < 400, `${kept} kept`);
  assert.deepEqual(Buffer.from(core.write('/in/m/0/BG01.BIN', -1, 2).bytes), expected(2, 'BG01.gif'));
});

test('the warm-up writes a made-up picture in every type and leaves the files and the run alone', () => {
  core.clearFiles();
  putFolder(samples, '/in/w');
  core.beginRun();
  assert.equal(core.write('/in/w/Kabe01.bin', -1, 2, 'Kabe01.gif').ok, true);
  for (let type = 0; type < TYPES.length; type++) {
    const bytes = core.warmUp(type, 300, 200);
    const head = Buffer.from(bytes.subarray(0, 8)).toString('latin1');
    if (type < 2) {
      assert.equal(head.slice(0, 2), 'BM', TYPES[type]);
      assert.deepEqual([bytes[18] | (bytes[19] << 8), bytes[22] | (bytes[23] << 8)], [300, 200], TYPES[type]);
    } else if (type < 6) {
      assert.match(head.slice(0, 6), /^GIF8[79]a$/, TYPES[type]);
      assert.deepEqual([bytes[6] | (bytes[7] << 8), bytes[8] | (bytes[9] << 8)], [300, 200], TYPES[type]);
    } else {
      assert.equal(head, '\x89PNG\r\n\x1a\n', TYPES[type]);
    }
  }
  // The same made-up picture every time, and nothing for what cannot be made.
  assert.deepEqual(core.warmUp(2, 640, 480), core.warmUp(2, 640, 480));
  for (const [type, width, height] of [[8, 10, 10], [-1, 10, 10], [2, 0, 10], [2, 10, -1], [2, 5000, 10]]) {
    assert.equal(core.warmUp(type, width, height), null, `${type} ${width}x${height}`);
  }
  // The run still has its name, and the files are the converter's.
  assert.equal(core.write('/in/w/Kabe01.bin', -1, 2, 'Kabe01.gif').ok, false);
  assert.deepEqual(Buffer.from(core.write('/in/w/omall.dat', 3, 6).bytes),
    fs.readFileSync(path.join(work, 'expected', 'png', 'omall-3.png')));
});
