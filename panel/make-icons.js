'use strict';
// Draws the panel's four menu icons (23 x 23 PNG, a compass-rose "L" mark) into
// com.lumorand.panel/icons/. Run with node after changing the drawing; the PNGs are committed.
// encodePng is also used by the browser tests' fake plug-in for its previews.

const fs = require('fs');
const path = require('path');
const zlib = require('zlib');

const SIZE = 23;
const OUT = path.join(__dirname, 'com.lumorand.panel', 'icons');

const CRC_TABLE = Array.from({ length: 256 }, (_, n) => {
    let c = n;
    for (let k = 0; k < 8; k++) {
        c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    }
    return c >>> 0;
});

function crc32(buf) {
    let c = 0xffffffff;
    for (const b of buf) {
        c = CRC_TABLE[(c ^ b) & 0xff] ^ (c >>> 8);
    }
    return (c ^ 0xffffffff) >>> 0;
}

function chunk(type, data) {
    const out = Buffer.alloc(12 + data.length);
    out.writeUInt32BE(data.length, 0);
    out.write(type, 4, 'ascii');
    data.copy(out, 8);
    out.writeUInt32BE(crc32(out.subarray(4, 8 + data.length)), 8 + data.length);
    return out;
}

// A PNG of 8-bit channels; colorType 4 is grey + alpha, 6 RGBA. rows: the filtered scanlines.
function encodePng(width, height, colorType, rows) {
    const ihdr = Buffer.alloc(13);
    ihdr.writeUInt32BE(width, 0);
    ihdr.writeUInt32BE(height, 4);
    ihdr[8] = 8;
    ihdr[9] = colorType;
    return Buffer.concat([
        Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
        chunk('IHDR', ihdr),
        chunk('IDAT', zlib.deflateSync(Buffer.concat(rows))),
        chunk('IEND', Buffer.alloc(0))
    ]);
}

// Coverage of the mark at a pixel, 0..1: a ring with an "L" inside.
function coverage(x, y) {
    const cx = (SIZE - 1) / 2;
    const r = Math.hypot(x - cx, y - cx);
    const ring = r >= 9 && r <= 10.6 ? 1 : 0;
    const stem = x >= 8 && x <= 9 && y >= 6 && y <= 16 ? 1 : 0;
    const foot = x >= 8 && x <= 15 && y >= 15 && y <= 16 ? 1 : 0;
    return Math.max(ring, stem, foot);
}

function icon(grey) {
    const rows = [];
    for (let y = 0; y < SIZE; y++) {
        const row = Buffer.alloc(1 + SIZE * 4);
        for (let x = 0; x < SIZE; x++) {
            row.writeUInt8(grey, 1 + x * 4);
            row.writeUInt8(grey, 2 + x * 4);
            row.writeUInt8(grey, 3 + x * 4);
            row.writeUInt8(Math.round(coverage(x, y) * 255), 4 + x * 4);
        }
        rows.push(row);
    }
    return encodePng(SIZE, SIZE, 6, rows);
}

module.exports = { encodePng };

if (require.main === module) {
    fs.mkdirSync(OUT, { recursive: true });
    // Light interface: a dark mark; dark interface: a light one. Roll-over is the stronger shade.
    const icons = {
        'icon-normal.png': 80,
        'icon-rollover.png': 20,
        'icon-dark-normal.png': 190,
        'icon-dark-rollover.png': 245
    };
    for (const [name, grey] of Object.entries(icons)) {
        fs.writeFileSync(path.join(OUT, name), icon(grey));
    }
}
