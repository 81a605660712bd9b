// Judges a document whose font-usage slug was written, with independent readers only: exiftool
// for the XMP, ag-psd (through tests/data/psd-fonts.js and directly) for Photoshop documents,
// poppler's pdffonts for PDF documents.
//   node slug-judge.js DOCUMENT EXPECTATION.json
//   node slug-judge.js --all FOLDER      every FOLDER/*.expect.json, for the document beside it
// An expectation:
//   {"fonts": [{"PostScriptName": "...", ...}],   the slug, keys and values exactly
//    "original": "PATH",                          the document before any slug: the bytes outside
//                                                 the XMP must be its bytes
//    "before": "PATH",                            optional: the document may instead be exactly
//                                                 these bytes (a write that did not happen)
//    "xmp": {"XMP-pdf:Producer": "..."}}          optional: other XMP values that must be kept
// Paths are relative to the expectation's folder. Exit status 0 when every document passes.
'use strict';
const fs = require('fs');
const path = require('path');
const { execFileSync } = require('child_process');

const here = __dirname;
const psdFonts = path.join(here, '..', '..', 'data', 'psd-fonts.js');

function run(program, args) {
    return execFileSync(program, args, { encoding: 'latin1', maxBuffer: 256 * 1024 * 1024, stdio: ['ignore', 'pipe', 'pipe'] });
}

