// The scene's texts and their code page, through the command line's own C++
// (studio.cpp): the code page chosen for the texts, and texts stored as
// bytes shown as text, a byte with no character in the code page as \xNN.
"use strict";

function textCall(name, ...args) {
  const engine = studio.stage.engine;
  const status = engine.call(name, ...args);
  return { status, text: engine.output() };
}

function codePageOf(model) { return typeof model.codepage === "number" ? model.codepage : 932; }

let codePageList = null;
// [[932, "932 (Japanese, Shift-JIS)"], ...] in the order they are offered.
function codePages() {
  if (!codePageList) codePageList = JSON.parse(textCall("sg_codepage_labels").text);
  return codePageList;
}
function codePageLabel(page) {
  const found = codePages().find(([p]) => p === page);
  return found ? found[1] : String(page);
}

// The texts written as text: the title and the about lines.
function sceneTexts(model) {
  const texts = typeof model.title === "string" ? [model.title] : [];
  for (const line of model.about || []) {
    if (typeof line === "string") texts.push(line);
    else if (isTable(line) && typeof line.text === "string") texts.push(line.text);
  }
  return texts;
}

function hasByteTexts(model) {
  return model.title_bytes !== undefined || (model.about || []).some((l) => isTable(l) && l.bytes !== undefined);
}

// Puts into model.codepage the code page for its texts: the current one
// while it holds them all, else the first that does (932 first).
// { ok, note }: the note says what changed; when no code page holds every
// text, ok is false and the note names the characters that clash.
function chooseCodePage(model) {
  const current = codePageOf(model);
  const r = textCall("sg_codepage_choice", sceneTexts(model).join("\n"), String(current));
  if (r.status !== 0) return { ok: false, note: r.text };
  const { codepage, kept } = JSON.parse(r.text);
  if (kept) return { ok: true, note: "" };
  if (hasByteTexts(model))
    return { ok: false, note: "the texts need code page " + codePageLabel(codepage) + ", but texts given as bytes are in " +
      codePageLabel(current) + "; retype those texts (or remove their \\xNN bytes) first" };
  const was = typeof model.codepage === "number" ? model.codepage : undefined;  // not "auto"
  if (codepage === 932) delete model.codepage; else model.codepage = codepage;
  const now = codePageLabel(codepage);
  return { ok: true, note: was !== undefined
    ? "code page " + codePageLabel(was) + " does not hold every text; the texts are now in " + now + ", the first that holds them all"
    : "the texts are stored in code page " + now + ", the first that holds them all" };
}

// Bytes (hexadecimal) as text to edit, or null.
function textOfBytes(hex, page) {
  const r = textCall("sg_text_of_bytes", hex, String(page));
  return r.status === 0 ? r.text : null;
}

// Text typed where bytes were: { hex } or { why }.
function bytesOfText(text, page) {
  const r = textCall("sg_bytes_of_text", text, String(page));
  return r.status === 0 ? { hex: r.text } : { why: r.text };
}

// ---- the scene form's text fields ----

// The code page: a visible choice, which the page also makes for the user.
SceneForm.prototype.codePage = function (m) {
  const select = el("select", { name: "codepage", onchange: (e) => this.setKey(m, "codepage", Number(e.target.value)) },
    ...codePages().map(([page, label]) => el("option", { value: page, selected: codePageOf(m) === page }, label)));
  return this.field("codepage", "codepage", select);
};

// A text, or one stored as bytes (title_bytes, an about line's bytes) shown
// as text; typed text without a backslash goes back as text, with \xNN
// escapes as bytes.
SceneForm.prototype.byteText = function (setting, text, bytes, asText, asBytes) {
  const page = codePageOf(this.model);
  const shown = bytes === undefined ? text : textOfBytes(bytes, page) ?? bytes;
  return el("input", { type: "text", name: setting, value: shown ?? "",
    title: bytes === undefined ? "" : "a byte with no character in code page " + page + " shows as \\xNN",
    onchange: (e) => {
      const text = e.target.value;
      if (bytes === undefined || !text.includes("\\")) return asText(text);
      const got = bytesOfText(text, page);
      if (got.hex === undefined) return this.showProblems([{ setting, text: setting + ": " + got.why }]);
      asBytes(got.hex);
    } });
};

SceneForm.prototype.title = function (m) {
  const setting = m.title_bytes !== undefined ? "title_bytes" : "title";
  const input = this.byteText(setting, m.title, m.title_bytes,
    (text) => { delete m.title_bytes; this.setKey(m, "title", text); },
    (hex) => { delete m.title; this.setKey(m, "title_bytes", hex); });
  return this.field(setting, "title", input);
};
