// The manifest's settings as forms, under the manifest's own names. A field
// left empty leaves its key out of the manifest (build's default applies).
// Each field carries data-setting, the name build's messages use for it.
"use strict";

const CHOICES = {
  background: ["black", "white", "desktop", "tiled", "picture"],
  fit: ["stretched", "centred"],
  monitors: ["primary", "each", "span"],
  mask: ["auto", "top-left", "black", "white", "opaque"],
  flip: ["none", "horizontal", "vertical"],
  direction: ["up-left", "up", "up-right", "left", "none", "right", "down-left", "down", "down-right"],
  speed: [0, 1, 2, 3, 4],
  entry: ["anywhere", "top", "bottom", "left", "right", "left-or-top", "left-or-bottom", "right-or-top", "right-or-bottom"],
  placement: ["random", "fixed"],
  delay: ["none", "after-cycle", "after-exit"],
  corner: ["top-left", "top-right", "bottom-left", "bottom-right"],
  axis: ["none", "x", "y"],
  row: [0, 1, 2, 3, 4],
};

// Layer settings in the order of docs/authoring.md; kind: choice, int, bool.
const LAYER_FIELDS = [
  ["enabled", "bool"], ["duration", "int"], ["mask", "choice"], ["instances", "int"], ["direction", "choice"],
  ["speed", "choice"], ["entry", "choice"], ["placement", "choice"], ["keep_inside", "bool"],
  ["random_start", "bool"], ["reentry_cycles", "int"], ["delay", "choice"], ["max_wait", "int"], ["loops", "bool"],
  ["every", "int"], ["flip", "choice"],
];

const CONTROLS = "input, select, button, textarea";
// A number the saver plays although no word or range allows it, as an
// opened package holds it ({ code: N }): shown as its own choice, kept until
// another is chosen.
function isCode(v) { return isTable(v) && Object.keys(v).length === 1 && Number.isInteger(v.code); }
function codeOption(v) {
  return isCode(v) ? el("option", { value: "code", selected: true }, "code " + v.code + " (outside the range; kept as it is)") : null;
}

function el(tag, attrs = {}, ...children) {
  const e = document.createElement(tag);
  for (const [k, v] of Object.entries(attrs)) {
    if (k.startsWith("on")) e.addEventListener(k.slice(2), v);
    else if (k === "dataset") Object.assign(e.dataset, v);
    else if (v !== undefined && v !== null && v !== false) e.setAttribute(k, v === true ? "" : v);
  }
  for (const c of children) if (c !== null && c !== undefined) e.append(c);
  return e;
}

class SceneForm {
  // hooks: changed() after any edit; addFiles(files, then) stores dropped
  // files in the scene folder and calls then(names).
  constructor(form, hooks) {
    this.form = form;
    this.hooks = hooks;
    this.model = {};
    this.units = new Map();
  }

  show(model) {
    this.model = model;
    this.units = new Map();  // frames[j] setting -> the time unit chosen, while it has no time
    this.render();
  }

  changed() { this.render(); this.hooks.changed(); }

  // A key's value: empty input removes the key.
  setKey(obj, key, value) {
    if (value === "" || value === undefined) delete obj[key];
    else obj[key] = value;
    this.changed();
  }

  // A setting's row: its plain label with the key in small type, the input,
  // and a line saying what it does (help.js).
  field(setting, key, input) {
    const { label, help } = helpLabel(setting, key);
    return el("div", { class: "field", dataset: { setting } }, label, input, help);
  }

  choice(obj, key, setting, options = CHOICES[key]) {
    const select = el("select", { name: setting, onchange: (e) => {
      const v = e.target.value;
      if (v === "code") return;
      this.setKey(obj, key, v === "" ? "" : (typeof options[0] === "number" ? Number(v) : v));
    } }, el("option", { value: "" }, defaultText(setting, key)), codeOption(obj[key]));
    for (const o of options) select.append(el("option", { value: o, selected: obj[key] === o }, String(o)));
    return this.field(setting, key, select);
  }

  int(obj, key, setting) {
    const input = el("input", { type: "number", name: setting, value: isCode(obj[key]) ? obj[key].code : obj[key] ?? "",
      placeholder: defaultText(setting, key), title: isCode(obj[key]) ? "outside the range; kept as it is until changed" : null,
      onchange: (e) => this.setKey(obj, key, e.target.value === "" ? "" : Number(e.target.value)) });
    return this.field(setting, key, input);
  }

