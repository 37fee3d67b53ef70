// The web page in headless Chromium against the native imagedb: what the page
// shows, imports, exports and edits must be what imagedb gives for the same
// database and choices. Run by `make test-web` after the native build.
'use strict';
const { test, after } = require('node:test');
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
const DEMO = path.join(NATIVE, 'demo/demo.pdb');
const PAGE = path.resolve(root, process.env.FERROVEL_WEB || 'build/web', 'index.html');
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'ferrovel-web-'));
let browser;

const imagedb = (...args) => execFileSync(path.join(NATIVE, 'bin/imagedb'), args, { encoding: 'utf8' });
const magick = (args, input) => execFileSync('/usr/bin/convert', args, { input });
const inScratch = (name) => path.join(scratch, name);
const demoCopy = (name) => (fs.copyFileSync(DEMO, inScratch(name)), inScratch(name));
const listed = JSON.parse(imagedb('list', '--json', DEMO));

after(async () => {
  await browser?.close();
  fs.rmSync(scratch, { recursive: true, force: true });
});

async function openPage({ viewport = { width: 1100, height: 760 }, address = `file://${PAGE}`, database } = {}) {
  // Beside Playwright's own switches (no sandbox, no first run, no background traffic).
  browser ??= await chromium.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    args: ['--disable-gpu', '--disable-quic'] });
  const page = await browser.newPage({ acceptDownloads: true, viewport });
  page.on('pageerror', (error) => assert.fail(`page error: ${error.message}`));
  page.on('dialog', (dialog) => dialog.accept());
  await page.goto(address);
  await page.waitForSelector('body[data-ready]');
  if (database) {
    await page.setInputFiles('#db-file', database);
    await page.waitForSelector(`#image-${listed.length - 1}`);
  }
  return page;
}

async function downloaded(page, action) {
  const [download] = await Promise.all([page.waitForEvent('download'), action()]);
  return { name: download.suggestedFilename(), bytes: fs.readFileSync(await download.path()) };
}

const assertSaved = async (page, file, what) =>
  assert.ok((await downloaded(page, () => page.click('#save'))).bytes.equals(fs.readFileSync(file)), what);

// RGBA of a picture file as the page's own decoding options give it.
const decodeInPage = (page, bytes) => page.evaluate(async (base64) => {
  const blob = new Blob([Uint8Array.from(atob(base64), (c) => c.charCodeAt(0))]);
  const bitmap = await createImageBitmap(blob, { colorSpaceConversion: 'none',
    premultiplyAlpha: 'none', imageOrientation: 'from-image' });
  const { width, height } = bitmap, context = new OffscreenCanvas(width, height).getContext('2d');
  context.drawImage(bitmap, 0, 0);
  return { width, height, rgba: Array.from(context.getImageData(0, 0, width, height).data) };
}, Buffer.from(bytes).toString('base64'));

// RGBA of the top-left width x height of a canvas on the page, all of it by default.
const canvasPixels = (page, selector, size) => page.$eval(selector, (canvas, size) => {
  const { width, height } = size ?? canvas;
  return { width, height, rgba: Array.from(canvas.getContext('2d').getImageData(0, 0, width, height).data) };
}, size);

// A list row's thumbnail: the image fitted into 40 x 40, nearest neighbour.
function thumbnailOf({ width, height, rgba }) {
  const longest = Math.max(width, height);
  const fit = { width: Math.trunc(40 * width / longest), height: Math.trunc(40 * height / longest) };
  fit.rgba = Array.from({ length: fit.width * fit.height }, (_, at) => {
    const [x, y] = [at % fit.width, Math.trunc(at / fit.width)];
    const from = (Math.trunc(y * height / fit.height) * width + Math.trunc(x * width / fit.width)) * 4;
    return rgba.slice(from, from + 4);
  }).flat();
  return fit;
}

