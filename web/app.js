// The page: it keeps the open database as a file of the core's in-memory
// file system and does every read and change through the core's C API, so
// that the bytes are those of the desktop program and imagedb. Pictures are
// decoded by the browser and handed to the core as RGBA.
'use strict';
(function () {
  const $ = (id) => document.getElementById(id);
  const THUMB = 40;
  const PREVIEW = 320; // the import preview's inner box
  const FOLDER = '/db';
  let core = null;
  let db = null; // { path, fileName, listing }
  let selected = -1;
  let thumbRun = 0;
  let unsaved = false; // the open database was changed since it was opened or saved

  // ---- the core --------------------------------------------------------
  const call = (name, ret, types, args) => core.ccall(name, ret, types, args);

  function pixelResult() {
    const width = core._fv_pixels_width(), height = core._fv_pixels_height();
    const start = core._fv_pixels();
    const data = new Uint8ClampedArray(core.HEAPU8.buffer, start, width * height * 4).slice();
    return width > 0 && height > 0 ? new ImageData(data, width, height) : null;
  }

  function readListing(path) {
    const json = call('fv_list', 'string', ['string'], [path]);
    return json ? JSON.parse(json) : null;
  }

  // ---- messages and downloads ------------------------------------------
  function tell(text, kind) {
    const box = $('message');
    box.textContent = text;
    box.className = kind === 'info' ? 'info' : '';
  }

  function download(bytes, fileName, type) {
    const url = URL.createObjectURL(new Blob([bytes], { type }));
    const link = document.createElement('a');
    link.href = url;
    link.download = fileName;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 60000);
  }

  // ---- opening, creating, saving ---------------------------------------
  const safeFileName = (name) => name.replace(/[\/\0]/g, '_') || 'Images.pdb';

  function isDatabase(bytes) {
    return bytes.length >= 68 && String.fromCharCode(...bytes.subarray(64, 68)) === 'Qvrl';
  }

  // Shows the database in bytes, when they are one that is whole; the
  // database open before stays when they are not.
  function openDatabaseBytes(bytes, fileName) {
    if (!isDatabase(bytes)) {
      tell(`${fileName} is not a valid Brushwick image database; it was not opened.` +
        (db ? ' The database shown was kept.' : ''));
      return false;
    }
    const candidate = `${FOLDER}/opening`;
    core.FS.writeFile(candidate, bytes);
    const listing = readListing(candidate);
    if (listing && !listing.problem && !mayReplace(fileName)) {
      core.FS.unlink(candidate);
      return false;
    }
    if (!listing || listing.problem) {
      core.FS.unlink(candidate);
      tell(`${fileName} ${listing ? listing.problem : 'is not a valid Brushwick image database'}; ` +
        `it was not opened.${db ? ' The database shown was kept.' : ''}`);
      return false;
    }
    replaceDatabase(fileName);
    core.FS.rename(candidate, db.path);
    tell('');
    showDatabase(0);
    return true;
  }

  // The database file's name inside the file system is the user's, since a
  // new database is named after it.
  function replaceDatabase(fileName) {
    if (db) core.FS.unlink(db.path);
    unsaved = false;
    db = { path: `${FOLDER}/open/${safeFileName(fileName)}`, fileName, listing: null };
  }

  function createDatabase(fileName) {
    if (!/\.pdb$/i.test(fileName)) fileName += '.pdb';
    const path = `${FOLDER}/new/${safeFileName(fileName)}`;
    if (!mayReplace(fileName)) return;
    if (call('fv_create', 'number', ['string'], [path]) !== 0) {
      tell(`${fileName} could not be created.`);
      return;
    }
    replaceDatabase(fileName);
    core.FS.rename(path, db.path);
    tell(`Created the empty database ${fileName}. Import pictures into it, then save it.`, 'info');
    showDatabase(-1);
  }

  function saveDatabase() {
    download(core.FS.readFile(db.path), db.fileName, 'application/octet-stream');
    unsaved = false;
  }

  // Changes live in this page until they are saved: another database
  // replaces them only when the user says so.
  const mayReplace = (next) => !unsaved || confirm(`The changes to ${db.fileName} have not been ` +
    `saved ("Save database" downloads it). Open ${next} all the same and lose them?`);

  // ---- the list and the preview ----------------------------------------
  function showDatabase(select) {
    db.listing = readListing(db.path);
    const images = db.listing.images;
    $('db-title').textContent = db.fileName;
    $('db-details').textContent = db.listing.details.replace(/\r/g, '');
    $('drop-hint').hidden = true;
    for (const id of ['import', 'save']) $(id).disabled = false;
    $('export-all').disabled = images.length === 0;
    const list = $('images');
    list.replaceChildren(...images.map((image, index) => {
      const row = document.createElement('li');
      row.setAttribute('role', 'option');
      row.id = `image-${index}`;
      row.dataset.index = index;
      const thumb = document.createElement('canvas');
      thumb.width = THUMB;
      thumb.height = THUMB;
      const text = document.createElement('div');
      text.textContent = image.name || '(no name)';
      const small = document.createElement('small');
      small.textContent = `${image.width} x ${image.height}, ${image.bits}-bit, ` +
        `${image.layers} layer${image.layers === 1 ? '' : 's'}, ${image.bytes} bytes`;
      text.append(small);
      row.append(thumb, text);
      return row;
    }));
    selectImage(Math.min(select, images.length - 1));
    drawThumbnails();
  }

  // Thumbnails one at a time between other work, so a large database lists at once.
  function drawThumbnails() {
    const run = ++thumbRun;
    const rows = [...$('images').children];
    const next = (i) => {
      if (run !== thumbRun || i >= rows.length) return;
      if (call('fv_thumbnail', 'number', ['string', 'number', 'number'], [db.path, i, THUMB]) === 0) {
        const image = pixelResult();
        if (image) rows[i].firstChild.getContext('2d').putImageData(image, 0, 0);
      }
      setTimeout(() => next(i + 1), 0);
    };
    setTimeout(() => next(0), 0);
  }

  function selectImage(index) {
    selected = index;
    const image = index >= 0 ? db.listing.images[index] : null;
    for (const row of $('images').children)
      row.setAttribute('aria-selected', String(Number(row.dataset.index) === index));
    if (image) {
      $('images').setAttribute('aria-activedescendant', `image-${index}`);
      $(`image-${index}`).scrollIntoView({ block: 'nearest' });
    }
    for (const id of ['name', 'rename', 'delete', 'export']) $(id).disabled = !image;
    $('up').disabled = !image || index === 0;
    $('down').disabled = !image || index === db.listing.images.length - 1;
    $('image-title').textContent = image ? image.name || '(no name)' : 'No image selected';
    $('image-details').textContent = image ? image.details.replace(/\r/g, '') : '';
    $('name').value = image ? image.name : '';
    const canvas = $('preview');
    if (!image) {
      canvas.width = canvas.height = 0;
      return;
    }
    const status = call('fv_compose', 'number', ['string', 'number'], [db.path, index]);
    const pixels = status === 0 ? pixelResult() : null;
    if (!pixels) {
      canvas.width = canvas.height = 0;
      tell(`The image "${image.name}" is too large to be put together in memory.`);
      return;
    }
    canvas.width = pixels.width;
    canvas.height = pixels.height;
    canvas.getContext('2d').putImageData(pixels, 0, 0);
  }

  // ---- export ------------------------------------------------------------
  function pngOf(imageData) {
    const canvas = document.createElement('canvas');
    canvas.width = imageData.width;
    canvas.height = imageData.height;
    canvas.getContext('2d').putImageData(imageData, 0, 0);
    return new Promise((resolve) => canvas.toBlob(async (blob) =>
      resolve(new Uint8Array(await blob.arrayBuffer())), 'image/png'));
  }

  // One image's file: a PNG of its own size, or the desktop's 24-bit bitmap.
  async function exportBytes(index, format) {
    if (format === 'bmp') {
      const out = `${FOLDER}/export.bmp`;
      const status = call('fv_export_bmp', 'number', ['string', 'number', 'number', 'string'],
        [db.path, index, db.listing.images.length, out]);
      if (status !== 0) return null;
      const bytes = core.FS.readFile(out);
      core.FS.unlink(out);
      return bytes;
    }
    if (call('fv_compose', 'number', ['string', 'number'], [db.path, index]) !== 0) return null;
    return pngOf(pixelResult());
  }

  const fileNameOf = (image) => call('fv_file_name', 'string', ['string'], [image.name]);

  async function exportSelected() {
    const format = $('export-format').value;
    const bytes = await exportBytes(selected, format);
    if (!bytes) return tell('Could not export image from database.');
    const base = fileNameOf(db.listing.images[selected]) || `image${selected}`;
    download(bytes, `${base}.${format}`, format === 'png' ? 'image/png' : 'image/bmp');
  }

  // Every image into one zip, each file named after its image, numbered
  // " [2]", " [3]", ... where names repeat.
  async function exportAll() {
    const format = $('export-format').value;
    const files = {};
    for (let i = 0; i < db.listing.images.length; ++i) {
      const bytes = await exportBytes(i, format);
      if (!bytes) return tell(`Image ${i} could not be exported; no zip was written.`);
      const base = fileNameOf(db.listing.images[i]) || `image${String(i).padStart(3, '0')}`;
      let name = `${base}.${format}`;
      for (let n = 2; name.toLowerCase() in files; ++n) name = `${base} [${n}].${format}`;
      files[name.toLowerCase()] = [name, bytes];
    }
    const zip = fflate.zipSync(Object.fromEntries(Object.values(files)), { level: 0 });
    download(zip, db.fileName.replace(/\.pdb$/i, '') + '.zip', 'application/zip');
  }

  // ---- edits ------------------------------------------------------------
  function edited(status, select, done) {
    if (status !== 0) return tell('The database could not be changed; it is as it was.');
    unsaved = true;
    tell(done, 'info');
    showDatabase(select);
  }

  function deleteSelected() {
    const image = db.listing.images[selected];
    if (!confirm(`Delete the image "${image.name}"?`)) return;
    edited(call('fv_delete', 'number', ['string', 'number'], [db.path, selected]), selected,
      `Deleted "${image.name}".`);
  }

  function renameSelected() {
    const name = $('name').value;
    edited(call('fv_rename', 'number', ['string', 'number', 'string'], [db.path, selected, name]),
      selected, `Renamed to "${name}".`);
  }

  function moveSelected(step) {
    const to = selected + step;
    if (to < 0 || to >= db.listing.images.length) return;
    edited(call('fv_move', 'number', ['string', 'number', 'number'], [db.path, selected, to]), to,
      `Moved "${db.listing.images[selected].name}".`);
  }

  // ---- import -----------------------------------------------------------
  // The bitmap's straight (not premultiplied) RGBA. A 2D canvas stores
  // premultiplied levels and so changes those of translucent pixels: a
  // picture that has any is read again through WebGL, whose texture keeps
  // every level (where WebGL is missing, the canvas's levels have to do).
  function rgbaOf(bitmap) {
    const { width, height } = bitmap;
    const context = new OffscreenCanvas(width, height).getContext('2d');
    context.drawImage(bitmap, 0, 0);
    const rgba = context.getImageData(0, 0, width, height).data;
    for (let i = 3; i < rgba.length; i += 4) {
      if (rgba[i] !== 255) return straightRgba(bitmap) || rgba;
    }
    return rgba;
  }

  function straightRgba(bitmap) {
    const { width, height } = bitmap;
    const gl = new OffscreenCanvas(width, height).getContext('webgl2');
    if (!gl || Math.max(width, height) > gl.getParameter(gl.MAX_TEXTURE_SIZE)) return null;
    gl.bindTexture(gl.TEXTURE_2D, gl.createTexture());
    gl.pixelStorei(gl.UNPACK_PREMULTIPLY_ALPHA_WEBGL, false);
    gl.pixelStorei(gl.UNPACK_COLORSPACE_CONVERSION_WEBGL, gl.NONE);
    gl.texImage2D(gl.TEXTURE_2D, 0, gl.RGBA, gl.RGBA, gl.UNSIGNED_BYTE, bitmap);
    gl.bindFramebuffer(gl.FRAMEBUFFER, gl.createFramebuffer());
    gl.framebufferTexture2D(gl.FRAMEBUFFER, gl.COLOR_ATTACHMENT0, gl.TEXTURE_2D,
      gl.getParameter(gl.TEXTURE_BINDING_2D), 0);
    const rgba = new Uint8Array(width * height * 4);
    gl.readPixels(0, 0, width, height, gl.RGBA, gl.UNSIGNED_BYTE, rgba);
    const read = gl.getError() === gl.NO_ERROR;
    gl.getExtension('WEBGL_lose_context')?.loseContext();
    return read ? rgba : null;
  }

  // Decodes a picture file without colour management or premultiplied
  // alpha, upright by its EXIF orientation, and puts it on the core's canvas.
  async function takePicture(file) {
    let bitmap;
    try {
      bitmap = await createImageBitmap(file, { colorSpaceConversion: 'none',
        premultiplyAlpha: 'none', imageOrientation: 'from-image' });
    } catch {
      return `${file.name} is not a picture this browser can decode; it was not imported.`;
    }
    const { width, height } = bitmap;
    const start = core._fv_picture_buffer(width, height);
    if (!start) {
      bitmap.close();
      return `${file.name} (${width} x ${height}) is too large to import.`;
    }
    core.HEAPU8.set(rgbaOf(bitmap), start);
    bitmap.close();
    return core._fv_take_picture(width, height) === 0 ? null
      : `${file.name} is too large to import.`;
  }

  // The format, proportions and dither choices outlive the page, as the
  // desktop keeps them in its settings (a browser that refuses storage
  // keeps them for this page only).
  const SETTINGS = 'ferrovel.import';
  const importSettings = { bits: 1, keep: true, dither: true };
  try {
    const stored = JSON.parse(localStorage.getItem(SETTINGS)) || {};
    if ([1, 2, 4, 8, 16].includes(stored.bits)) importSettings.bits = stored.bits;
    for (const flag of ['keep', 'dither'])
      if (typeof stored[flag] === 'boolean') importSettings[flag] = stored[flag];
  } catch { /* the defaults */ }

  // The size boxes read as the desktop reads them: the first 10 characters,
  // a signed 16-bit number, the last value kept when no number starts them.
  const short = (n) => (n << 16) >> 16;
  function readBox(input, previous) {
    const match = /^\s*[+-]?\d+/.exec(input.value.slice(0, 10));
    return match ? short(Number(match[0]) | 0) : previous;
  }
  const proportional = (side, numerator, denominator) =>
    short(Math.trunc(side * numerator / denominator));

  // The Import Image dialog for one picture; resolves to the choices, or
  // null when cancelled.
  function importDialog(name, severalFiles) {
    const dialog = $('import-dialog');
    const source = { width: core._fv_canvas_width(), height: core._fv_canvas_height() };
    const target = { width: source.width, height: source.height };
    const [width, height, size, keep] =
      ['import-width', 'import-height', 'import-size', 'import-keep'].map($);
    const boxes = [[0, 0], [160, 160], [320, 320], [320, 480], [480, 320]];
    width.value = source.width;
    height.value = source.height;
    size.value = '0';
    $('import-name').value = name;
    $('import-format').value = String(importSettings.bits);
    keep.checked = importSettings.keep;
    $('import-dither').checked = importSettings.dither;
    $('import-contrast').value = $('import-brightness').value = '0';
    $('import-all').hidden = !severalFiles;

    const refresh = () => {
      target.width = Math.max(2, readBox(width, target.width));
      target.height = Math.max(2, readBox(height, target.height));
      const contrast = Number($('import-contrast').value);
      const brightness = Number($('import-brightness').value);
      $('contrast-value').value = contrast;
      $('brightness-value').value = brightness;
      const context = $('import-preview').getContext('2d');
      context.fillStyle = '#fff';
      context.fillRect(0, 0, PREVIEW, PREVIEW);
      if (core._fv_preview(PREVIEW, PREVIEW, target.width, target.height,
        Number($('import-format').value), $('import-dither').checked ? 1 : 0, brightness,
        contrast) !== 0) return;
      const pixels = pixelResult();
      const x = Math.max(0, (PREVIEW - target.width) >> 1), y = Math.max(0, (PREVIEW - target.height) >> 1);
      if (pixels) context.putImageData(pixels, x, y);
    };
    const widthFromHeight = () => {
      target.height = readBox(height, target.height);
      width.value = proportional(target.height, source.width, source.height);
    };
    const heightFromWidth = () => {
      target.width = readBox(width, target.width);
      height.value = proportional(target.width, source.height, source.width);
    };
    const handlers = {
      'import-size': () => {
        const preset = Number(size.value);
        if (preset === 0) [width.value, height.value] = [source.width, source.height];
        if (preset < 1 || preset > 4) return refresh();
        const [boxWidth, boxHeight] = boxes[preset];
        if (!keep.checked) {
          [width.value, height.value] = [boxWidth, boxHeight];
        } else if (source.width * boxHeight <= source.height * boxWidth) {
          height.value = boxHeight;
          widthFromHeight();
        } else {
          width.value = boxWidth;
          heightFromWidth();
        }
        refresh();
      },
      'import-width': () => { size.value = '5'; if (keep.checked) heightFromWidth(); refresh(); },
      'import-height': () => { size.value = '5'; if (keep.checked) widthFromHeight(); refresh(); },
      'import-keep': () => { if (keep.checked) heightFromWidth(); refresh(); },
      'reset-contrast': () => { $('import-contrast').value = '0'; refresh(); },
      'reset-brightness': () => { $('import-brightness').value = '0'; refresh(); },
    };
    const onInput = (event) => (handlers[event.target.id] || refresh)();
    const onClick = (event) => {
      if (event.target.id.startsWith('reset-')) handlers[event.target.id]();
    };
    const onCancel = (event) => event.preventDefault(); // Escape does not end the dialog
    dialog.addEventListener('input', onInput);
    dialog.addEventListener('change', onInput);
    dialog.addEventListener('click', onClick);
    dialog.addEventListener('cancel', onCancel);
    refresh();
    dialog.showModal();
    return new Promise((resolve) => dialog.addEventListener('close', () => {
      for (const [type, handler] of [['input', onInput], ['change', onInput], ['click', onClick],
        ['cancel', onCancel]]) dialog.removeEventListener(type, handler);
      if (dialog.returnValue !== 'one' && dialog.returnValue !== 'all') return resolve(null);
      refresh();
      importSettings.bits = Number($('import-format').value);
      importSettings.keep = keep.checked;
      importSettings.dither = $('import-dither').checked;
      try { localStorage.setItem(SETTINGS, JSON.stringify(importSettings)); } catch { /* kept here */ }
      resolve({
        name: $('import-name').value.slice(0, 255), width: target.width, height: target.height,
        bits: importSettings.bits, dither: importSettings.dither ? 1 : 0,
        contrast: Number($('import-contrast').value), brightness: Number($('import-brightness').value),
        preset: Number(size.value), keep: keep.checked ? 1 : 0, all: dialog.returnValue === 'all',
      });
    }, { once: true }));
  }

  function appendPicture(choices) {
    return call('fv_import', 'number',
      ['string', 'string', 'number', 'number', 'number', 'number', 'number', 'number'],
      [db.path, choices.name, choices.width, choices.height, choices.bits, choices.dither,
        choices.brightness, choices.contrast]);
  }

  // Imports the pictures in order: the dialog for each until Import All, then
  // the rest with the same choices, each sized by the chosen preset.
  async function importPictures(files) {
    if (!db) return tell('Open or create a database first, then import pictures into it.');
    const several = files.length > 1;
    const problems = [];
    let batch = null, imported = 0;
    for (const file of files) {
      const problem = await takePicture(file);
      if (problem) {
        problems.push(problem);
        continue;
      }
      let choices = batch;
      if (batch) {
        const size = core._fv_batch_size(batch.preset, batch.keep, batch.width, batch.height);
        choices = { ...batch, name: file.name.slice(0, 255), width: size >> 16, height: short(size) };
        if (choices.width <= 0 || choices.height <= 0) {
          problems.push(`${file.name} comes out ${choices.width} x ${choices.height} in this size box; it was not imported.`);
          continue;
        }
      } else {
        choices = await importDialog(several ? file.name : file.name.replace(/\.[^.]*$/, ''), several);
        if (!choices) break;
        if (choices.all) batch = choices;
      }
      const status = appendPicture(choices);
      if (status !== 0) {
        problems.push(`${file.name}: ${call('fv_import_message', 'string', ['number'], [status])}`);
        break;
      }
      ++imported;
    }
    if (imported > 0) {
      unsaved = true;
      showDatabase(db.listing.images.length);
    }
    const done = imported > 0 ? `Imported ${imported} picture${imported === 1 ? '' : 's'}.` : '';
    tell([done, ...problems].filter(Boolean).join('\n'), problems.length ? 'error' : 'info');
  }

  // ---- files chosen or dropped ---------------------------------------------
  async function takeFiles(fileList) {
    const files = [...fileList];
    // A database by its content, or one that is meant to be by its name.
    const heads = await Promise.all(files.map((f) => f.slice(0, 68).arrayBuffer()));
    const meant = files.map((f, i) => isDatabase(new Uint8Array(heads[i])) || /\.pdb$/i.test(f.name));
    const databases = files.filter((_, i) => meant[i]);
    const pictures = files.filter((_, i) => !meant[i]);
    if (databases.length > 0)
      openDatabaseBytes(new Uint8Array(await databases[0].arrayBuffer()), databases[0].name);
    if (pictures.length > 0) await importPictures(pictures);
  }

  function wire() {
    $('open').onclick = () => $('db-file').click();
    $('db-file').onchange = async (event) => {
      const file = event.target.files[0];
      event.target.value = '';
      if (file) openDatabaseBytes(new Uint8Array(await file.arrayBuffer()), file.name);
    };
    $('new').onclick = () => $('new-dialog').showModal();
    $('new-dialog').onclose = () => {
      if ($('new-dialog').returnValue === 'create') createDatabase($('new-name').value.trim());
    };
    $('import').onclick = () => $('picture-files').click();
    $('picture-files').onchange = async (event) => {
      const files = [...event.target.files];
      event.target.value = '';
      await importPictures(files);
    };
    $('save').onclick = saveDatabase;
    $('export').onclick = exportSelected;
    $('export-all').onclick = exportAll;
    $('delete').onclick = deleteSelected;
    $('rename').onclick = renameSelected;
    $('name').onkeydown = (event) => { if (event.key === 'Enter') renameSelected(); };
    $('up').onclick = () => moveSelected(-1);
    $('down').onclick = () => moveSelected(1);
    $('fit').onchange = () => $('preview-box').classList.toggle('fit', $('fit').checked);
    $('images').onclick = (event) => {
      const row = event.target.closest('li');
      if (row) selectImage(Number(row.dataset.index));
    };
    $('images').onkeydown = (event) => {
      if (!db || db.listing.images.length === 0) return;
      const last = db.listing.images.length - 1;
      const keys = {
        ArrowDown: () => selectImage(Math.min(last, selected + 1)),
        ArrowUp: () => selectImage(Math.max(0, selected - 1)),
        Home: () => selectImage(0),
        End: () => selectImage(last),
        Delete: deleteSelected,
        F2: () => $('name').focus(),
      };
      const key = event.altKey && event.key === 'ArrowUp' ? () => moveSelected(-1)
        : event.altKey && event.key === 'ArrowDown' ? () => moveSelected(1) : keys[event.key];
      if (key && (selected >= 0 || event.key.startsWith('Arrow'))) {
        event.preventDefault();
        key();
      }
    };
    window.addEventListener('beforeunload', (event) => { if (unsaved) event.preventDefault(); });
    let depth = 0;
    document.addEventListener('dragenter', (event) => {
      event.preventDefault();
      if (++depth === 1) document.body.classList.add('dragging');
    });
    document.addEventListener('dragleave', () => {
      if (--depth <= 0) { depth = 0; document.body.classList.remove('dragging'); }
    });
    document.addEventListener('dragover', (event) => event.preventDefault());
    document.addEventListener('drop', (event) => {
      event.preventDefault();
      depth = 0;
      document.body.classList.remove('dragging');
      if (event.dataTransfer.files.length > 0) takeFiles(event.dataTransfer.files);
    });
  }

  FerrovelCore().then((module) => {
    core = module;
    core.FS.mkdir(FOLDER);
    core.FS.mkdir(`${FOLDER}/new`);
    core.FS.mkdir(`${FOLDER}/open`);
    wire();
    document.body.dataset.ready = 'true';
  });
})();
