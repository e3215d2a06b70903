// The files the pickers offer (every kind build converts), and a layer's
// frames taken from one animated GIF, with the GIF's frames and delays as
// build reads them.
"use strict";

const PICTURE_FILES = ".png,.jpg,.jpeg,.bmp";
const FRAME_FILES = ".png,.jpg,.jpeg,.bmp,.gif";
const SOUND_FILES = ".wav";

const isGif = (name) => typeof name === "string" && /\.gif$/i.test(name);

// The frames build takes from the GIF `name` in the scene's folder:
// [{width, height, ms, ticks}], or {error} with build's reason.
// Kept per file (its name, size and time) while the scene is edited.
const gifsRead = new Map();
function gifFrames(name) {
  const engine = studio.stage.engine;
  const dir = studio.manifest.slice(0, studio.manifest.lastIndexOf("/"));
  const stat = engine.exists(dir + "/" + name) ? engine.FS.stat(dir + "/" + name) : null;
  const key = stat ? dir + "/" + name + ":" + stat.size + ":" + stat.mtime.getTime() : "";
  if (key && gifsRead.has(key)) return gifsRead.get(key);
  engine.FS.chdir(dir);  // messages name the file as the manifest does
  const status = engine.call("sg_gif_frames", name);
  engine.FS.chdir("/s");
  const text = engine.output().trim();
  const frames = status === 0 ? JSON.parse(text) : { error: text };
  if (key && status === 0) gifsRead.set(key, frames);
  return frames;
}

// Files added to a layer's list of frames: a GIF alone becomes the layer's
// whole animation (frames = "walk.gif"); a GIF among other files is refused
// here, since a GIF is never one frame of a list. True when handled.
SceneForm.prototype.gifAdded = function (layer, names, setting) {
  const gifs = names.filter(isGif);
  if (!gifs.length) return false;
  if (names.length === 1) {
    layer.frames = gifs[0];
    this.changed();
  } else {
    this.showProblems([{ setting, text: gifs[0] + ": an animated GIF gives a layer all its frames; add it on its own" }]);
  }
  return true;
};

// A layer whose frames are one animated GIF: the file, a picker for another,
// and each frame with its delay (the GIF's own: build rounds each to ticks of
// 33 ms, and every = N keeps one frame in N).
SceneForm.prototype.gifField = function (layer, setting) {
  const name = layer.frames;
  const pick = el("input", { type: "file", accept: ".gif", hidden: true, name: setting + ".gif",
    onchange: (e) => this.dropInto(e.target.files, (names) => {
      if (!this.gifAdded(layer, names, setting)) this.showProblems([{ setting, text: "choose an animated GIF" }]);
    }) });
  const list = el("ol", { class: "frames gif", start: 0 });
  const count = el("span", {}, " ");
  const box = el("div", { class: "drop" }, name, count,
    el("label", { class: "button" }, "another GIF…", pick),
    el("button", { type: "button", onclick: () => { layer.frames = []; this.changed(); } }, "use pictures instead"));
  this.droppable(box, (names) => {
    if (!this.gifAdded(layer, names, setting)) this.showProblems([{ setting, text: "drop an animated GIF here" }]);
  });
  const field = this.field(setting, "frames (animated GIF)", el("div", {}, box, list));
  // Read once the form is shown: a scene being opened has its files in
  // place only then.
  queueMicrotask(() => {
    if (!field.isConnected) return;  // drawn again since
    const frames = gifFrames(name);
    if (!Array.isArray(frames)) {
      // Build says the same at this field when it has run on it.
      if (!field.querySelector(".problem")) field.append(el("div", { class: "problem" }, frames.error));
      return;
    }
    count.textContent = ", " + frames.length + " frames ";
    frames.forEach((f, j) => list.append(el("li", { dataset: { setting: setting + "[" + j + "]" } },
      f.width + " x " + f.height + ", ",
      el("span", { class: "ms", title: "the GIF's delay" }, f.ms + " ms"),
      " → " + f.ticks + (f.ticks === 1 ? " tick" : " ticks"))));
  });
  return field;
};
