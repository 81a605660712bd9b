// Test PSD files written by ag-psd, an independent PSD library, and its own reading of them.
//   node psd-fonts.js write FOLDER   writes the test documents into FOLDER
//   node psd-fonts.js read FILE      prints the fonts of FILE's text layers as ag-psd reads
//                                    them (one per line, sorted, without duplicates)
'use strict';
const fs = require('fs');
const psd = require('ag-psd');
const { textLayer, writeDocuments } = require('./psd-text');

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
if (mode === 'write' && target) writeDocuments(target, documents);
else if (mode === 'read' && target) read(target);
else {
    process.stderr.write('usage: node psd-fonts.js write FOLDER | read FILE\n');
    process.exit(2);
}
