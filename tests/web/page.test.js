// The web page in headless Chromium against the native imagedb: what the page
// shows, imports, exports and edits must be what imagedb gives for the same
// database and choices. Run by `make test-web` after the native build.
'use strict';
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const http = require('node:http');
const os = require('node:os');
const path = require('node:path');
const root = path.resolve(__dirname, '../..');
const { chromium } = require(path.join(root, 'web/node_modules/playwright-core'));
const fflate = require(path.join(root, 'web/node_modules/fflate'));

const NATIVE = path.resolve(root, process.env.FERROVEL_NATIVE || 'build/native');
const IMAGEDB = path.join(NATIVE, 'bin/imagedb');
const DEMO = path.join(NATIVE, 'demo/demo.pdb');
const PAGE = path.resolve(root, process.env.FERROVEL_WEB || 'build/web', 'index.html');
const SCREENSHOT = path.join(root, 'docs/web-page.png');
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'ferrovel-web-'));
let browser;

const imagedb = (...args) => execFileSync(IMAGEDB, args, { encoding: 'utf8' });
const magick = (...args) => execFileSync('/usr/bin/convert', args);
const inScratch = (name) => path.join(scratch, name);
const demoCopy = (name) => (fs.copyFileSync(DEMO, inScratch(name)), inScratch(name));

before(async () => {
  browser = await chromium.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
});
after(async () => {
  await browser?.close();
  fs.rmSync(scratch, { recursive: true, force: true });
});

async function openPage(viewport = { width: 1100, height: 760 }, address = `file://${PAGE}`) {
  const page = await browser.newPage({ acceptDownloads: true, viewport });
  page.on('pageerror', (error) => assert.fail(`page error: ${error.message}`));
  page.on('dialog', (dialog) => dialog.accept());
  await page.goto(address);
  await page.waitForSelector('body[data-ready]');
  return page;
}

async function downloaded(page, action) {
  const [download] = await Promise.all([page.waitForEvent('download'), action()]);
  return { name: download.suggestedFilename(), bytes: fs.readFileSync(await download.path()) };
}

const savedDatabase = async (page) => (await downloaded(page, () => page.click('#save'))).bytes;

// RGBA of a picture file as the page's own decoding options give it.
function decodeInPage(page, bytes) {
  return page.evaluate(async (base64) => {
    const blob = new Blob([Uint8Array.from(atob(base64), (c) => c.charCodeAt(0))]);
    const bitmap = await createImageBitmap(blob, { colorSpaceConversion: 'none',
      premultiplyAlpha: 'none', imageOrientation: 'from-image' });
    const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
    canvas.getContext('2d').drawImage(bitmap, 0, 0);
    const data = canvas.getContext('2d').getImageData(0, 0, bitmap.width, bitmap.height).data;
    return { width: bitmap.width, height: bitmap.height, rgba: Array.from(data) };
  }, Buffer.from(bytes).toString('base64'));
}

// RGB rows of the top-left width x height of a 24-bit bitmap file.
function bmpRgb(bytes, width, height) {
  const stride = (bytes.readInt32LE(18) * 3 + 3) & ~3, rows = bytes.readInt32LE(22);
  const rgb = [];
  for (let y = 0; y < height; ++y) {
    const row = 54 + (rows - 1 - y) * stride;
    for (let x = 0; x < width; ++x) rgb.push(bytes[row + x * 3 + 2], bytes[row + x * 3 + 1], bytes[row + x * 3]);
  }
  return rgb;
}
const rgbOf = (rgba) => rgba.filter((_, i) => i % 4 !== 3);

// A 24-bit bitmap of RGBA pixels, for imagedb to import what the browser decoded.
function bmpOf({ width, height, rgba }) {
  const stride = (width * 3 + 3) & ~3;
  const bytes = Buffer.alloc(54 + stride * height);
  bytes.write('BM');
  bytes.writeUInt32LE(bytes.length, 2);
  [54, 40, width, height].forEach((v, i) => bytes.writeInt32LE(v, 10 + i * 4));
  bytes.writeUInt16LE(1, 26);
  bytes.writeUInt16LE(24, 28);
  for (let y = 0; y < height; ++y) {
    for (let x = 0; x < width; ++x) {
      const at = 54 + (height - 1 - y) * stride + x * 3, from = (y * width + x) * 4;
      [bytes[at], bytes[at + 1], bytes[at + 2]] = [rgba[from + 2], rgba[from + 1], rgba[from]];
    }
  }
  return bytes;
}

