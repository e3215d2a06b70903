// The scene kept in the browser (IndexedDB), so that it comes back after a
// reload or a crash: one record naming the manifest, the forms' JSON and the
// folder's files, and the files themselves under keys of their own. A file
// shared by many states is written once; files no state names any more are
// deleted with the write that drops them.
"use strict";

class SceneStore {
  // null where the browser keeps nothing (IndexedDB missing or refused).
  static open(name = "snowglobe-studio") {
    return new Promise((resolve) => {
      let request;
      try {
        request = indexedDB.open(name, 1);
      } catch (e) {
        resolve(null);
        return;
      }
      request.onupgradeneeded = () => {
        request.result.createObjectStore("scene");
        request.result.createObjectStore("files");
      };
      request.onsuccess = () => resolve(new SceneStore(request.result));
      request.onerror = () => resolve(null);
      request.onblocked = () => resolve(null);
    });
  }

  constructor(db) {
    this.db = db;
    this.keys = new WeakMap();  // bytes -> their key in "files"
    this.written = new Set();   // keys known to be in "files"
    this.prefix = Date.now().toString(36) + "-";
    this.count = 0;
    this.pending = null;        // the newest record not yet written
    this.writing = false;
    this.onSaved = () => {};    // (id of the state written)
    this.onError = () => {};    // (message)
  }

  keyOf(bytes) {
    let key = this.keys.get(bytes);
    if (!key) this.keys.set(bytes, key = this.prefix + (++this.count));
    return key;
  }

  // Keeps `state` (a SceneHistory state) and whether it is edited. Saves
  // follow one another; a state superseded before its turn is never written.
  save(state, edited) {
    this.pending = { state, edited };
    if (!this.writing) this.drain();
  }

  async drain() {
    this.writing = true;
    while (this.pending) {
      const { state, edited } = this.pending;
      this.pending = null;
      try {
        await this.write(state, edited);
        this.onSaved(state.id);
      } catch (e) {
        this.onError(String((e && e.message) || e));
      }
    }
    this.writing = false;
  }

  write(state, edited) {
    const files = [...state.files].map(([name, bytes]) => [name, this.keyOf(bytes), bytes]);
    const opened = state.opened ? [state.opened.name, this.keyOf(state.opened.bytes), state.opened.bytes] : null;
    const record = {
      manifest: state.manifest, model: state.model, edited,
      files: files.map(([name, key]) => [name, key]),
      opened: opened && opened.slice(0, 2),
    };
    const wanted = new Set(files.map((f) => f[1]));
    if (opened) wanted.add(opened[1]);
    const added = [];
    return new Promise((resolve, reject) => {
      const t = this.db.transaction(["scene", "files"], "readwrite");
      const store = t.objectStore("files");
      for (const [, key, bytes] of opened ? files.concat([opened]) : files) {
        if (this.written.has(key)) continue;
        store.put(bytes, key);
        added.push(key);
      }
      t.objectStore("scene").put(record, "current");
      const keys = store.getAllKeys();
      keys.onsuccess = () => {
        for (const key of keys.result) if (!wanted.has(key)) store.delete(key);
      };
      t.oncomplete = () => {
        for (const key of added) this.written.add(key);
        for (const key of [...this.written]) if (!wanted.has(key)) this.written.delete(key);
        resolve();
      };
      t.onerror = () => reject(t.error);
      t.onabort = () => reject(t.error || new Error("the browser refused to keep the scene"));
    });
  }

  // The kept scene: { manifest, model, files: Map, opened: {name, bytes} | null,
  // edited }, or null when there is none (or it lost a file).
  load() {
    return new Promise((resolve) => {
      const t = this.db.transaction(["scene", "files"], "readonly");
      const get = t.objectStore("scene").get("current");
      const bytes = new Map();
      get.onsuccess = () => {
        const r = get.result;
        if (!r) return;
        const keys = r.files.map((f) => f[1]).concat(r.opened ? [r.opened[1]] : []);
        for (const key of keys) {
          const one = t.objectStore("files").get(key);
          one.onsuccess = () => { if (one.result) bytes.set(key, one.result); };
        }
      };
      t.oncomplete = () => {
        const r = get.result;
        if (!r) { resolve(null); return; }
        const keys = r.files.map((f) => f[1]).concat(r.opened ? [r.opened[1]] : []);
        if (!keys.every((k) => bytes.has(k))) { resolve(null); return; }
        for (const [key, b] of bytes) {
          this.keys.set(b, key);
          this.written.add(key);
        }
        resolve({
          manifest: r.manifest, model: r.model, edited: r.edited,
          files: new Map(r.files.map(([name, key]) => [name, bytes.get(key)])),
          opened: r.opened ? { name: r.opened[0], bytes: bytes.get(r.opened[1]) } : null,
        });
      };
      t.onerror = () => resolve(null);
      t.onabort = () => resolve(null);
    });
  }
}
