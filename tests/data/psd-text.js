// Text layers for test PSD files written by ag-psd, an independent PSD library.
'use strict';
const fs = require('fs');
const path = require('path');
const psd = require('ag-psd');

// A text layer: the whole text in `font`, with runs in other fonts where given ([length, font]
// pairs from the start of the text); the rest of the text stays in the layer's own font.
function textLayer(name, text, font, runs = [], y = 40) {
    const layer = { name, text: { text, transform: [1, 0, 0, 1, 20, y], style: { font: { name: font }, fontSize: 18 } } };
    if (runs.length) {
        let used = 0;
        layer.text.styleRuns = runs.map(([length, runFont]) => {
            used += length;
            return { length, style: { font: { name: runFont } } };
        });
        layer.text.styleRuns.push({ length: text.length - used, style: { font: { name: font } } });
    }
    return layer;
}

// Writes each document ({file name: layers}) into folder; names ending in .psb are large documents.
function writeDocuments(folder, documents) {
    fs.mkdirSync(folder, { recursive: true });
    for (const [file, children] of Object.entries(documents)) {
        const doc = { width: 320, height: 160, children };
        const buffer = psd.writePsdBuffer(doc, { psb: file.endsWith('.psb'), invalidateTextLayers: false });
        fs.writeFileSync(path.join(folder, file), buffer);
    }
}

module.exports = { textLayer, writeDocuments };
