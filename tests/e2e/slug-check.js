// Checks a document the plug-in saved, with independent readers only (exiftool, and ag-psd and
// the byte comparison of ../sim/typehold/slug-judge.js):
//   node slug-check.js DOCUMENT ORIGINAL FONT_FOLDER [NAME...]
// - the font-usage slug names exactly the fonts NAME... (none: the slug is empty), in both the
//   paged-text schema and the font manager's own namespace;
// - each record holds exactly the keys that may be written into a document, and its file name and
//   size are those of a font file of that name below FONT_FOLDER;
// - everything outside the XMP is ORIGINAL's bytes, and ag-psd still reads the same fonts.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const { execFileSync } = require('child_process');

const kSlugKeys = ['PostScriptName', 'FontKind', 'Foundry', 'Version', 'KerningChecksum', 'Checksum',
    'FaceTrace_1.2_Checksum', 'OutlineFileSize', 'OutlineFileName', 'Family'];

const [documentPath, originalPath, fontFolder, ...names] = process.argv.slice(2);
if (!fontFolder) {
    process.stderr.write('usage: node slug-check.js DOCUMENT ORIGINAL FONT_FOLDER [NAME...]\n');
    process.exit(2);
}
const problems = [];

// exiftool's JSON prints numbers as they are in the file: keep them as text.
const text = execFileSync('exiftool', ['-j', '-struct', '-G1', '-XMP:all', documentPath], { encoding: 'latin1' });
const tags = JSON.parse(Buffer.from(text.replace(/^(\s*(?:"[^"]*": )?)(-?[0-9][0-9.eE+-]*)(,?)$/gm, '$1"$2"$3'),
    'latin1').toString('utf8'))[0];
const own = tags['XMP-lmfu:Fonts'] || [];
const paged = tags['XMP-xmpTPg:Fonts'] || [];
const sorted = (list) => [...list].sort();
if (JSON.stringify(sorted(own.map((font) => font.PostScriptName))) !== JSON.stringify(sorted(names))) {
    problems.push(`lmfu:Fonts names ${JSON.stringify(own.map((font) => font.PostScriptName))}, expected ${JSON.stringify(names)}`);
}
if (JSON.stringify(paged.map((font) => font.FontName)) !== JSON.stringify(own.map((font) => font.PostScriptName))) {
    problems.push(`xmpTPg:Fonts names ${JSON.stringify(paged.map((font) => font.FontName))}`);
}

// The font files below the folder, by file name.
const files = new Map();
const visit = (folder) => {
    for (const entry of fs.readdirSync(folder, { withFileTypes: true })) {
        const full = path.join(folder, entry.name);
        if (entry.isDirectory()) visit(full);
        else files.set(entry.name, (files.get(entry.name) || []).concat(full));
    }
};
visit(fontFolder);
for (const font of own) {
    const keys = Object.keys(font);
    if (JSON.stringify(sorted(keys)) !== JSON.stringify(sorted(kSlugKeys))) {
        problems.push(`${font.PostScriptName} has the keys ${JSON.stringify(keys)}`);
    }
    const sizes = (files.get(font.OutlineFileName) || []).map((file) => String(fs.statSync(file).size));
    if (!sizes.includes(String(font.OutlineFileSize))) {
        problems.push(`${font.PostScriptName}: no font file ${font.OutlineFileName} of ${font.OutlineFileSize} bytes`);
    }
}

// Bytes outside the XMP, ag-psd's reading and the paged-text records: the slug judge, with the
// records as read.
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'slug-check-'));
const expectation = path.join(scratch, 'document.expect.json');
fs.writeFileSync(expectation, JSON.stringify({ fonts: own, original: path.relative(scratch, path.resolve(originalPath)) }));
try {
    execFileSync('node', [path.join(__dirname, '..', 'sim', 'typehold', 'slug-judge.js'), path.resolve(documentPath),
        expectation], { encoding: 'utf8' });
} catch (error) {
    problems.push(`slug judge: ${String(error.stdout || error.message).trim()}`);
}
fs.rmSync(scratch, { recursive: true, force: true });

process.stdout.write(`${path.basename(documentPath)}: ${own.length} font(s) in the slug${problems.length ? '' : ', good'}\n`);
for (const problem of problems) process.stdout.write(`  ${problem}\n`);
process.exit(problems.length ? 1 : 0);
