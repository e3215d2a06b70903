// The WebAssembly module (the engine, the drawing backend and snowglobe-pack)
// and the saver running in it, tick by tick, onto a canvas.
"use strict";

const TICK_MS = 33;  // the saver's timer

// One instance of the module: its own memory, files and engine.
class Engine {
  static async load() {
    const mod = await SnowglobeModule({ print: () => {}, printErr: () => {} });
    return new Engine(mod);
  }

  constructor(mod) {
    this.mod = mod;
    this.FS = mod.FS;
    this.mkdirs("/s");
  }

  mkdirs(path) {
    let at = "";
    for (const part of path.split("/").filter(Boolean)) {
      at += "/" + part;
      try { this.FS.mkdir(at); } catch (e) { /* exists */ }
    }
  }

  // Removes a folder and everything in it (missing is fine).
  remove(path) {
    let stat;
    try { stat = this.FS.stat(path); } catch (e) { return; }
    if (this.FS.isDir(stat.mode)) {
      for (const name of this.FS.readdir(path)) if (name !== "." && name !== "..") this.remove(path + "/" + name);
      this.FS.rmdir(path);
    } else {
      this.FS.unlink(path);
    }
  }

  exists(path) {
    try { this.FS.stat(path); return true; } catch (e) { return false; }
  }

  write(path, bytes) {
    this.mkdirs(path.slice(0, path.lastIndexOf("/")));
    this.FS.writeFile(path, bytes);
  }

  read(path) { return this.FS.readFile(path); }

  // The names of every file under dir, relative to it; nothing is read.
  names(dir, prefix = "") {
    const out = [];
    for (const name of this.FS.readdir(dir)) {
      if (name === "." || name === "..") continue;
      const full = dir + "/" + name;
      if (this.FS.isDir(this.FS.stat(full).mode)) out.push(...this.names(full, prefix + name + "/"));
      else out.push(prefix + name);
    }
    return out;
  }

  // Every file under dir: relative name -> bytes.
  files(dir, prefix = "") {
    const out = new Map();
    for (const name of this.FS.readdir(dir)) {
      if (name === "." || name === "..") continue;
      const full = dir + "/" + name;
      if (this.FS.isDir(this.FS.stat(full).mode)) {
        for (const [k, v] of this.files(full, prefix + name + "/")) out.set(k, v);
      } else {
        out.set(prefix + name, this.FS.readFile(full));
      }
    }
    return out;
  }

  output() { return this.mod.UTF8ToString(this.mod._sg_output()); }

  // Calls a C function taking strings. Not ccall: while a run sleeps, ccall
  // hands back a promise instead of the result.
  call(name, ...strings) {
    const mod = this.mod;
    const pointers = strings.map((s) => {
      const size = mod.lengthBytesUTF8(s) + 1;
      const at = mod._malloc(size);
      mod.stringToUTF8(s, at, size);
      return at;
    });
    try {
      return mod["_" + name](...pointers);
    } finally {
      pointers.forEach((p) => mod._free(p));
    }
  }

  // A snowglobe-pack command line, run in folder `cwd`: {status, text}.
  pack(args, cwd = "/s") {
    this.FS.chdir(cwd);
    const status = this.call("sg_pack", args.join("\n"));
    this.FS.chdir("/s");  // a folder that is the working one cannot be removed
    return { status, text: this.output() };
  }

  manifestJson(path) {
    const status = this.call("sg_manifest_json", path);
    const text = this.output();
    return status === 0 ? { status, json: JSON.parse(text) } : { status, text };
  }

  zip(dir, out) {
    const status = this.call("sg_zip", dir, out);
    return { status, text: this.output() };
  }

  unzip(input, dir) {
    const status = this.call("sg_unzip", input, dir);
    return { status, text: this.output() };
  }
}

// The saver running in an engine, drawn onto a canvas. One run at a time per
// engine: start() stops the previous run first.
class Player {
  constructor(engine, canvas) {
    this.engine = engine;
    this.canvas = canvas;
    this.context = canvas.getContext("2d");
    this.playing = true;
    this.tick = 0;
    this.pending = null;   // the engine's wakeUp while it waits for us
    this.timer = 0;
    this.running = null;   // the run's promise
    this.stopping = false;
    this.pauseAt = 0;
    this.onTick = () => {};
    this.onEnd = () => {};
    engine.mod.onTick = (tick, wakeUp) => this.arrived(tick, wakeUp);
  }

  // Runs the scene in `path` (in this engine's files) at width x height.
  // pauseAt: play to that tick as fast as possible and pause there. Resolves
  // once the run has begun; quick successive calls start only the last one,
  // since the engine runs one saver at a time.
  start(path, width, height, { preview = false, pauseAt = 0 } = {}) {
    this.request = { path, width, height, preview, pauseAt };
    if (!this.starting) this.starting = this.drain().finally(() => { this.starting = null; });
    return this.starting;
  }

  async drain() {
    while (this.request) {
      const r = this.request;
      this.request = null;
      await this.stop();
      if (!this.request) this.begin(r);
    }
  }

  begin({ path, width, height, preview, pauseAt }) {
    this.stopping = false;
    this.tick = 0;
    this.pauseAt = pauseAt;
    this.lastWake = performance.now();
    const mod = this.engine.mod;
    mod._sg_skip_until(pauseAt > 1 ? pauseAt : 0);
    const run = mod.ccall("sg_play", "number", ["string", "number", "number", "number", "number", "number"],
                          [path, width, height, preview ? 1 : 0, 10000000, 1], { async: true });
    this.running = run;
    Promise.resolve(run).then((status) => {
      if (this.running === run) this.running = null;
      this.onEnd(status, this.engine.output(), this.stopping);
    });
  }

  async stop() {
    if (!this.running) return;
    this.stopping = true;
    clearTimeout(this.timer);
    if (this.pending) this.wake(0);
    await this.running;
  }

  arrived(tick, wakeUp) {
    this.tick = tick;
    this.draw();
    if (this.stopping) { wakeUp(0); return; }
    this.pending = wakeUp;
    if (this.pauseAt && tick >= this.pauseAt) {
      this.pauseAt = 0;
      this.playing = false;
    }
    this.onTick(tick);
    this.schedule();
  }

  draw() {
    const mod = this.engine.mod;
    const w = mod._sg_frame_width(), h = mod._sg_frame_height();
    if (w <= 0 || h <= 0) return;
    if (this.canvas.width !== w || this.canvas.height !== h) {
      this.canvas.width = w;
      this.canvas.height = h;
    }
    const at = mod._sg_frame();
    const pixels = new Uint8ClampedArray(mod.HEAPU8.buffer, at, w * h * 4);
    this.context.putImageData(new ImageData(pixels, w, h), 0, 0);
  }

  wake(go) {
    const wakeUp = this.pending;
    this.pending = null;
    this.lastWake = performance.now();
    wakeUp(go);
  }

  schedule() {
    clearTimeout(this.timer);
    if (!this.pending) return;
    if (this.pauseAt) { this.wake(1); return; }
    if (!this.playing) return;
    const due = Math.max(0, this.lastWake + TICK_MS - performance.now());
    this.timer = setTimeout(() => { if (this.pending && this.playing) this.wake(1); }, due);
  }

  play() { this.playing = true; this.schedule(); }
  pause() { this.playing = false; clearTimeout(this.timer); }
  step() {
    this.playing = false;
    clearTimeout(this.timer);
    if (this.pending) this.wake(1);
  }
}
