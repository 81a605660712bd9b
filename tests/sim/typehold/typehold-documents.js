// PSD files whose text layers name the fonts of the font manager tests, written by ag-psd (an
// independent PSD library).
//   node typehold-documents.js FOLDER NAMES_FILE
// writes FOLDER/studio.psd (fonts of the catalog, a system font, two missing fonts), the same as
// a large document FOLDER/studio.psb, and FOLDER/fifty.psd (one text layer per name of
// NAMES_FILE, one name per line).
'use strict';
const fs = require('fs');
const path = require('path');
const psd = require('ag-psd');

// A text layer in `font`, with runs in other fonts where given ([length, font] pairs).
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

function write(file, children) {
    const buffer = psd.writePsdBuffer({ width: 320, height: 40 + 20 * children.length, children },
        { invalidateTextLayers: false, psb: file.endsWith('.psb') });
    fs.writeFileSync(file, buffer);
}

const [folder, namesFile] = process.argv.slice(2);
if (!folder || !namesFile) {
    process.stderr.write('usage: node typehold-documents.js FOLDER NAMES_FILE\n');
    process.exit(2);
}
fs.mkdirSync(folder, { recursive: true });
const studio = () => [
    textLayer('Title', 'Charts of the coast', 'Carlito-Bold', [[6, 'LiberationSerif-Italic']]),
    textLayer('Body', 'Harbours and capes and shoals', 'DejaVuSans-Bold', [[8, 'Cantarell-Regular'], [4, 'Caladea-Black']], 80),
    textLayer('Note', 'Drawn by hand', 'Zapfino-Regular', [[5, 'OpenSans-Semibold']], 120),
];
write(path.join(folder, 'studio.psd'), studio());
write(path.join(folder, 'studio.psb'), studio());
const names = fs.readFileSync(namesFile, 'utf8').split('\n').filter((name) => name.length > 0);
write(path.join(folder, 'fifty.psd'), names.map((name, i) => textLayer(`Layer ${i}`, `Sample ${i}`, name, [], 30 + 20 * i)));