// exiftool's JSON prints numbers as they are in the file ("2.000"): keep them as text.
function exiftool(file) {
    const text = run('exiftool', ['-j', '-struct', '-G1', '-XMP:all', '-Warning', '-Error', file]);
    const quoted = text.replace(/^(\s*(?:"[^"]*": )?)(-?[0-9][0-9.eE+-]*)(,?)$/gm, '$1"$2"$3');
    return JSON.parse(Buffer.from(quoted, 'latin1').toString('utf8'))[0];
}

// A Photoshop document's parts: everything before the image resources, the resource blocks
// (ID and raw bytes), everything after them.
function photoshopParts(bytes) {
    const colorMode = bytes.readUInt32BE(26);
    const sectionStart = 30 + colorMode + 4;
    const sectionLength = bytes.readUInt32BE(30 + colorMode);
    const blocks = [];
    let at = sectionStart;
    const end = sectionStart + sectionLength;
    while (at < end) {
        const id = bytes.readUInt16BE(at + 4);
        const nameLength = bytes[at + 6];
        const sizeAt = at + 6 + ((1 + nameLength + 1) & ~1);
        const size = bytes.readUInt32BE(sizeAt);
        const next = Math.min(end, sizeAt + 4 + size + (size % 2));
        blocks.push({ id, bytes: bytes.subarray(at, next), data: bytes.subarray(sizeAt + 4, sizeAt + 4 + size) });
        at = next;
    }
    return { head: bytes.subarray(0, 30 + colorMode), blocks, rest: bytes.subarray(end) };
}

function judge(documentPath, expectationPath) {
    const problems = [];
    const expectation = JSON.parse(fs.readFileSync(expectationPath, 'utf8'));
    const folder = path.dirname(expectationPath);
    const bytes = fs.readFileSync(documentPath);
    if (expectation.before && bytes.equals(fs.readFileSync(path.join(folder, expectation.before)))) {
        return { state: 'as it was', problems };
    }
    const originalPath = path.join(folder, expectation.original);
    const original = fs.readFileSync(originalPath);

    const tags = exiftool(documentPath);
    for (const key of ['ExifTool:Warning', 'ExifTool:Error']) {
        if (tags[key]) problems.push(`exiftool says: ${tags[key]}`);
    }
    const own = tags['XMP-lmfu:Fonts'] || [];
    const paged = tags['XMP-xmpTPg:Fonts'] || [];
    const expected = expectation.fonts;
    const sameRecord = (a, b) => Object.keys(a).length === Object.keys(b).length &&
        Object.entries(b).every(([key, value]) => String(a[key]) === value);
    if (own.length !== expected.length || own.some((font, i) => !sameRecord(font, expected[i]))) {
        problems.push(`lmfu:Fonts is ${JSON.stringify(own)}, expected ${JSON.stringify(expected)}`);
    }
    const names = paged.map((font) => font.FontName);
    if (JSON.stringify(names) !== JSON.stringify(expected.map((font) => font.PostScriptName))) {
        problems.push(`xmpTPg:Fonts names ${JSON.stringify(names)}`);
    }
    for (let i = 0; i < Math.min(paged.length, expected.length); ++i) {
        const font = paged[i];
        const want = expected[i];
        if (String(font.Composite) !== 'false' || (want.Family && font.FontFamily !== want.Family) ||
            (want.Version && font.VersionString !== want.Version) ||
            (want.OutlineFileName && font.FontFileName !== want.OutlineFileName) || !font.FontFace || !font.FontType) {
            problems.push(`xmpTPg:Fonts item ${i + 1} is ${JSON.stringify(font)}`);
        }
    }
    for (const [key, value] of Object.entries(expectation.xmp || {})) {
        if (String(tags[key]) !== value) problems.push(`${key} is ${JSON.stringify(tags[key])}, expected ${JSON.stringify(value)}`);
    }

    if (original.subarray(0, 4).toString('latin1') === '8BPS') {
        const was = photoshopParts(original);
        const now = photoshopParts(bytes);
        if (!was.head.equals(now.head)) problems.push('the header or the color mode data changed');
        if (!was.rest.equals(now.rest)) problems.push('the layers or the image data changed');
        const others = (parts) => parts.blocks.filter((block) => block.id !== 1060);
        const a = others(was);
        const b = others(now);
        if (a.length !== b.length || a.some((block, i) => block.id !== b[i].id || !block.bytes.equals(b[i].bytes))) {
            problems.push('image resources other than 1060 changed');
        }
        const xmpBlocks = now.blocks.filter((block) => block.id === 1060);
        if (xmpBlocks.length !== 1) problems.push(`${xmpBlocks.length} XMP resources`);
        const fontsBefore = run('node', [psdFonts, 'read', originalPath]);
        const fontsNow = run('node', [psdFonts, 'read', documentPath]);
        if (fontsBefore !== fontsNow) problems.push(`ag-psd reads the fonts ${JSON.stringify(fontsNow)}, before ${JSON.stringify(fontsBefore)}`);
        const psd = require('ag-psd').readPsd(bytes, { skipLayerImageData: true, skipCompositeImageData: true, skipThumbnail: true });
        const xmp = psd.imageResources && psd.imageResources.xmpMetadata;
        if (!xmp || !xmp.includes('http://ns.lumorand.com/portolan/fontusage/1.0/') || !xmp.startsWith('<?xpacket begin=')) {
            problems.push('ag-psd reads no XMP packet with the font usage');
        }
    } else {
        if (!bytes.subarray(0, original.length).equals(original)) problems.push('the original is not a prefix of the document');
        const fontsBefore = run('pdffonts', [originalPath]);
        const fontsNow = run('pdffonts', [documentPath]);
        if (fontsBefore !== fontsNow) problems.push(`pdffonts says ${fontsNow}, before ${fontsBefore}`);
    }
    return { state: 'with the slug', problems };
}

const args = process.argv.slice(2);
let pairs = [];
if (args[0] === '--all' && args.length === 2) {
    pairs = fs.readdirSync(args[1]).filter((name) => name.endsWith('.expect.json')).sort()
        .map((name) => [path.join(args[1], name.slice(0, -'.expect.json'.length)), path.join(args[1], name)]);
    if (pairs.length === 0) {
        process.stderr.write(`no expectations in ${args[1]}\n`);
        process.exit(1);
    }
} else if (args.length === 2) {
    pairs = [[args[0], args[1]]];
} else {
    process.stderr.write('usage: node slug-judge.js DOCUMENT EXPECTATION.json | --all FOLDER\n');
    process.exit(2);
}
let failed = 0;
for (const [document, expectation] of pairs) {
    let result;
    try {
        result = judge(document, expectation);
    } catch (error) {
        result = { state: 'unreadable', problems: [String(error.message || error)] };
    }
    process.stdout.write(`${path.basename(document)}: ${result.state}${result.problems.length ? '' : ', good'}\n`);
    for (const problem of result.problems) process.stdout.write(`  ${problem}\n`);
    if (result.problems.length) ++failed;
}
process.stdout.write(`${pairs.length - failed} passed, ${failed} failed\n`);
process.exit(failed ? 1 : 0);