  bool(obj, key, setting) {
    const select = el("select", { name: setting, onchange: (e) => {
      const v = e.target.value;
      this.setKey(obj, key, v === "" ? "" : v === "true");
    } }, el("option", { value: "" }, defaultText(setting, key)),
    el("option", { value: "true", selected: obj[key] === true }, "true"),
    el("option", { value: "false", selected: obj[key] === false }, "false"));
    return this.field(setting, key, select);
  }

  text(obj, key, setting) {
    const input = el("input", { type: "text", name: setting, value: obj[key] ?? "",
      onchange: (e) => this.setKey(obj, key, e.target.value) });
    return this.field(setting, key, input);
  }

  // A picture or sound: a file name, dropped file or picked file; pictures
  // may carry { file, bits }.
  fileField(obj, key, setting, accept) {
    const current = obj[key];
    const name = isTable(current) ? current.file : current;
    const pick = el("input", { type: "file", accept, hidden: true, onchange: (e) => this.dropInto(e.target.files, (names) => {
      if (isTable(obj[key])) obj[key].file = names[0]; else obj[key] = names[0];
      this.changed();
    }) });
    // Pictures may be stored at 8 bits: { file, bits }.
    const bits = accept.includes(".png") && name ? el("select", { name: setting + ".bits", title: "bits", onchange: (e) => {
      const b = e.target.value;
      obj[key] = b === "" ? name : Object.assign(isTable(current) ? current : { file: name }, { bits: Number(b) });
      this.changed();
    } }, el("option", { value: "" }, "(bits)"), ...[8, 24].map((b) =>
      el("option", { value: b, selected: isTable(current) && current.bits === b }, b + " bits"))) : null;
    const box = el("div", { class: "drop" }, name ? name + " " : "(none) ",
      el("label", { class: "button" }, "choose…", pick), bits,
      name ? el("button", { type: "button", onclick: () => this.setKey(obj, key, "") }, "remove") : null);
    this.droppable(box, (names) => {
      if (isTable(obj[key])) obj[key].file = names[0]; else obj[key] = names[0];
      this.changed();
    });
    return this.field(setting, key, box);
  }

  droppable(box, then) {
    box.addEventListener("dragover", (e) => { e.preventDefault(); e.stopPropagation(); box.classList.add("over"); });
    box.addEventListener("dragleave", () => box.classList.remove("over"));
    box.addEventListener("drop", (e) => {
      e.preventDefault();
      e.stopPropagation();
      box.classList.remove("over");
      this.dropInto(e.dataTransfer.files, then);
    });
  }

  dropInto(files, then) {
    if (files && files.length) this.hooks.addFiles([...files], then);
  }

  // The control that had the focus, by id, name or else its place among the
  // form's controls, so that it keeps the focus when the form is drawn again.
  focused() {
    const at = document.activeElement;
    if (!at || !this.form.contains(at)) return null;
    return { id: at.id, name: at.getAttribute("name"), index: [...this.form.querySelectorAll(CONTROLS)].indexOf(at) };
  }

  refocus(was) {
    if (!was) return;
    const named = (was.id && document.getElementById(was.id)) ||
      (was.name && this.form.querySelector("[name=\"" + CSS.escape(was.name) + "\"]"));
    const target = named || this.form.querySelectorAll(CONTROLS)[was.index];
    if (target) target.focus({ preventScroll: true });
  }

  render() {
    const was = this.focused();
    this.draw();
    this.refocus(was);
  }

  draw() {
    const m = this.model;
    const f = this.form;
    f.replaceChildren();
    const scene = el("fieldset", {}, el("legend", {}, "scene"));
    scene.append(this.title(m), this.codePage(m));
    scene.append(this.choice(m, "background", "background"));
    if (m.background === "picture" || m.picture) scene.append(this.fileField(m, "picture", "picture", PICTURE_FILES));
    if (m.background === "tiled" || m.tile) scene.append(this.fileField(m, "tile", "tile", PICTURE_FILES));
    scene.append(this.choice(m, "fit", "fit"));
    scene.append(this.fileField(m, "sound", "sound", SOUND_FILES));
    scene.append(this.choice(m, "monitors", "monitors"));
    f.append(scene, this.about(m));
    (m.layer || []).forEach((layer, i) => f.append(this.layer(layer, i)));
    f.append(el("button", { type: "button", id: "add-layer", onclick: () => {
      (m.layer = m.layer || []).push({ frames: [] });
      this.changed();
    } }, "add layer"));
  }

