// Test PSD files written by ag-psd, an independent PSD library, and its own reading of them.
//   node psd-fonts.js write FOLDER   writes the test documents into FOLDER
//   node psd-fonts.js read FILE      prints the fonts of FILE's text layers as ag-psd reads
//                                    them (one per line, sorted, without duplicates)
'use strict';
const fs = require('fs');
const path = require('path');
const psd = require('ag-psd');

// A text layer: the whole text in `font`, with runs in other fonts where given.
function textLayer(name, text, font, runs = [], y = 40) {
    const layer = { name, text: { text, transform: [1, 0, 0, 1, 20, y], style: { font: { name: font }, fontSize: 18 } } };
    if (runs.length) {
        let used = 0;
        layer.text.styleRuns = runs.map(([length, runFont]) => {
            used += length;
            return { length, style: { font: { name: runFont } } };
        });
        // The rest of the text stays in the layer's own font.
        layer.text.styleRuns.push({ length: text.length - used, style: { font: { name: font } } });
    }
    return layer;
}

const documents = {
    'poster.psd': [
        textLayer('Title', 'Grand Opening Night', 'Times-Bold', [[6, 'Helvetica-BoldOblique']]),
        textLayer('Date', 'Saturday at eight', 'ArialMT', [], 80),
        textLayer('Fine print', 'Tickets at the door', 'Courier', [[7, 'Courier-Oblique'], [3, 'Palatino-Italic']], 120),
    ],
    'magazine.psd': [
        { name: 'Articles', children: [
            textLayer('Headline', 'Letters from the coast', 'MinionPro-Bold', [], 30),
            textLayer('Body', 'It was a quiet morning by the harbour', 'MinionPro-Regular', [[2, 'MinionPro-It']], 60),
        ] },
        textLayer('Masthead', 'PORTOLAN', 'Futura-CondensedExtraBold', [], 100),
    ],
    'single.psd': [textLayer('Only', 'One font only', 'Georgia')],
    'large.psb': [
        textLayer('A', 'Large document format', 'Optima-Regular', [[5, 'Optima-Bold']]),
        textLayer('B', 'second text layer', 'GillSans-Light', [], 90),
    ],
};

function write(folder) {
    fs.mkdirSync(folder, { recursive: true });
    for (const [file, children] of Object.entries(documents)) {
        const doc = { width: 320, height: 160, children };
        const buffer = psd.writePsdBuffer(doc, { psb: file.endsWith('.psb'), invalidateTextLayers: false });
        fs.writeFileSync(path.join(folder, file), buffer);
    }
}

function read(file) {
    const doc = psd.readPsd(fs.readFileSync(file), {
        skipLayerImageData: true, skipCompositeImageData: true, skipThumbnail: true, skipLinkedFilesData: true,
    });
    const fonts = new Set();
    const visit = (layers) => {
        for (const layer of layers || []) {
            if (layer.text) {
                const style = layer.text.style || {};
                if (style.font) fonts.add(style.font.name);
                for (const run of layer.text.styleRuns || []) {
                    if (run.style.font) fonts.add(run.style.font.name);
                }
            }
            visit(layer.children);
        }
    };
    visit(doc.children);
    const sorted = [...fonts].sort((a, b) => (Buffer.from(a) < Buffer.from(b) ? -1 : 1));
    process.stdout.write(sorted.map((f) => f + '\n').join(''));
}

const [mode, target] = process.argv.slice(2);
if (mode === 'write' && target) write(target);
else if (mode === 'read' && target) read(target);
else {
    process.stderr.write('usage: node psd-fonts.js write FOLDER | read FILE\n');
    process.exit(2);
}
