// The studio page: opens scenes, keeps the manifest and its files in the
// module's file system (/s/scene), rebuilds with snowglobe-pack build on every
// edit and restarts the saver on the stage and in the preview pane.
"use strict";

const PANE = { width: 152, height: 112 };  // the display settings' preview pane
const MAX_FILE = 64 << 20;                   // what the page keeps in memory per file
const $ = (id) => document.getElementById(id);

const studio = {
  stage: null,       // Player on #stage (engine: the module with the scene's files)
  pane: null,        // Player on #pane, a second module instance
  manifest: "",      // the manifest's path in /s/scene
  model: null,
  playPath: "",      // what the stage runs: the opened file until the first edit
  size: { width: 640, height: 480 },
  products: [],
  form: null,
  history: new SceneHistory(),  // undo and redo (history.js)
  store: null,                  // the scene kept in the browser (store.js)
  sound: null,                  // the scene's sound (sound.js)
};

function say(text, bad = false) {
  const box = $("messages");
  box.textContent = userText(text).trim();
  box.classList.toggle("bad", bad);
}

function baseName(name) {
  const n = name.replace(/\\/g, "/").split("/").pop().replace(/[^\w.\-]/g, "_");
  return n && n !== "." && n !== ".." ? n : "file";
}

// The page's own paths in the module's files, as the user knows the files:
// "/s/in/photo.kavren" is photo.kavren, a manifest's folder is left out, and
// the packages the page builds are the scene's package.
function userText(text) {
  return text
    .replace(/wrote \/s\/(next|try|built)\.kavren \(/g, "built the scene's package (")
    .replace(/\/s\/(next|try|built)\.kavren/g, "the scene's package")
    .replace(/wrote \/s\/next\/scene\.toml and /g, "extracted scene.toml and ")
    .replace(/\/s\/(next|scene)\//g, "")
    .replace(/\/s\/(in|opened|out|engines)\//g, "")
    .replace(/\/s\/play\b/g, studio.openedName || "the scene");
}

// ---- running the scene ----
async function restart(pauseAt = 0) {
  const { width, height } = studio.size;
  const engine = studio.stage.engine;
  if (pauseAt > 0) studio.stage.playing = false;
  const stage = studio.stage.start(studio.playPath, width, height, { pauseAt });
  studio.sound.begin(soundNote(engine, studio.playPath));
  studio.sound.setPlaying(studio.stage.playing);
  // The pane's module gets the same scene bytes.
  studio.pane.engine.write("/s/play", engine.read(studio.playPath));
  const pane = studio.pane.start("/s/play", PANE.width, PANE.height, { preview: true, pauseAt });
  return Promise.all([stage, pane]);
}

// What ended a run, for the page: the engine's C++ exceptions reach us as
// bare numbers (a pointer into its memory); at this page's sizes that is an
// allocation the browser's memory could not hold.
function stopReason(e) {
  if (typeof e === "number")
    return "the saver stopped: a " + studio.size.width + " x " + studio.size.height +
      " screen needs more memory than the browser gives this page; choose a smaller screen size";
  return "the saver stopped: " + String((e && e.message) || e);
}

// What sg_sound_note says of the scene in `path`: {sound: "none", "plays"
// or "refused", rate, note}.
function soundNote(engine, path) {
  const status = engine.call("sg_sound_note", path);
  const sound = { 2: "plays", 3: "refused" }[status] || "none";
  return Object.assign({ sound, rate: 0, note: "" }, sound === "none" ? {} : JSON.parse(engine.output()));
}

function restartSoon(pauseAt = 0) {
  restart(pauseAt).catch((e) => say(stopReason(e), true));
}

function setPlaying(on) {
  for (const p of [studio.stage, studio.pane]) on ? p.play() : p.pause();
  studio.sound.setPlaying(on);
  $("play").textContent = on ? "pause" : "play";
}

// ---- opening ----
// The layers that validate's errors (in `text`) name, or null when an
// error lies outside every layer (the saver then refuses the whole scene
// or a part the page cannot leave out).
function refusedLayers(text) {
  const layers = new Set();
  for (const line of text.split("\n")) {
    if (!/error at byte \d+: /.test(line)) continue;
    const m = /error at byte \d+: layer (\d+): /.exec(line);
    if (!m) return null;
    layers.add(Number(m[1]));
  }
  return layers.size ? [...layers].sort((a, b) => a - b) : null;
}

function findManifest(engine, dir) {
  const names = engine.names(dir).filter((n) => n.endsWith(".toml"));
  names.sort((a, b) => a.split("/").length - b.split("/").length || a.localeCompare(b));
  return names.length ? dir + "/" + names[0] : "";
}

// Takes the folder /s/next (a manifest and its files) as the scene, with the
// package built from it in /s/next.kavren, and plays the opened file
// (original: {name, bytes}) or, without one, the package built.
// kept: the scene as the browser kept it (store.js), whose files these are;
// bad: the notes are shown as errors.
function adopt(manifest, original, notes, pauseAt, { kept = null, bad = false } = {}) {
  const engine = studio.stage.engine;
  const json = engine.manifestJson(manifest);
  if (json.status !== 0) { say(json.text, true); return false; }
  // The forms first: a scene they cannot show is refused while the last one
  // is still whole (its files, manifest and forms), and plays on.
  try {
    studio.form.show(json.json);
  } catch (e) {
    if (studio.model) studio.form.show(studio.model);
    throw e;
  }
  engine.remove("/s/scene");
  engine.FS.rename("/s/next", "/s/scene");
  engine.remove("/s/built.kavren");
  engine.FS.rename("/s/next.kavren", "/s/built.kavren");
  studio.manifest = manifest.replace(/^\/s\/next/, "/s/scene");
  studio.playPath = "/s/built.kavren";
  if (original) {
    engine.remove("/s/opened");
    studio.playPath = "/s/opened/" + original.name;
    engine.write(studio.playPath, original.bytes);
  }
  studio.model = json.json;
  studio.history.reset(snapshot(original && { name: original.name, bytes: original.bytes }, kept && kept.files),
                       kept ? kept.edited : false);
  say(notes, bad || /error at byte/.test(notes));
  showThumbnails(engine, studio.playPath, studio.form.form);
  restartSoon(pauseAt);
  return true;
}

// The scene as it is now, for the history: files shared with `previous`
// (name -> bytes), the manifest read afresh.
function snapshot(opened, previous) {
  const engine = studio.stage.engine;
  const dir = studio.manifest.slice(0, studio.manifest.lastIndexOf("/"));
  const files = stateFiles(previous, engine.names(dir), (name) => engine.read(dir + "/" + name),
                           [studio.manifest.slice(dir.length + 1)]);
  return { manifest: studio.manifest, model: JSON.stringify(studio.model), files, opened };
}

// The scene the browser kept: its files in /s/next, built, and adopted with
// them (a scene that no longer builds is not).
function openKept(kept) {
  const engine = studio.stage.engine;
  const manifest = kept.manifest.replace(/^\/s\/scene/, "/s/next");
  const dir = manifest.slice(0, manifest.lastIndexOf("/"));
  engine.remove("/s/next");
  for (const [name, bytes] of kept.files) engine.write(dir + "/" + name, bytes);
  const built = engine.pack(["build", manifest.slice(dir.length + 1), "-o", "/s/next.kavren"], dir);
  if (built.status !== 0) return false;
  return adopt(manifest, kept.opened, built.text, 0, { kept });
}

// A package, .scr, Linux program or zip of a scene folder. Whatever goes
// wrong on the way (the browser's memory among it) is said in place of the
// last scene's message.
function openBytes(name, bytes, pauseAt = 0) {
  try {
    return openBytesOrThrow(name, bytes, pauseAt);
  } catch (e) {
    say(baseName(name) + ": not opened: " + String((e && e.message) || e), true);
    return false;
  }
}

function openBytesOrThrow(name, bytes, pauseAt) {
  const engine = studio.stage.engine;
  name = baseName(name);
  engine.remove("/s/next");
  engine.remove("/s/in");
  engine.write("/s/in/" + name, bytes);
  let manifest, notes = "";
  const zip = bytes.length >= 4 && bytes[0] === 0x50 && bytes[1] === 0x4b && bytes[2] === 3 && bytes[3] === 4;
  if (zip) {
    const unzipped = engine.unzip("/s/in/" + name, "/s/next");
    if (unzipped.status !== 0) { say(unzipped.text, true); return false; }
    manifest = findManifest(engine, "/s/next");
    if (!manifest) { say(name + ": the zip holds no manifest (.toml)", true); return false; }
  } else {
    // The command line's own refusal, with the file's own name. A package
    // whose errors are all in its layers still plays (the saver leaves what
    // it refuses of them empty): it opens, with validate's errors shown.
    const checked = engine.pack(["validate", name], "/s/in");
    const refused = checked.status !== 0 ? refusedLayers(checked.text) : [];
    if (refused === null) { say(checked.text, true); return false; }
    const extracted = engine.pack(["extract", name, "/s/next"], "/s/in");
    if (extracted.status !== 0) { say(refused.length ? checked.text : extracted.text, true); return false; }
    manifest = "/s/next/scene.toml";
    notes = extracted.text;
    if (refused.length) {
      const which = refused.length === 1 ? "layer " + refused[0] : "layers " + refused.join(", ");
      notes = checked.text + "The saver refuses part of " + which + " (the errors above) and plays the rest: " +
        "the stage shows it so until the first edit, which builds the extracted scene without these errors.\n" + notes;
    }
  }
  const dir = manifest.slice(0, manifest.lastIndexOf("/"));
  const built = engine.pack(["build", manifest.slice(dir.length + 1), "-o", "/s/next.kavren"], dir);
  if (built.status !== 0 && zip) { say(built.text, true); return false; }
  studio.openedName = name;
  if (built.status !== 0) {
    // The saver plays it, but the manifest extracted does not build (extract
    // said why): the file plays as it is, and is what the downloads hold,
    // until an edit builds; the forms show what build wants changed.
    if (engine.call("sg_package_file", "/s/in/" + name, "/s/next.kavren") !== 0) { say(engine.output(), true); return false; }
    const opened = adopt(manifest, { name, bytes }, notes + built.text +
      "The scene plays as " + name + " holds it; the settings marked must change before an edit can take.\n", pauseAt, { bad: true });
    if (opened) studio.form.showProblems(settingMessages(built.text));
    return opened;
  }
  // A zip plays what it builds to; a package or saver plays as render runs it.
  return adopt(manifest, zip ? null : { name, bytes }, notes + built.text, pauseAt);
}

async function openUrl(url, pauseAt = 0) {
  const response = await fetch(url);
  if (!response.ok) { say(url + ": " + response.status + " " + response.statusText, true); return false; }
  return openBytes(url, new Uint8Array(await response.arrayBuffer()), pauseAt);
}

function openEmpty() {
  const engine = studio.stage.engine;
  engine.remove("/s/next");
  engine.write("/s/next/scene.toml", new TextEncoder().encode(manifestToml({ title: "my scene", background: "black" })));
  const built = engine.pack(["build", "scene.toml", "-o", "/s/next.kavren"], "/s/next");
  if (built.status !== 0) { say(built.text, true); return false; }
  return adopt("/s/next/scene.toml", null, built.text, 0);
}

async function openFiles(files) {
  const file = files[0];
  if (!file) return;
  if (file.size > MAX_FILE) { say(file.name + ": larger than 64 MiB; not opened", true); return; }
  if (!(await mayReplace())) return;
  openBytes(file.name, new Uint8Array(await file.arrayBuffer()));
}

// ---- editing ----
function rebuild() {
  // A link to the opened scene no longer shows what is edited: a reload
  // brings back the kept scene instead.
  if (new URLSearchParams(location.hash.slice(1)).get("scene")) history.replaceState(null, "", location.pathname + location.search);
  build();
  studio.history.record(snapshot(null, studio.history.current && studio.history.current.files));
}

// Builds the manifest in /s/scene and plays it; a refused one is shown and
// the previous scene plays on.
function build() {
  const engine = studio.stage.engine;
  // The texts' code page first (texts.js): the previous scene plays on when
  // no one code page holds them all.
  const choice = chooseCodePage(studio.model);
  // Written after the choice, which may have set the model's code page.
  engine.write(studio.manifest, new TextEncoder().encode(manifestToml(studio.model)));
  if (!choice.ok) {
    studio.form.showProblems([{ setting: "codepage", text: choice.note }]);
    say(choice.note, true);
    return;
  }
  if (choice.note) studio.form.render();
  const note = choice.note ? choice.note + "\n" : "";
  const dir = studio.manifest.slice(0, studio.manifest.lastIndexOf("/"));
  engine.remove("/s/try.kavren");
  const built = engine.pack(["build", studio.manifest.slice(dir.length + 1), "-o", "/s/try.kavren"], dir);
  applyThumbnails(studio.form.form);
  const unplaced = studio.form.showProblems(settingMessages(built.text));
  if (built.status !== 0) {
    // The previous scene keeps playing.
    say(note + built.text + (unplaced.length ? "" : "\n(see the fields marked)"), true);
    return;
  }
  engine.remove("/s/built.kavren");
  engine.FS.rename("/s/try.kavren", "/s/built.kavren");
  studio.playPath = "/s/built.kavren";
  say(note + built.text);
  showThumbnails(engine, studio.playPath, studio.form.form);
  restartSoon();
}

// Undo and redo: the scene folder and forms as they were in `state`.
function restore(state) {
  if (!state) return;
  const engine = studio.stage.engine;
  const dir = state.manifest.slice(0, state.manifest.lastIndexOf("/"));
  engine.remove("/s/scene");
  for (const [name, bytes] of state.files) engine.write(dir + "/" + name, bytes);
  studio.manifest = state.manifest;
  studio.model = JSON.parse(state.model);
  studio.form.show(studio.model);
  if (!state.opened) { build(); return; }
  studio.form.showProblems([]);
  engine.remove("/s/opened");
  studio.playPath = "/s/opened/" + state.opened.name;
  engine.write(studio.playPath, state.opened.bytes);
  say("");
  showThumbnails(engine, studio.playPath, studio.form.form);
  restartSoon();
}

// Whether the scene may be replaced: at once when it has no edits, else as
// the person answers.
function mayReplace() {
  if (!studio.history.edited) return Promise.resolve(true);
  return askFirst("The scene has edits. Replace it? Its edits cannot be undone after that.",
                  "replace it", "keep editing");
}

async function addFiles(files, then) {
  const engine = studio.stage.engine;
  const dir = studio.manifest.slice(0, studio.manifest.lastIndexOf("/"));
  const names = [];
  for (const file of files) {
    if (file.size > MAX_FILE) { say(file.name + ": larger than 64 MiB; not added", true); return; }
    const bytes = new Uint8Array(await file.arrayBuffer());
    let name = baseName(file.name);
    // Another file of the same name stays; this one gets a number.
    for (let n = 2; engine.exists(dir + "/" + name) && !same(engine.read(dir + "/" + name), bytes); ++n)
      name = baseName(file.name).replace(/(\.[^.]*)?$/, "-" + n + "$1");
    engine.write(dir + "/" + name, bytes);
    names.push(name);
  }
  then(names);
}

function same(a, b) {
  if (a.length !== b.length) return false;
  for (let i = 0; i < a.length; ++i) if (a[i] !== b[i]) return false;
  return true;
}

// ---- downloads ----
function download(bytes, name) {
  const url = URL.createObjectURL(new Blob([bytes], { type: "application/octet-stream" }));
  const a = document.createElement("a");
  a.href = url;
  a.download = name;
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
}

// What a download button gives, as bytes (the tests call this too).
async function exported(kind) {
  const engine = studio.stage.engine;
  if (kind === "kavren") return engine.read("/s/built.kavren");
  if (kind === "zip") {
    engine.remove("/s/scene.zip");
    const zipped = engine.zip("/s/scene", "/s/scene.zip");
    if (zipped.status !== 0) throw new Error(zipped.text);
    return engine.read("/s/scene.zip");
  }
  const button = $(kind);
  const url = button.dataset.engine;
  const path = "/s/engines/" + baseName(url);
  if (!engine.exists(path)) {
    const response = await fetch(url);
    if (!response.ok) throw new Error(url + ": " + response.status);
    engine.write(path, new Uint8Array(await response.arrayBuffer()));
  }
  engine.remove("/s/out");
  engine.mkdirs("/s/out");
  const name = saverName(kind);
  const bound = engine.pack(["bind", path, "/s/built.kavren", "-o", "/s/out/" + name]);
  say(bound.text, bound.status !== 0);
  if (bound.status !== 0) throw new Error(bound.text);
  return engine.read("/s/out/" + name);
}

// A saver's file name: the scene's title, as bind without -o names it
// (the button's own name when the scene cannot be read).
function saverName(kind) {
  return titledName(kind === "get-linux" ? "" : ".scr", $(kind).dataset.name);
}

// The scene's title made a file name, followed by `suffix`; `otherwise`
// when the title gives none.
function titledName(suffix, otherwise) {
  const engine = studio.stage.engine;
  const status = engine.call("sg_saver_name", "/s/built.kavren", suffix);
  const text = engine.output();
  return status === 0 && text !== suffix ? text : otherwise;
}

// What a download button saves: {name, bytes}, named after the title (the
// package and zip too, so that one download does not replace another). The
// Linux program goes in a .tar.gz, which keeps its run bit.
async function downloaded(kind, name) {
  const bytes = await exported(kind);
  if (!kind.startsWith("get-")) return { name: titledName(name.slice(name.lastIndexOf(".")), name), bytes };
  const saver = saverName(kind);
  if (kind !== "get-linux") return { name: saver, bytes };
  return { name: saver + ".tar.gz", bytes: await tarGz(saver, bytes, 0o755) };
}

async function downloadAs(kind, name) {
  try {
    const file = await downloaded(kind, name);
    download(file.bytes, file.name);
  } catch (e) {
    say(String(e.message || e), true);
  }
}

// ---- screen size and the #scene link ----
// "this screen": the browser's screen in device pixels.
function screenSize() {
  const ratio = window.devicePixelRatio || 1;
  return { width: Math.round(screen.width * ratio), height: Math.round(screen.height * ratio) };
}

function parseSize(text) {
  if (text === "screen") return screenSize();
  const m = /^(\d{1,5})\s*[xX×]\s*(\d{1,5})$/.exec(text.trim());
  if (!m) return null;
  const width = Number(m[1]), height = Number(m[2]);
  return width >= 1 && height >= 1 && width <= 16384 && height <= 16384 ? { width, height } : null;
}

function setSize(size) {
  studio.size = size;
  const text = size.width + "x" + size.height;
  const known = [...$("size").options].some((o) => o.value === text && o.value !== "screen");
  $("size").value = known ? text : "custom";
  $("size-typed").hidden = known;
  if (!known) $("size-typed").value = text;
}

async function followHash() {
  const params = new URLSearchParams(location.hash.slice(1));
  if (!params.get("scene")) return false;
  const size = parseSize(params.get("size") || "640x480");
  if (!size) { say("#size must look like 640x480", true); return true; }
  const tick = Math.max(0, Number(params.get("tick") || 0) | 0);
  document.body.dataset.tick = "";
  setSize(size);
  setPlaying(tick === 0);
  await openUrl(params.get("scene"), tick);
  return true;
}

// ---- start-up ----
async function main() {
  if (location.protocol === "file:") {
    say("This page was opened from a file, where the browser lets it load nothing. " +
        "Run scripts/studio in the snowglobe folder and open the address it prints (http://127.0.0.1:8765/).", true);
    return;
  }
  const [a, b] = await Promise.all([Engine.load(), Engine.load()]);
  studio.stage = new Player(a, $("stage"));
  studio.pane = new Player(b, $("pane"));
  studio.stage.onTick = (tick) => {
    $("tick").textContent = tick;
    document.body.dataset.tick = String(tick);
    studio.sound.setPlaying(studio.stage.playing);
  };
  studio.sound = new SoundPreview($("mute"), $("sound-note"));
  a.mod.onSound = (bytes, plays) => studio.sound.played(bytes, plays);
  studio.store = await SceneStore.open();
  studio.history.onChange = (state) => {
    $("undo").disabled = !studio.history.canUndo;
    $("redo").disabled = !studio.history.canRedo;
    if (studio.store) studio.store.save(state, studio.history.edited);
  };
  if (studio.store) {
    studio.store.onSaved = (id) => { document.body.dataset.saved = String(id); };
    studio.store.onError = (text) => say("the browser did not keep the scene: " + text, true);
  }
  const undo = () => restore(studio.history.undo());
  const redo = () => restore(studio.history.redo());
  $("undo").onclick = undo;
  $("redo").onclick = redo;
  bindUndoKeys(document, undo, redo);
  studio.stage.onEnd = (status, text, stopped) => {
    if (!stopped && text.trim()) say(text, true);
  };
  studio.form = new SceneForm($("scene-form"), { changed: rebuild, addFiles });

  try {
    const response = await fetch("products.json");
    studio.products = response.ok ? await response.json() : [];
  } catch (e) { studio.products = []; }
  for (const id of ["get-scr32", "get-scr64", "get-linux"]) {
    const button = $(id);
    const there = studio.products.includes(button.dataset.engine);
    button.disabled = !there;
    if (!there) button.title = "this site was built without " + button.dataset.engine;
    button.onclick = () => downloadAs(id, button.dataset.name);
  }
  $("get-kavren").onclick = () => downloadAs("kavren", "scene.kavren");
  $("get-zip").onclick = () => downloadAs("zip", "scene.zip");

  const replacing = (open) => async () => { if (await mayReplace()) await open(); };
  $("open-default").onclick = replacing(() => openUrl("scenes/default.kavren"));
  $("open-aquarium").onclick = replacing(() => openUrl("scenes/aquarium.kavren"));
  $("open-empty").onclick = replacing(() => openEmpty());
  $("open-file").onchange = async (e) => {
    await droppedOnPage([...e.target.files], { open: openFiles, form: studio.form, say });
    e.target.value = "";
  };
  document.body.addEventListener("dragover", (e) => { e.preventDefault(); document.body.classList.add("over"); });
  document.body.addEventListener("dragleave", () => document.body.classList.remove("over"));
  document.body.addEventListener("drop", (e) => {
    e.preventDefault();
    document.body.classList.remove("over");
    droppedOnPage([...e.dataTransfer.files], { open: openFiles, form: studio.form, say });
  });

  $("play").onclick = () => setPlaying(!studio.stage.playing);
  $("step").onclick = () => { setPlaying(false); studio.stage.step(); studio.pane.step(); };
  $("restart").onclick = () => restartSoon();
  $("goto").onchange = (e) => {
    const tick = Number(e.target.value) | 0;
    if (tick < 1) return;
    document.body.dataset.tick = "";
    setPlaying(false);
    restartSoon(tick);
  };
  $("size").onchange = (e) => {
    $("size-typed").hidden = e.target.value !== "custom";
    const size = parseSize(e.target.value);
    if (size) { studio.size = size; restartSoon(); }
  };
  $("size-typed").onchange = (e) => {
    const size = parseSize(e.target.value);
    if (!size) { say("the screen size must look like 800x600 (at most 16384 on a side)", true); return; }
    studio.size = size;
    restartSoon();
  };
  window.addEventListener("hashchange", () => followHash().catch((e) => say(String(e.stack || e), true)));

  if (!(await followHash())) {
    const kept = studio.store && (await studio.store.load());
    if (!(kept && openKept(kept)) && (await openUrl("scenes/default.kavren")) && kept) {
      // A kept scene that does not build (its last edit was refused) comes
      // back with build's messages, the default scene playing meanwhile.
      studio.history.reset(kept, true);
      restore(studio.history.current);
    }
  }
  document.body.dataset.ready = "1";
}

main().catch((e) => say("the studio could not start: " + (e.stack || e), true));
