// Times the web page's core in headless Chromium against the native imagedb
// doing the same jobs in the same run: opening and listing a database of
// about 40 MB, composing and showing a 2048 x 1536 image, one preview update
// of the import controls for a 2048 x 1536 picture, and importing it at 16
// bits. Not part of `make test`; run after `make native web`:
//   node bench/web-speed.js [NATIVE_BUILD]   (default build/native)
'use strict';
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const root = path.resolve(__dirname, '..');
const { chromium } = require(path.join(root, 'web/node_modules/playwright-core'));

const native = path.resolve(root, process.argv[2] || 'build/native');
const imagedb = path.join(native, 'bin/imagedb');
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'ferrovel-speed-'));
const at = (name) => path.join(scratch, name);
const ROUNDS = 5;

// The best of ROUNDS runs of a command, in milliseconds.
function timeNative(...args) {
  let best = Infinity;
  for (let i = 0; i < ROUNDS; ++i) {
    const start = process.hrtime.bigint();
    execFileSync(imagedb, args, { stdio: 'ignore' });
    best = Math.min(best, Number(process.hrtime.bigint() - start) / 1e6);
  }
  return best;
}

// The same jobs through the page's core, in the page: the best of ROUNDS each.
async function timeBrowser(page, database, picture) {
  return page.evaluate(async ({ databaseBase64, pictureBase64, rounds }) => {
    const core = await FerrovelCore();
    const bytes = (base64) => Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
    const best = (job) => {
      let fastest = Infinity;
      for (let i = 0; i < rounds; ++i) {
        const start = performance.now();
        job();
        fastest = Math.min(fastest, performance.now() - start);
      }
      return fastest;
    };
    const databaseBytes = bytes(databaseBase64);
    const canvas = document.createElement('canvas');
    const show = () => {
      const width = core._fv_pixels_width(), height = core._fv_pixels_height();
      const data = new Uint8ClampedArray(core.HEAPU8.buffer, core._fv_pixels(), width * height * 4);
      canvas.width = width;
      canvas.height = height;
      canvas.getContext('2d').putImageData(new ImageData(data.slice(), width, height), 0, 0);
    };
    const figures = {};
    figures.openAndList = best(() => {
      core.FS.writeFile('/big.pdb', databaseBytes);
      JSON.parse(core.ccall('fv_list', 'string', ['string'], ['/big.pdb']));
    });
    figures.composeAndShow = best(() => {
      core.ccall('fv_compose', 'number', ['string', 'number'], ['/big.pdb', 0]);
      show();
    });
    const blob = new Blob([bytes(pictureBase64)]);
    const options = { colorSpaceConversion: 'none', premultiplyAlpha: 'none', imageOrientation: 'from-image' };
    let start = performance.now();
    const bitmap = await createImageBitmap(blob, options);
    const context = new OffscreenCanvas(bitmap.width, bitmap.height).getContext('2d');
    context.drawImage(bitmap, 0, 0);
    const rgba = context.getImageData(0, 0, bitmap.width, bitmap.height).data;
    const input = core._fv_picture_buffer(bitmap.width, bitmap.height); // may grow the memory
    core.HEAPU8.set(rgba, input);
    core._fv_take_picture(bitmap.width, bitmap.height);
    figures.decodePicture = performance.now() - start;
    figures.previewFitted = best(() => { core._fv_preview(320, 320, 320, 240, 16, 1, 10, 20); show(); });
    figures.previewOriginal = best(() => { core._fv_preview(320, 320, 2048, 1536, 16, 1, 10, 20); show(); });
    figures.importAt16Bits = best(() => {
      core.ccall('fv_create', 'number', ['string'], ['/new.pdb']);
      core.ccall('fv_import', 'number', Array(8).fill('number').fill('string', 0, 2),
        ['/new.pdb', 'large', 2048, 1536, 16, 0, 0, 0]);
    });
    figures.importWithDecode = figures.importAt16Bits + figures.decodePicture;
    return figures;
  }, { databaseBase64: database.toString('base64'), pictureBase64: picture.toString('base64'), rounds: ROUNDS });
}

(async () => {
  const picture = at('large.png'), database = at('big.pdb');
  execFileSync('/usr/bin/convert', ['-size', '2048x1536', '-seed', '3', 'plasma:fractal', picture]);
  execFileSync(imagedb, ['new', database]);
  for (let i = 0; i < 7; ++i) execFileSync(imagedb, ['import', '--format', '16', database, picture]);
  const nativeFigures = {
    openAndList: timeNative('list', database),
    composeAndShow: timeNative('export', '--index', '0', database, at('out.bmp')),
    importAt16Bits: (() => {
      let best = Infinity;
      for (let i = 0; i < ROUNDS; ++i) {
        execFileSync(imagedb, ['new', '--force', at('new.pdb')]);
        const start = process.hrtime.bigint();
        execFileSync(imagedb, ['import', '--format', '16', '--no-dither', at('new.pdb'), picture]);
        best = Math.min(best, Number(process.hrtime.bigint() - start) / 1e6);
      }
      return best;
    })(),
  };
  const browser = await chromium.launch({
    executablePath: '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  const page = await browser.newPage();
  await page.goto(`file://${path.join(root, 'build/web/index.html')}`);
  await page.waitForSelector('body[data-ready]');
  const browserFigures = await timeBrowser(page, fs.readFileSync(database), fs.readFileSync(picture));
  await browser.close();
  console.log(`database: ${(fs.statSync(database).size / 1e6).toFixed(1)} MB, 7 images of 2048 x 1536 at 16 bits`);
  console.log('job                          browser ms   native imagedb ms');
  for (const [job, ms] of Object.entries(browserFigures)) {
    const nativeMs = nativeFigures[job];
    console.log(`${job.padEnd(28)} ${ms.toFixed(1).padStart(10)}   ${nativeMs ? nativeMs.toFixed(1).padStart(10) : ''}`);
  }
  fs.rmSync(scratch, { recursive: true, force: true });
})();
