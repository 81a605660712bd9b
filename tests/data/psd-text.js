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

// Writes one document of the given layers; a file name ending in .psb makes a large document.
function writeDocument(file, children, height = 160) {
    const buffer = psd.writePsdBuffer({ width: 320, height, children },
        { psb: file.endsWith('.psb'), invalidateTextLayers: false });
    fs.writeFileSync(file, buffer);
}

// Writes each document ({file name: layers}) into folder.
function writeDocuments(folder, documents) {
    fs.mkdirSync(folder, { recursive: true });
    for (const [file, children] of Object.entries(documents)) {
        writeDocument(path.join(folder, file), children);
    }
}

module.exports = { textLayer, writeDocument, writeDocuments };
