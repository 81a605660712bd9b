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

bash "$data/text-pdf.sh" "$out/harbour.pdf" \
    Carlito-Bold "$fonts/fonts-crosextra-carlito/Carlito-Bold.ttf" "Harbour charts" \
    LiberationSerif-Italic "$fonts/fonts-liberation/LiberationSerif-Italic.ttf" "of the outer roads" \
    OpenSans-Semibold "$fonts/fonts-open-sans/OpenSans-Semibold.ttf" "Soundings in fathoms"
[ "$(cat "$out/harbour.pdf.fonts")" = "$(printf 'Carlito-Bold\nLiberationSerif-Italic\nOpenSans-Semibold')" ] ||
    { echo "pdffonts reads other fonts from harbour.pdf: $(cat "$out/harbour.pdf.fonts")" >&2; exit 1; }
echo "end-to-end documents written to $out"
