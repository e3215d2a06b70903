// Thumbnails beside the settings they show: the background's picture or
// tile and each layer's frames, as the package stores them (decoded by the
// module's own reader, so they are what the saver draws).
"use strict";

const THUMB_BOX = 48;
let thumbnails = [];  // { part, index, width, height, pixels } of the last package shown

// Reads the thumbnails of the package at `path` in `engine` and shows them in `form`.
function showThumbnails(engine, path, form) {
  const mod = engine.mod;
  const size = mod.lengthBytesUTF8(path) + 1;
  const name = mod._malloc(size);
  mod.stringToUTF8(path, name, size);
  let count;
  try { count = mod._sg_thumbnails(name, THUMB_BOX); } finally { mod._free(name); }
  thumbnails = [];
  for (let i = 0; i < count; ++i) {
    const width = mod._sg_thumbnail_width(i), height = mod._sg_thumbnail_height(i);
    const at = mod._sg_thumbnail_pixels(i);
    thumbnails.push({ part: mod._sg_thumbnail_part(i), index: mod._sg_thumbnail_index(i), width, height,
      pixels: new Uint8ClampedArray(mod.HEAPU8.slice(at, at + width * height * 4).buffer) });
  }
  applyThumbnails(form);
}

// Puts the last thumbnails into the form as it is drawn now.
function applyThumbnails(form) {
  for (const old of form.querySelectorAll(".thumbs")) old.remove();
  const boxes = new Map();
  for (const t of thumbnails) {
    const setting = t.part === -1 ? "picture" : t.part === -2 ? "tile" : "layer[" + t.part + "].frames";
    const field = form.querySelector('.field[data-setting="' + CSS.escape(setting) + '"]');
    if (!field) continue;
    if (!boxes.has(setting)) {
      const box = document.createElement("div");
      box.className = "thumbs";
      box.dataset.thumbs = setting;
      field.append(box);
      boxes.set(setting, box);
    }
    const canvas = document.createElement("canvas");
    canvas.width = t.width;
    canvas.height = t.height;
    canvas.title = setting === "picture" || setting === "tile" ? setting : "frame " + t.index;
    canvas.getContext("2d").putImageData(new ImageData(t.pixels, t.width, t.height), 0, 0);
    boxes.get(setting).append(canvas);
  }
}
