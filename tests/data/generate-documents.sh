#!/usr/bin/env bash
# Writes the real test documents and what independent readers say about their fonts:
#   generate-documents.sh OUTDIR NODE_MODULES
# - PSD/PSB files with text layers, written by ag-psd; OUTDIR/NAME.fonts is ag-psd's reading of
#   their text styles.
# - PDF files made by ghostscript from PostScript programs in several fonts (embedded subsets,
#   so the font names carry "ABCDEF+" tags); OUTDIR/NAME.fonts is what poppler's pdffonts
#   reports, subset tags removed. One PDF is copied to .ai as well.
# Every .fonts file lists one name per line, sorted byte-wise, without duplicates.
set -euo pipefail
if [ $# -ne 2 ]; then
    echo "usage: generate-documents.sh OUTDIR NODE_MODULES" >&2
    exit 2
fi
out=$1
node_modules=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export LC_ALL=C

[ -d "$node_modules/ag-psd" ] || { echo "ag-psd is missing in $node_modules: run scripts/setup" >&2; exit 1; }
for tool in node gs pdffonts; do
    command -v $tool >/dev/null || { echo "$tool is missing: run scripts/setup" >&2; exit 1; }
done

rm -rf "$out"
mkdir -p "$out/work"

# PSD and PSB files.
NODE_PATH=$node_modules node "$here/psd-fonts.js" write "$out"
for file in "$out"/*.psd "$out"/*.psb; do
    NODE_PATH=$node_modules node "$here/psd-fonts.js" read "$file" >"$file.fonts"
done

# PostScript programs: each line of text in another font, over two pages for the first.
cat >"$out/work/letter.ps" <<'PS'
%!PS
/line { exch findfont 13 scalefont setfont 72 exch moveto show } def
(Dear reader,) /Times-Roman 720 line
(Portolan charts were drawn for sailors.) /Times-Bold 700 line
(They show coasts and harbours.) /Helvetica 680 line
(Rhumb lines cross every chart.) /Courier-BoldOblique 660 line
showpage
(Second page in italic.) /Times-Italic 720 line
(And once more in Helvetica.) /Helvetica 700 line
showpage
PS
cat >"$out/work/catalog.ps" <<'PS'
%!PS
/line { exch findfont 13 scalefont setfont 72 exch moveto show } def
(Palatino for the titles) /Palatino-Roman 720 line
(Bookman for the notes) /Bookman-Light 700 line
(Century Schoolbook italic) /NewCenturySchlbk-Italic 680 line
(Avant Garde book) /AvantGarde-Book 660 line
(Chancery flourish) /ZapfChancery-MediumItalic 640 line
(abgd) /Symbol 620 line
showpage
PS
for name in letter catalog; do
    gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -dPDFSETTINGS=/prepress \
        -sOutputFile="$out/$name.pdf" "$out/work/$name.ps"
    # pdffonts: two header lines, then the name in the first column; drop "ABCDEF+" tags.
    pdffonts "$out/$name.pdf" | tail -n +3 | awk '{ print $1 }' | sed -E 's/^[A-Z]{6}\+//' | sort -u >"$out/$name.pdf.fonts"
done
cp "$out/letter.pdf" "$out/letter.ai"
cp "$out/letter.pdf.fonts" "$out/letter.ai.fonts"

rm -rf "$out/work"
for file in "$out"/*.fonts; do
    [ -s "$file" ] || { echo "no fonts reported for ${file%.fonts}" >&2; exit 1; }
done
echo "test documents written to $out"
