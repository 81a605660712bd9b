#!/usr/bin/env bash
# fontconfig's reading of font files, the oracle of the font reader's tests:
#   fc-scan-fonts.sh OUTFILE FOLDER...
# One line per face of every .ttf/.otf/.ttc file below the folders:
#   path|face index|PostScript name|first family|font format
set -euo pipefail
if [ $# -lt 2 ]; then
    echo "usage: fc-scan-fonts.sh OUTFILE FOLDER..." >&2
    exit 2
fi
out=$1
shift
command -v fc-scan >/dev/null || { echo "fc-scan is missing: run scripts/setup" >&2; exit 1; }
export LC_ALL=C
find "$@" -type f \( -iname '*.ttf' -o -iname '*.otf' -o -iname '*.ttc' \) -print0 | sort -z |
    xargs -0 -n 1 fc-scan --format '%{file}|%{index}|%{postscriptname}|%{family[0]}|%{fontformat}\n' >"$out.tmp"
[ -s "$out.tmp" ] || { echo "no fonts found in $*" >&2; exit 1; }
mv "$out.tmp" "$out"
echo "$(wc -l <"$out") faces described in $out"
