// Every setting's plain label, one-line explanation and default, from
// settings.js (written from tools/core/settings.json, the table
// docs/authoring.md shows too). The manifest's key stays beside the label.
"use strict";

// The entry of a setting ("layer[2].speed", "title") by its key, or null.
function settingHelp(setting, key) {
  const group = /^layer\[/.test(setting) ? SETTINGS_HELP.layer : SETTINGS_HELP.scene;
  return group.find((s) => s.key === key) || null;
}

// A field's label: the plain words, the key in small type, the explanation
// on a line of its own (and as the label's tooltip).
function helpLabel(setting, key) {
  const h = settingHelp(setting, key);
  if (!h) return { label: el("label", {}, key), help: null };
  return {
    label: el("label", { title: h.help }, h.label, " ", el("code", { class: "key" }, key)),
    help: el("small", { class: "help" }, h.help),
  };
}

// What an empty choice means: "default: down".
function defaultText(setting, key) {
  const h = settingHelp(setting, key);
  return h ? "default: " + h.default : "(default)";
}

// The sway's rows as what they do: how far a sprite swings either way.
const SWAY_ROW_PIXELS = [30, 55, 75, 90, 150];
function swayRowText(row) { return "swing " + SWAY_ROW_PIXELS[row] + " px (row " + row + ")"; }