  about(m) {
    const box = el("fieldset", {}, el("legend", {}, "about (up to 5 lines)"));
    const lines = m.about || [];
    lines.forEach((line, i) => {
      const setting = "about[" + i + "]";
      const obj = isTable(line) ? line : { text: line };
      const set = () => {
        const simple = Object.keys(obj).length === 1 && obj.text !== undefined;
        lines[i] = simple ? obj.text : obj;
        m.about = lines;
        this.changed();
      };
      const text = this.byteText(setting, obj.text, obj.bytes,
        (t) => { delete obj.bytes; obj.text = t; set(); },
        (hex) => { delete obj.text; obj.bytes = hex; set(); });
      const shown = el("input", { type: "checkbox", checked: obj.shown !== false, title: "shown",
        onchange: (e) => { if (e.target.checked) delete obj.shown; else obj.shown = false; set(); } });
      const drop = el("button", { type: "button", onclick: () => {
        lines.splice(i, 1);
        if (lines.length) m.about = lines; else delete m.about;
        this.changed();
      } }, "×");
      box.append(this.field(setting, "line " + i, el("span", {}, text, shown, drop)));
    });
    if (lines.length < 5) box.append(el("button", { type: "button", onclick: () => {
      lines.push("");
      m.about = lines;
      this.changed();
    } }, "add line"));
    return box;
  }

  layer(layer, i) {
    const m = this.model;
    const at = "layer[" + i + "]";
    const box = el("fieldset", { class: "layer", dataset: { layer: i, setting: at } }, el("legend", {}, "layer " + i));
    const move = (to) => {
      if (to < 0 || to >= m.layer.length) return;
      m.layer.splice(to, 0, m.layer.splice(i, 1)[0]);
      this.changed();
    };
    box.append(el("div", { class: "bar" },
      el("button", { type: "button", onclick: () => move(i - 1) }, "up"),
      el("button", { type: "button", onclick: () => move(i + 1) }, "down"),
      el("button", { type: "button", onclick: () => { m.layer.splice(i, 1); this.changed(); } }, "remove layer")));
    for (const [key, kind] of LAYER_FIELDS) box.append(this[kind](layer, key, at + "." + key));
    box.append(this.sway(layer, at + ".sway"), this.start(layer, at + ".start"), this.frames(layer, at + ".frames"));
    return box;
  }

  sway(layer, setting) {
    const s = layer.sway;
    const axis = s === undefined ? "" : s === "none" ? "none" : s.axis;
    const row = isTable(s) ? (s.row ?? "") : "";
    const apply = (a, r) => {
      if (a === "") delete layer.sway;
      else if (a === "none" && !isTable(s)) layer.sway = "none";
      else layer.sway = r === "" ? { axis: a } : { axis: a, row: Number(r) };
      this.changed();
    };
    const axisSel = el("select", { name: setting + ".axis", onchange: (e) => apply(e.target.value, row) },
      el("option", { value: "" }, defaultText(setting, "sway")), ...CHOICES.axis.map((o) => el("option", { value: o, selected: axis === o }, o)));
    const rowSel = el("select", { name: setting + ".row", onchange: (e) => e.target.value !== "code" && apply(axis || "x", e.target.value) },
      el("option", { value: "" }, "default: " + swayRowText(1)), codeOption(row),
      ...CHOICES.row.map((o) => el("option", { value: o, selected: row === o }, swayRowText(o))));
    return this.field(setting, "sway", el("span", {}, axisSel, rowSel));
  }

  start(layer, setting) {
    const s = layer.start || {};
    const set = (key, v) => {
      const next = Object.assign({}, layer.start || {});
      if (v === "") delete next[key]; else next[key] = v;
      if (Object.keys(next).length) layer.start = next; else delete layer.start;
      this.changed();
    };
    const corner = el("select", { name: setting + ".corner", onchange: (e) => e.target.value !== "code" && set("corner", e.target.value) },
      el("option", { value: "" }, "default: top-left"), codeOption(s.corner), ...CHOICES.corner.map((o) => el("option", { value: o, selected: s.corner === o }, o)));
    const num = (k) => el("input", { type: "number", name: setting + "." + k, value: s[k] ?? "", placeholder: k + " (default: 0)",
      onchange: (e) => set(k, e.target.value === "" ? "" : Number(e.target.value)) });
    return this.field(setting, "start", el("span", {}, corner, num("x"), num("y")));
  }