test('the demo database: list, details, preview and zip export pixels as imagedb exports them', async () => {
  const page = await openPage({ database: DEMO });
  assert.deepEqual(await page.evaluate(() => ['Module', 'run', 'out', 'callMain', 'FS'].filter((n) => n in window)), [],
    'the core leaks no global names into the page');
  const rows = await page.$$eval('#images li', (items) => items.map((li) => li.textContent.replace(' layers,', ' layer,')));
  assert.deepEqual(rows, listed.map((image) => `${image.name}${image.width} x ${image.height}, ${image.bits}-bit, ` +
    `${image.layers} layer, ${image.bytes} bytes`));
  assert.match(await page.textContent('#db-details'), new RegExp(`File Size: ${fs.statSync(DEMO).size} bytes`));
  imagedb('export', '--all', 'numbered', '--format', 'png', DEMO, inScratch('native.png'));
  const native = await Promise.all(listed.map((image) =>
    decodeInPage(page, fs.readFileSync(inScratch(`native${String(image.index).padStart(3, '0')}.png`)))));
  const zip = await downloaded(page, () => page.click('#export-all'));
  assert.equal(zip.name, 'demo.zip');
  const files = Object.entries(fflate.unzipSync(zip.bytes));
  assert.deepEqual(files.map(([name]) => name), listed.map((image) => `${image.name}.png`));
  for (const [i, [name, bytes]] of files.entries()) assert.deepEqual(await decodeInPage(page, bytes), native[i], name);
  for (const { index: i, width, height, layers } of listed) {
    await page.click(`#image-${i}`);
    assert.match(await page.textContent('#image-details'), new RegExp(`Image Size: ${width} x ${height} x ${layers}`));
    assert.deepEqual(await canvasPixels(page, '#preview'), native[i], `pixels of image ${i}`);
    await page.waitForFunction((row) => document.querySelector(`#image-${row} canvas`)
      .getContext('2d').getImageData(0, 0, 1, 1).data[3] === 255, i);
    const thumbnail = thumbnailOf(native[i]);
    assert.deepEqual(await canvasPixels(page, `#image-${i} canvas`, thumbnail), thumbnail, `thumbnail of image ${i}`);
  }
  await page.click(`#image-${listed.findIndex((image) => image.layers > 1)}`);
  await page.screenshot({ path: path.join(root, 'docs/web-page.png') });
});

// Sets the Import Image dialog's controls, in the order given, and closes it with the button.
async function importWith(page, controls, button = '#import-one') {
  await page.waitForSelector('#import-dialog[open]');
  for (const [control, value] of Object.entries(controls)) {
    const input = page.locator(`#import-${control}`);
    if (typeof value === 'boolean') await input.setChecked(value);
    else if (await input.evaluate((element) => element.tagName === 'SELECT')) await input.selectOption(value);
    else await input.fill(value);
  }
  await page.click(button);
  await page.waitForFunction(() => !document.getElementById('import-dialog').open);
}

// A real drop event on the page, its files in a DataTransfer.
const drop = (page, files) => page.evaluate((named) => {
  const transfer = new DataTransfer();
  for (const [name, base64] of named)
    transfer.items.add(new File([Uint8Array.from(atob(base64), (c) => c.charCodeAt(0))], name));
  document.querySelector('main').dispatchEvent(new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true }));
}, files.map(([name, bytes]) => [name, Buffer.from(bytes).toString('base64')]));

test('imports through the dialog store the bytes imagedb import stores', async () => {
  const png = inScratch('Sunrise.png'), jpeg = inScratch('Turned à l’aube.jpg'), second = inScratch('Second.png');
  // A picture with soft transparency, and a photograph turned a quarter clockwise by its EXIF orientation (6).
  magick(['-size', '300x200', 'gradient:#ff8000-#0040c0', '(', '-size', '300x200', 'gradient:white-#00000040',
    ')', '-alpha', 'off', '-compose', 'CopyOpacity', '-composite', `PNG32:${png}`]);
  magick(['-size', '200x150', 'gradient:yellow-navy', `PNG24:${second}`]);
  const plain = magick(['-size', '240x180', 'plasma:fractal', '-seed', '7', '-quality', '90', 'JPEG:-']);
  const exif = Buffer.from('ffe10022457869660000' + '4d4d002a000000080001' + '01120003000000010006000000000000', 'hex');
  fs.writeFileSync(jpeg, Buffer.concat([plain.subarray(0, 2), exif, plain.subarray(2)]));
  const page = await openPage({ database: DEMO });
  const expected = demoCopy('expected.pdb');

  // Two pictures dropped at once, each named by its file: the dialog for the first, Import All for both.
  await drop(page, [png, second].map((file) => [path.basename(file), fs.readFileSync(file)]));
  await importWith(page, { format: '8', size: '2', dither: false, contrast: '30', brightness: '-20' }, '#import-all');
  await page.waitForSelector(`#image-${listed.length + 1}`);
  for (const file of [png, second])
    imagedb('import', '--name', path.basename(file), '--format', '8', '--size', '320x320', '--no-dither',
      '--contrast', '30', '--brightness', '-20', expected, file);
  await assertSaved(page, expected, 'PNG import bytes');

  // The JPEG as the browser decodes it, upright, imported by imagedb as a bitmap; the dialog
  // names it by its file without the extension and keeps the last import's choice of no dithering.
  const decoded = await decodeInPage(page, fs.readFileSync(jpeg));
  assert.deepEqual([decoded.width, decoded.height], [180, 240]);
  magick(['-size', '180x240', '-depth', '8', 'rgba:-', '-alpha', 'off', `BMP3:${inScratch('decoded.bmp')}`],
    Buffer.from(decoded.rgba));
  await page.setInputFiles('#picture-files', jpeg);
  await importWith(page, { format: '16', width: '100', contrast: '-45' });
  imagedb('import', '--name', 'Turned à l’aube', '--format', '16', '--size', '100x125', '--no-dither', '--contrast', '-45',
    expected, inScratch('decoded.bmp'));
  await assertSaved(page, expected, 'JPEG import bytes');
});

