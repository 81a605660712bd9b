#!/usr/bin/env bash
# Writes the documents of the end-to-end scenarios:
#   make-e2e-documents.sh OUTDIR NODE_MODULES FONTS_DIR
# PSD files by ag-psd (e2e-documents.js), with NAME.fonts holding ag-psd's own reading of them; a
# copy of harbour.psd under a name with non-ASCII characters; harbour.pdf by ghostscript, set in the
# three fonts of harbour.psd (embedded subsets), with harbour.pdf.fonts from poppler's pdffonts.
set -euo pipefail
out=$1
node_modules=$2
fonts=$3
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
data=$(cd "$here/../data" && pwd)
export LC_ALL=C
[ -d "$node_modules/ag-psd" ] || { echo "ag-psd is missing in $node_modules: run scripts/setup" >&2; exit 1; }
[ -d "$fonts" ] || { echo "the test fonts are missing in $fonts: run scripts/setup" >&2; exit 1; }
rm -rf "$out"
mkdir -p "$out"
NODE_PATH=$node_modules node "$here/e2e-documents.js" "$out"
for file in "$out"/*.psd "$out"/*.psb; do
    NODE_PATH=$node_modules node "$data/psd-fonts.js" read "$file" >"$file.fonts"
done
cp "$out/harbour.psd" "$out/Küste 海図.psd"

# Ghostscript finds the fonts through a font map of its own.
work=$out/work
mkdir -p "$work"
cat >"$work/Fontmap" <<MAP
/Carlito-Bold ($fonts/fonts-crosextra-carlito/Carlito-Bold.ttf) ;
/LiberationSerif-Italic ($fonts/fonts-liberation/LiberationSerif-Italic.ttf) ;
/OpenSans-Semibold ($fonts/fonts-open-sans/OpenSans-Semibold.ttf) ;
MAP
cat >"$work/harbour.ps" <<'PS'
%!PS
/line { exch findfont 14 scalefont setfont 72 exch moveto show } def
(Harbour charts) /Carlito-Bold 720 line
(of the outer roads) /LiberationSerif-Italic 700 line
(Soundings in fathoms) /OpenSans-Semibold 680 line
showpage
PS
gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -sFONTMAP="$work/Fontmap" -I"$work" \
    -sOutputFile="$out/harbour.pdf" "$work/harbour.ps"
pdffonts "$out/harbour.pdf" | tail -n +3 | awk '{ print $1 }' | sed -E 's/^[A-Z]{6}\+//' | sort -u >"$out/harbour.pdf.fonts"
rm -rf "$work"
[ "$(cat "$out/harbour.pdf.fonts")" = "$(printf 'Carlito-Bold\nLiberationSerif-Italic\nOpenSans-Semibold')" ] ||
    { echo "pdffonts reads other fonts from harbour.pdf: $(cat "$out/harbour.pdf.fonts")" >&2; exit 1; }
echo "end-to-end documents written to $out"
