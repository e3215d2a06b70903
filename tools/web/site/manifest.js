// The manifest as the page holds it: the JSON the module reads a manifest
// into, and back to TOML text for snowglobe-pack build. Only the writing is
// here; every check is build's and validate's own.
"use strict";

function tomlKey(key) {
  return /^[A-Za-z0-9_-]+$/.test(key) ? key : JSON.stringify(key);
}

// JSON.stringify's escapes are all valid in a TOML basic string.
function tomlValue(v) {
  if (typeof v === "string") return JSON.stringify(v);
  if (typeof v === "number") return Number.isInteger(v) ? String(v) : String(v);
  if (typeof v === "boolean") return v ? "true" : "false";
  if (Array.isArray(v)) {
    if (v.length === 0) return "[]";
    return "[\n" + v.map((x) => "  " + tomlValue(x) + ",\n").join("") + "]";
  }
  const parts = Object.keys(v).map((k) => tomlKey(k) + " = " + tomlValue(v[k]));
  return "{ " + parts.join(", ") + " }";
}

function isTable(v) { return v !== null && typeof v === "object" && !Array.isArray(v); }

// Scene keys first, then each [[layer]], then any other table ([leftovers]).
function manifestToml(model) {
  let out = "# Written by snowglobe studio.\n";
  const tables = [];
  for (const [k, v] of Object.entries(model)) {
    if (k === "layer") continue;
    if (isTable(v)) { tables.push([k, v]); continue; }
    out += tomlKey(k) + " = " + tomlValue(v) + "\n";
  }
  (model.layer || []).forEach((layer, i) => {
    out += "\n[[layer]]  # layer " + i + "\n";
    for (const [k, v] of Object.entries(layer)) out += tomlKey(k) + " = " + tomlValue(v) + "\n";
  });
  for (const [name, table] of tables) {
    out += "\n[" + tomlKey(name) + "]\n";
    for (const [k, v] of Object.entries(table)) out += tomlKey(k) + " = " + tomlValue(v) + "\n";
  }
  return out;
}

// "snowglobe-pack build: scene.toml:21: layer[0].speed: 9 is out of range..."
// -> { setting: "layer[0].speed", text: the whole line }.
function settingMessages(text) {
  const found = [];
  for (const line of text.split("\n")) {
    const m = /:\d+: ([A-Za-z_][\w.[\]]*): /.exec(line);
    if (m) found.push({ setting: m[1], text: line });
  }
  return found;
}
