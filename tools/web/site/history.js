// Undo and redo over the scene's states. A state is what the scene folder
// holds after an edit: the manifest as the forms hold it (JSON text), the
// folder's files (name -> bytes, the manifest's text among them) and, for
// the state a package was opened in, that package, which plays until the
// first edit. States share the bytes of the files they have in common: a
// file once added is never changed in place, so a new state copies only the
// map of names.
"use strict";

class SceneHistory {
  constructor(limit = 200) {
    this.limit = limit;
    this.states = [];
    this.at = -1;
    this.serial = 0;
    this.editedBefore = false;  // the first state was already an edited one (restored)
    this.onChange = () => {};
  }

  // A newly opened scene: the history starts again from it.
  reset(state, editedBefore = false) {
    this.states = [this.stamp(state)];
    this.at = 0;
    this.editedBefore = editedBefore;
    this.onChange(this.current);
  }

  // After an edit: the states that could be redone are dropped.
  record(state) {
    this.states.splice(this.at + 1);
    this.states.push(this.stamp(state));
    if (this.states.length > this.limit) {
      this.states.shift();
      this.editedBefore = true;  // the opened state is gone
    }
    this.at = this.states.length - 1;
    this.onChange(this.current);
  }

  undo() { return this.canUndo ? this.move(-1) : null; }
  redo() { return this.canRedo ? this.move(1) : null; }

  move(by) {
    this.at += by;
    this.onChange(this.current);
    return this.current;
  }

  stamp(state) { return Object.assign({}, state, { id: ++this.serial }); }

  get current() { return this.states[this.at] || null; }
  get canUndo() { return this.at > 0; }
  get canRedo() { return this.at < this.states.length - 1; }
  // Whether replacing the scene would lose work.
  get edited() { return this.at > 0 || this.editedBefore; }
}

// The files of a state: those of `previous` that are still in the folder,
// shared, and those new to it read once; the names in `fresh` (the manifest,
// rewritten on every edit) are always read. `names` lists the folder.
function stateFiles(previous, names, read, fresh = []) {
  const files = new Map();
  for (const name of names)
    files.set(name, previous && previous.has(name) && !fresh.includes(name) ? previous.get(name) : read(name));
  return files;
}

// Ctrl+Z undoes, Ctrl+Shift+Z and Ctrl+Y redo (Cmd on a Mac), except in a
// text field whose typing is not yet committed: there the field's own undo
// applies.
function bindUndoKeys(target, undo, redo) {
  target.addEventListener("keydown", (e) => {
    if (!(e.ctrlKey || e.metaKey) || e.altKey) return;
    const key = e.key.toLowerCase();
    const isUndo = key === "z" && !e.shiftKey;
    const isRedo = (key === "z" && e.shiftKey) || (key === "y" && !e.shiftKey);
    if ((!isUndo && !isRedo) || document.querySelector("dialog[open]")) return;
    const field = document.activeElement;
    if (field && (field.tagName === "TEXTAREA" || (field.tagName === "INPUT" && field.type !== "file")) &&
        field.value !== field.defaultValue) return;
    e.preventDefault();
    isUndo ? undo() : redo();
  });
}

// Asks before something that loses work: resolves true when the person
// chooses `yes`, false on `no` or Escape. The dialog is #ask, its buttons
// #ask-yes and #ask-no.
function askFirst(text, yes, no) {
  let dialog = document.getElementById("ask");
  if (!dialog) {
    dialog = document.createElement("dialog");
    dialog.id = "ask";
    dialog.innerHTML = '<p></p><form method="dialog" class="bar">' +
      '<button id="ask-yes" value="yes"></button><button id="ask-no" value="no" autofocus></button></form>';
    document.body.append(dialog);
  }
  dialog.querySelector("p").textContent = text;
  dialog.querySelector("#ask-yes").textContent = yes;
  dialog.querySelector("#ask-no").textContent = no;
  dialog.returnValue = "";
  return new Promise((resolve) => {
    dialog.addEventListener("close", () => resolve(dialog.returnValue === "yes"), { once: true });
    dialog.showModal();
  });
}