test('the demo database: list, details and preview pixels as imagedb exports them', async () => {
  const page = await openPage();
  assert.deepEqual(await page.evaluate(() => ['Module', 'run', 'out', 'callMain', 'FS'].filter((n) => n in window)), [],
    'the core leaks no global names into the page');
  await page.setInputFiles('#db-file', DEMO);
  const listed = JSON.parse(imagedb('list', '--json', DEMO));
  await page.waitForSelector(`#images li:nth-child(${listed.length})`);
  const rows = await page.$$eval('#images li', (items) => items.map((li) => li.textContent));
  assert.equal(rows.length, listed.length);
  const size = fs.statSync(DEMO).size;
  assert.match(await page.textContent('#db-details'), new RegExp(`File Size: ${size} bytes`));
  for (const image of listed) {
    const i = image.index;
    assert.ok(rows[i].startsWith(image.name), rows[i]);
    assert.ok(rows[i].includes(`${image.width} x ${image.height}, ${image.bits}-bit, ` +
      `${image.layers} layer`) && rows[i].includes(`${image.bytes} bytes`), rows[i]);
    await page.click(`#image-${i}`);
    assert.match(await page.textContent('#image-details'),
      new RegExp(`Image Size: ${image.width} x ${image.height} x ${image.layers}`));
    const shown = await page.$eval('#preview', (canvas) => ({ width: canvas.width, height: canvas.height,
      rgba: Array.from(canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data) }));
    assert.deepEqual([shown.width, shown.height], [image.width, image.height]);
    imagedb('export', '--index', String(i), DEMO, inScratch('native.bmp'));
    const native = bmpRgb(fs.readFileSync(inScratch('native.bmp')), image.width, image.height);
    assert.deepEqual(rgbOf(shown.rgba), native, `pixels of image ${i}`);
    // The row's thumbnail: the image fitted into 40 x 40, nearest neighbour.
    await page.waitForFunction((row) => document.querySelector(`#image-${row} canvas`)
      .getContext('2d').getImageData(0, 0, 1, 1).data[3] === 255, i);
    const wide = image.width >= image.height;
    const [fitWidth, fitHeight] = wide ? [40, Math.trunc(40 * image.height / image.width)]
      : [Math.trunc(40 * image.width / image.height), 40];
    const thumb = await page.$eval(`#image-${i} canvas`, (canvas, [w, h]) =>
      Array.from(canvas.getContext('2d').getImageData(0, 0, w, h).data), [fitWidth, fitHeight]);
    const fitted = [];
    for (let y = 0; y < fitHeight; ++y) {
      for (let x = 0; x < fitWidth; ++x) {
        const from = (Math.trunc(y * image.height / fitHeight) * image.width + Math.trunc(x * image.width / fitWidth)) * 3;
        fitted.push(...native.slice(from, from + 3));
      }
    }
    assert.deepEqual(rgbOf(thumb), fitted, `thumbnail of image ${i}`);
  }
  await page.click(`#image-${listed.findIndex((image) => image.layers > 1) ?? 0}`);
  fs.mkdirSync(path.dirname(SCREENSHOT), { recursive: true });
  await page.screenshot({ path: SCREENSHOT });
  await page.close();
});