  frames(layer, setting) {
    if (isGif(layer.frames)) return this.gifField(layer, setting);
    // A sprite editor's JSON or a sheet: shown as it is, edited in the
    // manifest's text.
    if (layer.frames !== undefined && !Array.isArray(layer.frames)) {
      const f = layer.frames;
      const text = isTable(f) ? "sheet " + f.sheet + ", " + f.columns + " x " + (f.rows ?? 1) : String(f);
      return this.field(setting, "frames", el("div", {}, text));
    }
    const frames = layer.frames || [];
    const list = el("ol", { class: "frames", start: 0 });
    frames.forEach((frame, j) => {
      const file = isTable(frame) ? frame.file : frame;
      // Its time in ticks (duration) or in milliseconds (duration_ms); the
      // unit chosen for a frame without a time yet is kept by the form.
      const at = setting + "[" + j + "]";
      const units = this.units;
      const unit = isTable(frame) && frame.duration_ms !== undefined ? "duration_ms"
        : isTable(frame) && frame.duration !== undefined ? "duration" : units.get(at) || "duration";
      const duration = isTable(frame) ? frame[unit] : undefined;
      const setDuration = (v, key = unit) => {
        const next = Object.assign({}, isTable(frame) ? frame : { file });
        delete next.duration;
        delete next.duration_ms;
        if (v !== "") next[key] = Number(v);
        units.set(at, key);
        frames[j] = Object.keys(next).length > 1 ? next : file;
        this.changed();
      };
      const move = (to) => {
        if (to < 0 || to >= frames.length) return;
        frames.splice(to, 0, frames.splice(j, 1)[0]);
        this.changed();
      };
      list.append(el("li", { dataset: { setting: setting + "[" + j + "]" } }, file + " ",
        el("input", { type: "number", name: setting + "[" + j + "].duration", value: isCode(duration) ? duration.code : duration ?? "",
          placeholder: unit === "duration" ? "ticks" : "ms", title: "duration of this frame",
          onchange: (e) => setDuration(e.target.value) }),
        el("select", { name: at + ".unit", title: "ticks of 33 ms, or milliseconds",
          onchange: (e) => setDuration(isCode(duration) ? duration.code : duration ?? "", e.target.value) },
        el("option", { value: "duration", selected: unit === "duration" }, "ticks"),
        el("option", { value: "duration_ms", selected: unit === "duration_ms" }, "ms")),
        el("button", { type: "button", onclick: () => move(j - 1) }, "↑"),
        el("button", { type: "button", onclick: () => move(j + 1) }, "↓"),
        el("button", { type: "button", onclick: () => { frames.splice(j, 1); layer.frames = frames; this.changed(); } }, "×")));
    });
    const pick = el("input", { type: "file", accept: FRAME_FILES, multiple: true, hidden: true, name: setting + ".add",
      onchange: (e) => this.dropInto(e.target.files, add) });
    const add = (names) => {
      if (this.gifAdded(layer, names, setting)) return;
      layer.frames = frames.concat(names);
      this.changed();
    };
    const drop = el("div", { class: "drop" }, "drop pictures (PNG, JPEG, BMP) or one animated GIF here, or ", el("label", { class: "button" }, "add…", pick));
    this.droppable(drop, add);
    return this.field(setting, "frames", el("div", {}, list, drop));
  }

  // Shows build's messages next to the fields they name ("layer[2].frames[0]"
  // goes to that frame, else to the nearest enclosing setting).
  showProblems(messages) {
    for (const old of this.form.querySelectorAll(".problem")) old.remove();
    const unplaced = [];
    for (const { setting, text } of messages) {
      let name = setting;
      let target = null;
      while (!(target = this.form.querySelector('[data-setting="' + CSS.escape(name) + '"]'))) {
        const shorter = name.replace(/(\.[^.[\]]*|\[\d+\])$/, "");
        if (shorter === name) break;
        name = shorter;
      }
      if (target) target.append(el("div", { class: "problem" }, text));
      else unplaced.push(text);
    }
    return unplaced;
  }
}
