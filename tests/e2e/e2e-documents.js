// Documents of the end-to-end scenarios, written by ag-psd (an independent PSD library); their text
// layers name fonts of the font manager's test catalog, the machine's own fonts and fonts nobody
// has.
//   node e2e-documents.js FOLDER
'use strict';
const { textLayer, writeDocuments } = require('../data/psd-text');

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
    // Two catalog fonts, and the two names Photoshop's text engine keeps for itself.
    'ledger.psd': [
        textLayer('Title', 'Tide tables', 'Carlito-Bold', [[4, 'AdobeInvisFont']]),
        textLayer('Table', 'High water', 'LiberationSerif-Italic', [[4, 'PhotoshopKinsokuHard']], 80),
    ],
    // A style the catalog lacks in a family it has, and a font nobody has.
    'unmatched.psd': [
        textLayer('Title', 'Old charts', 'Caladea-Black'),
        textLayer('Flourish', 'Here be dragons', 'Zapfino-Regular', [], 80),
    ],
};
// The first document as a large document.
documents['harbour.psb'] = documents['harbour.psd'];

const folder = process.argv[2];
if (!folder) {
    process.stderr.write('usage: node e2e-documents.js FOLDER\n');
    process.exit(2);
}
writeDocuments(folder, documents);
