// Files dropped on the page outside every drop box. A scene (package, saver,
// program or zip) opens; a picture or a sound is never read as a package:
// the page asks where it goes (the background, a new layer, the sound).
"use strict";

// What a file is, by its first bytes (or, when it is too short to tell, its
// name): "picture", "sound" or "scene". Only chooses where a file goes; the
// readers are the command line's.
async function droppedKind(file) {
  const head = new Uint8Array(await file.slice(0, 12).arrayBuffer());
  const starts = (...bytes) => bytes.every((b, i) => head[i] === b);
  if (starts(0x89, 0x50, 0x4e, 0x47) || starts(0xff, 0xd8, 0xff) || starts(0x47, 0x49, 0x46, 0x38) || starts(0x42, 0x4d))
    return "picture";
  if (starts(0x52, 0x49, 0x46, 0x46) && head[8] === 0x57 && head[9] === 0x41 && head[10] === 0x56 && head[11] === 0x45)
    return "sound";
  if (/\.(png|jpe?g|gif|bmp)$/i.test(file.name)) return "picture";
  if (/\.wav$/i.test(file.name)) return "sound";
  return "scene";
}

// Where files of `kind` may go: [label, what it does to the model given the
// files' names in the scene folder].
function dropChoices(kind, count) {
  if (kind === "sound") return [["the scene's sound", (m, names) => { m.sound = names[0]; }]];
  const choices = [["frames of a new layer", (m, names) => { (m.layer = m.layer || []).push({ frames: names }); }]];
  if (count === 1) {
    choices.push(["the background picture", (m, names) => { m.background = "picture"; m.picture = names[0]; delete m.tile; }]);
    choices.push(["the tiled background", (m, names) => { m.background = "tiled"; m.tile = names[0]; delete m.picture; }]);
  }
  return choices;
}

// Asks where the files go; resolves with the chosen action or null.
function askWhere(files, choices) {
  return new Promise((resolve) => {
    const dialog = document.createElement("dialog");
    dialog.id = "drop-ask";
    const names = files.map((f) => f.name).join(", ");
    const question = document.createElement("p");
    question.textContent = "Use " + names + " as:";
    dialog.append(question);
    const close = (value) => { dialog.close(); dialog.remove(); resolve(value); };
    for (const [label, apply] of choices) {
      const button = document.createElement("button");
      button.type = "button";
      button.textContent = label;
      button.onclick = () => close(apply);
      dialog.append(button, " ");
    }
    const cancel = document.createElement("button");
    cancel.type = "button";
    cancel.className = "cancel";
    cancel.textContent = "cancel";
    cancel.onclick = () => close(null);
    dialog.append(cancel);
    dialog.addEventListener("cancel", () => close(null));
    document.body.append(dialog);
    dialog.showModal();
  });
}

// hooks: open(files) opens a scene; form is the SceneForm; say(text, bad).
async function droppedOnPage(files, hooks) {
  if (!files.length) return;
  const kinds = await Promise.all(files.map(droppedKind));
  if (kinds[0] === "scene") {
    if (files.length > 1) hooks.say("open one scene at a time: " + files[0].name + " is opened", false);
    return hooks.open(files);
  }
  if (kinds.some((k) => k !== kinds[0])) {
    hooks.say("drop pictures or a sound, not both, or drop each on the setting it is for", true);
    return;
  }
  const apply = await askWhere(files, dropChoices(kinds[0], files.length));
  if (!apply) return;
  const form = hooks.form;
  form.hooks.addFiles(files, (names) => {
    apply(form.model, names);
    form.changed();
  });
}
