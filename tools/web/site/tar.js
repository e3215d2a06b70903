// One file in a gzip-compressed tar archive, with its mode: a program
// downloaded this way keeps its run bit, which a browser's plain download
// drops. Names longer than the header's 100 bytes, or not ASCII, go in a
// POSIX extended header ("path"), as tar programs read them.
"use strict";

const TAR_BLOCK = 512;

function tarHeader(name, size, mode, type, mtime) {
  const h = new Uint8Array(TAR_BLOCK);
  const put = (at, length, text) => {
    const bytes = new TextEncoder().encode(text);
    h.set(bytes.subarray(0, length), at);
  };
  const octal = (at, length, value) => put(at, length, value.toString(8).padStart(length - 1, "0") + "\0");
  put(0, 100, name);
  octal(100, 8, mode);
  octal(108, 8, 0);        // uid
  octal(116, 8, 0);        // gid
  octal(124, 12, size);
  octal(136, 12, mtime);
  h.fill(0x20, 148, 156);  // the checksum counts itself as spaces
  put(156, 1, type);
  put(257, 6, "ustar\0");
  put(263, 2, "00");
  let sum = 0;
  for (const b of h) sum += b;
  put(148, 8, sum.toString(8).padStart(6, "0") + "\0 ");
  return h;
}

function tarPadded(bytes) {
  const out = new Uint8Array(Math.ceil(bytes.length / TAR_BLOCK) * TAR_BLOCK);
  out.set(bytes);
  return out;
}

// A tar archive holding `bytes` as the file `name` with permission bits `mode`.
function tarOf(name, bytes, mode, mtime = Math.floor(Date.now() / 1000)) {
  const pieces = [];
  const encoded = new TextEncoder().encode(name);
  let shortName = name;
  if (encoded.length > 100 || /[^\x20-\x7e]/.test(name)) {
    // "LEN path=NAME\n", LEN counting itself.
    const body = " path=" + name + "\n";
    const bodyBytes = new TextEncoder().encode(body).length;
    let length = bodyBytes + 1;
    while (String(length).length + bodyBytes !== length) length = String(length).length + bodyBytes;
    const record = new TextEncoder().encode(length + body);
    pieces.push(tarHeader("PaxHeader", record.length, 0o644, "x", mtime), tarPadded(record));
    shortName = name.replace(/[^\x20-\x7e]/g, "_").slice(0, 100);
  }
  pieces.push(tarHeader(shortName, bytes.length, mode, "0", mtime), tarPadded(bytes));
  pieces.push(new Uint8Array(2 * TAR_BLOCK));  // the end: two empty blocks
  const total = pieces.reduce((n, p) => n + p.length, 0);
  const out = new Uint8Array(Math.ceil(total / (20 * TAR_BLOCK)) * 20 * TAR_BLOCK);  // whole 10 KiB records
  let at = 0;
  for (const p of pieces) { out.set(p, at); at += p.length; }
  return out;
}

// The browser's own gzip.
async function gzipped(bytes) {
  const stream = new Blob([bytes]).stream().pipeThrough(new CompressionStream("gzip"));
  return new Uint8Array(await new Response(stream).arrayBuffer());
}

function tarGz(name, bytes, mode) {
  return gzipped(tarOf(name, bytes, mode));
}
