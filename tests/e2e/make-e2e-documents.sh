#!/usr/bin/env bash
# Writes the documents of the end-to-end scenarios:
#   make-e2e-documents.sh OUTDIR NODE_MODULES
# PSD files by ag-psd (e2e-documents.js), with NAME.fonts holding ag-psd's own reading of them, and
# a copy of harbour.psd under a name with non-ASCII characters.
set -euo pipefail
out=$1
node_modules=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
data=$(cd "$here/../data" && pwd)
export LC_ALL=C
[ -d "$node_modules/ag-psd" ] || { echo "ag-psd is missing in $node_modules: run scripts/setup" >&2; exit 1; }
rm -rf "$out"
mkdir -p "$out"
NODE_PATH=$node_modules node "$here/e2e-documents.js" "$out"
for file in "$out"/*.psd "$out"/*.psb; do
    NODE_PATH=$node_modules node "$data/psd-fonts.js" read "$file" >"$file.fonts"
done
cp "$out/harbour.psd" "$out/Küste 海図.psd"
echo "end-to-end documents written to $out"