test('imports through the dialog store the bytes imagedb import stores', async () => {
  const png = inScratch('Sunrise.png'), jpeg = inScratch('Turned.jpg');
  // A picture with soft transparency, and a photograph turned by its EXIF orientation.
  magick('-size', '300x200', 'gradient:#ff8000-#0040c0', '(', '-size', '300x200', 'gradient:white-#00000040',
    ')', '-alpha', 'off', '-compose', 'CopyOpacity', '-composite', `PNG32:${png}`);
  magick('-size', '240x180', 'plasma:fractal', '-seed', '7', '-quality', '90', jpeg);
  const exif = Buffer.from('ffe10022457869660000' + '4d4d002a00000008' + '0001' +
    '011200030000000100060000' + '00000000', 'hex'); // orientation 6: turned a quarter clockwise
  const plain = fs.readFileSync(jpeg);
  fs.writeFileSync(jpeg, Buffer.concat([plain.subarray(0, 2), exif, plain.subarray(2)]));
  const page = await openPage();
  await page.setInputFiles('#db-file', DEMO);
  await page.setInputFiles('#picture-files', png);
  await page.waitForSelector('#import-dialog[open]');
  assert.equal(await page.inputValue('#import-name'), 'Sunrise');
  assert.deepEqual([await page.inputValue('#import-width'), await page.inputValue('#import-height')], ['304', '200']);
  await page.fill('#import-name', 'Sunrise à l’aube');
  await page.selectOption('#import-format', '8');
  await page.selectOption('#import-size', '2');
  assert.deepEqual([await page.inputValue('#import-width'), await page.inputValue('#import-height')], ['320', '210']);
  await page.uncheck('#import-dither');
  await page.fill('#import-contrast', '30');
  await page.fill('#import-brightness', '-20');
  await page.click('#import-one');
  await page.waitForFunction(() => !document.getElementById('import-dialog').open);

  const expected = demoCopy('expected.pdb');
  imagedb('import', '--name', 'Sunrise à l’aube', '--format', '8', '--size', '320x320', '--no-dither',
    '--contrast', '30', '--brightness', '-20', expected, png);
  assert.ok((await savedDatabase(page)).equals(fs.readFileSync(expected)), 'PNG import bytes');

  // The JPEG as the browser decodes it, upright, imported by imagedb as a bitmap.
  const decoded = await decodeInPage(page, fs.readFileSync(jpeg));
  assert.deepEqual([decoded.width, decoded.height], [180, 240]);
  fs.writeFileSync(inScratch('decoded.bmp'), bmpOf(decoded));
  await page.setInputFiles('#picture-files', jpeg);
  await page.waitForSelector('#import-dialog[open]');
  assert.equal(await page.isChecked('#import-dither'), false); // kept from the last import
  await page.selectOption('#import-format', '16');
  await page.fill('#import-width', '100');
  assert.equal(await page.inputValue('#import-size'), '5');
  assert.equal(await page.inputValue('#import-height'), String(Math.trunc(100 * 240 / 192)));
  await page.fill('#import-contrast', '-45');
  await page.click('#import-one');
  await page.waitForFunction(() => !document.getElementById('import-dialog').open);
  imagedb('import', '--name', 'Turned', '--format', '16', '--size', '100x125', '--no-dither', '--contrast', '-45', expected,
    inScratch('decoded.bmp'));
  assert.ok((await savedDatabase(page)).equals(fs.readFileSync(expected)), 'JPEG import bytes');

  // Two pictures dropped at once: the dialog for the first, Import All for both.
  const second = inScratch('Second.png');
  magick('-size', '200x150', 'gradient:yellow-navy', `PNG24:${second}`);
  await drop(page, [['Sunrise.png', fs.readFileSync(png)], ['Second.png', fs.readFileSync(second)]]);
  await page.waitForSelector('#import-dialog[open]');
  assert.equal(await page.inputValue('#import-name'), 'Sunrise.png');
  await page.selectOption('#import-size', '1');
  await page.click('#import-all');
  await page.waitForSelector('#image-9');
  for (const file of [png, second]) {
    imagedb('import', '--name', path.basename(file), '--format', '16', '--size', '160x160', '--no-dither',
      expected, file);
  }
  assert.ok((await savedDatabase(page)).equals(fs.readFileSync(expected)), 'Import All bytes');
  await page.close();
});

test('exports, delete, rename and move give what imagedb gives', async () => {
  const page = await openPage();
  await page.setInputFiles('#db-file', DEMO);
  await page.waitForSelector('#image-0');
  const zip = await downloaded(page, () => page.click('#export-all'));
  assert.equal(zip.name, 'demo.zip');
  const files = Object.entries(fflate.unzipSync(zip.bytes));
  imagedb('export', '--all', 'numbered', '--format', 'png', DEMO, inScratch('native.png'));
  const listed = JSON.parse(imagedb('list', '--json', DEMO));
  assert.equal(files.length, listed.length);
  for (const image of listed) {
    const [name, bytes] = files[image.index];
    assert.equal(name, `${image.name}.png`);
    const native = fs.readFileSync(inScratch(`native${String(image.index).padStart(3, '0')}.png`));
    assert.deepEqual(await decodeInPage(page, bytes), await decodeInPage(page, native), name);
  }
  await page.click('#image-4');
  await page.selectOption('#export-format', 'bmp');
  const bmp = await downloaded(page, () => page.click('#export'));
  imagedb('export', '--index', '4', DEMO, inScratch('four.bmp'));
  assert.ok(bmp.bytes.equals(fs.readFileSync(inScratch('four.bmp'))), 'BMP export bytes');

  const expected = demoCopy('edited.pdb');
  await page.click('#delete');
  imagedb('delete', expected, '4');
  await page.click('#image-1');
  await page.fill('#name', 'Grays, renamed');
  await page.press('#name', 'Enter');
  imagedb('rename', expected, '1', 'Grays, renamed');
  await page.focus('#images');
  await page.keyboard.press('Alt+ArrowDown');
  imagedb('move', expected, '1', '2');
  assert.equal(await page.getAttribute('#image-2', 'aria-selected'), 'true');
  assert.ok((await savedDatabase(page)).equals(fs.readFileSync(expected)), 'edited database bytes');
  await page.close();
});

