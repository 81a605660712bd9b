#!/usr/bin/env bash
# Writes a one-page PDF by ghostscript, one line of text in each font given (the fonts embedded as
# subsets), and beside it what poppler's pdffonts reads from it:
#   text-pdf.sh OUT.pdf POSTSCRIPT_NAME FONT_FILE TEXT [POSTSCRIPT_NAME FONT_FILE TEXT]...
# OUT.pdf.fonts lists the font names pdffonts reports, subset tags removed, one per line, sorted
# byte-wise, without duplicates.
set -euo pipefail
if [ $# -lt 4 ] || [ $(( ($# - 1) % 3 )) -ne 0 ]; then
    echo "usage: text-pdf.sh OUT.pdf POSTSCRIPT_NAME FONT_FILE TEXT [POSTSCRIPT_NAME FONT_FILE TEXT]..." >&2
    exit 2
fi
out=$1
shift
export LC_ALL=C
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Ghostscript finds the fonts through a font map of its own.
y=720
{
    echo '%!PS'
    echo '/line { exch findfont 13 scalefont setfont 72 exch moveto show } def'
} >"$work/text.ps"
while [ $# -gt 0 ]; do
    text=${3//\\/\\\\}
    text=${text//(/\\(}
    text=${text//)/\\)}
    echo "/$1 ($2) ;" >>"$work/Fontmap"
    echo "($text) /$1 $y line" >>"$work/text.ps"
    y=$((y - 20))
    shift 3
done
echo showpage >>"$work/text.ps"

gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -sFONTMAP="$work/Fontmap" -I"$work" \
    -sOutputFile="$out" "$work/text.ps"
# pdffonts: two header lines, then the name in the first column; drop "ABCDEF+" tags.
pdffonts "$out" | tail -n +3 | awk '{ print $1 }' | sed -E 's/^[A-Z]{6}\+//' | sort -u >"$out.fonts"