test('a bitmap export, delete, rename and move give what imagedb gives', async () => {
  const page = await openPage({ database: DEMO });
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
  await assertSaved(page, expected, 'edited database bytes');
});

// Files the page meets dropped on it: cut-short databases and pictures no browser decodes,
// and one whose import dialog asks for a size no memory holds.
function hostileFiles() {
  const demo = fs.readFileSync(DEMO), latin1 = (text) => Buffer.from(text, 'latin1');
  const png = magick(['-size', '64x48', 'xc:#336699', 'PNG:-']), jpeg = magick(['-size', '64x48', 'plasma:', 'JPEG:-']);
  return [...[0, 67, 100, 200, 300, 900, demo.length >> 1, demo.length - 200, demo.length - 40]
    .map((cut) => [`cut-${cut}.pdb`, demo.subarray(0, cut)]),
  // A record count of 32767, more records than the file holds.
  ['counted.pdb', Buffer.concat([demo.subarray(0, 76), latin1('\x7f\xff'), demo.subarray(78, 300)])],
  ['cut.png', png.subarray(0, png.length >> 1)], ['header.png', png.subarray(0, 33)], ['cut.jpg', jpeg.subarray(0, 300)],
  ['huge.png', Buffer.concat([png.subarray(0, 16), latin1('\0\x7f\xff\xff\0\x7f\xff\xff')])],
  ['noise.jpg', Buffer.from(Array.from({ length: 4096 }, (_, i) => (i * 7919) & 255))], ['depth.bmp', latin1(`BM${' '.repeat(60)}`)],
  ['gif.gif', latin1('GIF89a\x10\0\x10\0')], ['text.png', latin1('not a picture\n')], ['zeros.webp', Buffer.alloc(1000)],
  ['riff.webp', latin1('RIFF\x10\0\0\0WEBPVP8 ')],
  ['big.png', magick(['-size', '400x300', 'plasma:', 'PNG:-']), { keep: false, width: '32000', height: '32000' }]];
}

test('a dropped database opens; hostile files are refused in words and change nothing', async () => {
  // Served by a static host this time, at a phone's width.
  const server = http.createServer((request, response) => response.end(fs.readFileSync(PAGE)));
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const page = await openPage({ viewport: { width: 390, height: 800 }, address: `http://127.0.0.1:${server.address().port}/` });
  server.close();
  await drop(page, [['demo.pdb', fs.readFileSync(DEMO)]]);
  await page.waitForSelector(`#image-${listed.length - 1}`);
  assert.equal(await page.textContent('#db-title'), 'demo.pdb');
  for (const [name, bytes, importChoices] of hostileFiles()) {
    await page.evaluate(() => { document.getElementById('message').textContent = ''; });
    await drop(page, [[name, bytes]]);
    if (importChoices) await importWith(page, importChoices);
    const message = await (await page.waitForFunction(() => document.getElementById('message').textContent)).jsonValue();
    assert.ok(message.startsWith(name), `${name}: ${message}`);
  }
  await page.click('#image-1');
  await assertSaved(page, DEMO, 'the database is unchanged');
});
