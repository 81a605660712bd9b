#!/usr/bin/env bash
# Writes the documents of the font manager tests, naming fonts of the test catalog:
#   make-documents.sh OUTDIR NODE_MODULES FONTS_DIR
# - studio.psd, studio.psb and fifty.psd by ag-psd; OUTDIR/NAME.fonts is ag-psd's own reading of
#   them.
# - letter.pdf by ghostscript from a PostScript program set in test fonts (embedded subsets);
#   letter.pdf.fonts is what poppler's pdffonts reports, subset tags removed. letter.ai is a copy.
# - fifty.names: the 50 PostScript names fifty.psd uses (test fonts and URW base 35, per fc-scan).
# Every .fonts file lists one name per line, sorted byte-wise, without duplicates.
set -euo pipefail
if [ $# -ne 3 ]; then
    echo "usage: make-documents.sh OUTDIR NODE_MODULES FONTS_DIR" >&2
    exit 2
fi
out=$1
node_modules=$2
fonts=$3
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
data=$(cd "$here/../../data" && pwd)
urw=/usr/share/fonts/opentype/urw-base35
export LC_ALL=C

[ -d "$node_modules/ag-psd" ] || { echo "ag-psd is missing in $node_modules: run scripts/setup" >&2; exit 1; }
[ -d "$fonts" ] || { echo "the test fonts are missing in $fonts: run scripts/setup" >&2; exit 1; }
for tool in node gs pdffonts fc-scan; do
    command -v $tool >/dev/null || { echo "$tool is missing: run scripts/setup" >&2; exit 1; }
done

rm -rf "$out"
mkdir -p "$out"

fc-scan --format "%{postscriptname}\n" "$fonts" "$urw" | sort -u | head -n 50 >"$out/fifty.names"
[ "$(wc -l <"$out/fifty.names")" -eq 50 ] || { echo "fewer than 50 fonts in $fonts and $urw" >&2; exit 1; }

NODE_PATH=$node_modules node "$here/typehold-documents.js" "$out" "$out/fifty.names"
for file in "$out"/*.psd "$out"/*.psb; do
    NODE_PATH=$node_modules node "$data/psd-fonts.js" read "$file" >"$file.fonts"
done

bash "$data/text-pdf.sh" "$out/letter.pdf" \
    LiberationSans-Bold "$fonts/fonts-liberation/LiberationSans-Bold.ttf" "Dear reader," \
    Carlito-Italic "$fonts/fonts-crosextra-carlito/Carlito-Italic.ttf" "the charts are ready." \
    EBGaramond12-Regular "$fonts/fonts-ebgaramond/EBGaramond12-Regular.otf" "With regards from the harbour"
cp "$out/letter.pdf" "$out/letter.ai"
cp "$out/letter.pdf.fonts" "$out/letter.ai.fonts"

for file in "$out"/*.fonts; do
    [ -s "$file" ] || { echo "no fonts reported for ${file%.fonts}" >&2; exit 1; }
done
echo "font manager test documents written to $out"
