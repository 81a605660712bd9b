// PSD files whose text layers name the fonts of the font manager tests, written by ag-psd (an
// independent PSD library).
//   node typehold-documents.js FOLDER NAMES_FILE
// writes FOLDER/studio.psd (fonts of the catalog, a system font, two missing fonts), the same as
// a large document FOLDER/studio.psb, and FOLDER/fifty.psd (one text layer per name of
// NAMES_FILE, one name per line).
'use strict';
const fs = require('fs');
const path = require('path');
const { textLayer, writeDocument } = require('../../data/psd-text');

// Room for every layer.
const write = (file, children) => writeDocument(file, children, 40 + 20 * children.length);

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