// Files the page meets dropped on it: cut-short databases and pictures no
// browser decodes. Each gets a message and leaves the open database as it was.
function hostileFiles() {
  const demo = fs.readFileSync(DEMO);
  const png = Buffer.from(execFileSync('/usr/bin/convert', ['-size', '64x48', 'xc:#336699', 'PNG:-']));
  const jpeg = Buffer.from(execFileSync('/usr/bin/convert', ['-size', '64x48', 'plasma:', 'JPEG:-']));
  const files = [100, 200, 300, 900, demo.length >> 1, demo.length - 200, demo.length - 40]
    .map((cut) => [`cut-${cut}.pdb`, demo.subarray(0, cut)]);
  const counted = Buffer.from(demo.subarray(0, 300));
  counted.writeUInt16BE(0x7fff, 76); // more records than the file holds
  files.push(['counted.pdb', counted], ['empty.pdb', Buffer.alloc(0)], ['short.pdb', demo.subarray(0, 67)]);
  files.push(['cut.png', png.subarray(0, png.length >> 1)], ['header.png', png.subarray(0, 33)],
    ['cut.jpg', jpeg.subarray(0, 300)], ['noise.jpg', Buffer.from(Array.from({ length: 4096 }, (_, i) => (i * 7919) & 255))],
    ['depth.bmp', Buffer.concat([Buffer.from('BM'), Buffer.alloc(60, 0x20)])],
    ['gif.gif', Buffer.from('GIF89a\x10\x00\x10\x00')], ['text.png', Buffer.from('not a picture\n')],
    ['zeros.webp', Buffer.alloc(1000)], ['riff.webp', Buffer.from('RIFF\x10\x00\x00\x00WEBPVP8 ')],
    ['huge.png', Buffer.concat([png.subarray(0, 16), Buffer.from([0, 0x7f, 0xff, 0xff, 0, 0x7f, 0xff, 0xff])])]);
  return files;
}

// A real drop event on the page, its files in a DataTransfer.
async function drop(page, files) {
  await page.evaluate((named) => {
    const transfer = new DataTransfer();
    for (const [name, base64] of named)
      transfer.items.add(new File([Uint8Array.from(atob(base64), (c) => c.charCodeAt(0))], name));
    document.querySelector('main').dispatchEvent(new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true }));
  }, files.map(([name, bytes]) => [name, Buffer.from(bytes).toString('base64')]));
}

test('a dropped database opens; 20 hostile files are refused in words and change nothing', async () => {
  // Served by a static host this time, at a phone's width.
  const server = http.createServer((request, response) => response.end(fs.readFileSync(PAGE)));
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const page = await openPage({ width: 390, height: 800 }, `http://127.0.0.1:${server.address().port}/`);
  server.close();
  await drop(page, [['demo.pdb', fs.readFileSync(DEMO)]]);
  await page.waitForSelector('#image-5');
  assert.equal(await page.textContent('#db-title'), 'demo.pdb');
  const files = hostileFiles();
  assert.equal(files.length, 20);
  for (const [name, bytes] of files) {
    await page.evaluate(() => { document.getElementById('message').textContent = ''; });
    await drop(page, [[name, bytes]]);
    await page.waitForFunction(() => document.getElementById('message').textContent !== '');
    const message = await page.textContent('#message');
    assert.ok(message.startsWith(name), `${name}: ${message}`);
    assert.equal(await page.textContent('#db-title'), 'demo.pdb', name);
  }
  // A size no memory holds: the core's refusal, not an abort of the module.
  await drop(page, [['big.png', execFileSync('/usr/bin/convert', ['-size', '400x300', 'plasma:', 'PNG:-'])]]);
  await page.waitForSelector('#import-dialog[open]');
  await page.uncheck('#import-keep');
  await page.fill('#import-width', '32000');
  await page.fill('#import-height', '32000');
  await page.click('#import-one');
  await page.waitForFunction(() => document.getElementById('message').textContent.startsWith('big.png: '));
  await page.click('#image-1');
  assert.ok((await savedDatabase(page)).equals(fs.readFileSync(DEMO)), 'the database is unchanged');
  await page.close();
});
