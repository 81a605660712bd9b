// Documents of the end-to-end scenarios, written by ag-psd (an independent PSD library); their text
// layers name fonts of the font manager's test catalog, the machine's own fonts and fonts nobody
// has.
//   node e2e-documents.js FOLDER
'use strict';
const fs = require('fs');
const path = require('path');
const psd = require('ag-psd');

// A text layer in `font`, with runs in other fonts ([length, font] pairs).
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

const documents = {
    // Three catalog fonts.
    'harbour.psd': [
        textLayer('Title', 'Harbour charts', 'Carlito-Bold', [[7, 'LiberationSerif-Italic']]),
        textLayer('Note', 'Soundings in fathoms', 'OpenSans-Semibold', [], 80),
    ],
    // Shares Carlito-Bold with harbour.psd; one catalog font of its own and a font of the machine.
    'coast.psd': [
        textLayer('Title', 'The coast road', 'Carlito-Bold', [[4, 'Caladea-Regular']]),
        textLayer('Legend', 'Lighthouses', 'DejaVuSans', [], 80),
    ],
    // A style the catalog lacks in a family it has, and a font nobody has.
    'unmatched.psd': [
        textLayer('Title', 'Old charts', 'Caladea-Black'),
        textLayer('Flourish', 'Here be dragons', 'Zapfino-Regular', [], 80),
    ],
};

const folder = process.argv[2];
if (!folder) {
    process.stderr.write('usage: node e2e-documents.js FOLDER\n');
    process.exit(2);
}
fs.mkdirSync(folder, { recursive: true });
for (const [file, children] of Object.entries(documents)) {
    const buffer = psd.writePsdBuffer({ width: 320, height: 160, children }, { invalidateTextLayers: false });
    fs.writeFileSync(path.join(folder, file), buffer);
}
