// Writes another version of a TrueType or OpenType font: the same font whose head table revision
// and version string (name ID 5, "Version X.YYY") say VERSION instead (same length as before).
//   node font-version.js SOURCE DESTINATION VERSION     e.g. VERSION 1.000
'use strict';
const fs = require('fs');

const [source, destination, version] = process.argv.slice(2);
if (!version || !/^[0-9]\.[0-9]{3}$/.test(version)) {
    process.stderr.write('usage: node font-version.js SOURCE DESTINATION VERSION (d.ddd)\n');
    process.exit(2);
}
const font = fs.readFileSync(source);
const tables = new Map();
for (let i = 0, count = font.readUInt16BE(4); i < count; ++i) {
    const record = 12 + 16 * i;
    tables.set(font.toString('latin1', record, record + 4), { offset: font.readUInt32BE(record + 8), length: font.readUInt32BE(record + 12) });
}
const head = tables.get('head');
const name = tables.get('name');
if (!head || !name) {
    process.stderr.write(`${source}: no head or name table\n`);
    process.exit(1);
}
font.writeUInt32BE(Math.round(parseFloat(version) * 65536), head.offset + 4);

// Every name ID 5 string: its first "d.ddd" becomes the version, in one-byte or UTF-16BE text.
const storage = name.offset + font.readUInt16BE(name.offset + 4);
let replaced = 0;
for (let i = 0, count = font.readUInt16BE(name.offset + 2); i < count; ++i) {
    const record = name.offset + 6 + 12 * i;
    if (font.readUInt16BE(record + 6) !== 5) continue;
    const start = storage + font.readUInt16BE(record + 10);
    const length = font.readUInt16BE(record + 8);
    const wide = font.readUInt16BE(record) !== 1; // platform 1 (Macintosh) is one byte a character
    const string = wide ? font.subarray(start, start + length).swap16().toString('utf16le') : font.toString('latin1', start, start + length);
    if (wide) font.subarray(start, start + length).swap16();
    const at = string.search(/[0-9]\.[0-9]{3}/);
    if (at < 0) continue;
    const changed = string.slice(0, at) + version + string.slice(at + version.length);
    const bytes = wide ? Buffer.from(changed, 'utf16le').swap16() : Buffer.from(changed, 'latin1');
    bytes.copy(font, start);
    ++replaced;
}
if (replaced === 0) {
    process.stderr.write(`${source}: no version string to change\n`);
    process.exit(1);
}
fs.writeFileSync(destination, font);
