#!/usr/bin/env bash
# The font-usage slug: a document saved in Photoshop gets the identification data of its fonts in
# its XMP (written by the font manager's core at the plug-in's request), which exiftool reads
# back, from PSD and PSB files by ag-psd and a PDF by ghostscript; the bytes outside the XMP stay
# as they were (a PDF's original bytes stay its first bytes). Saved with font identification off,
# the slug is emptied. A document saved where the catalog held version 1.000 of a font, opened
# where it holds 1.000 and 2.000, gets 1.000 activated; a document without a slug gets the newer
# one.
source "$(dirname "$0")/e2e-lib.sh"

work=$E2E_ROOT/work
rm -rf "$work"
mkdir -p "$work/v1" "$work/v2"
node "$E2E_REPO/tests/e2e/font-version.js" "$E2E_FONTS/fonts-crosextra-carlito/Carlito-Bold.ttf" "$work/v1/Carlito-Bold.ttf" 1.000
node "$E2E_REPO/tests/e2e/font-version.js" "$E2E_FONTS/fonts-crosextra-carlito/Carlito-Bold.ttf" "$work/v2/Carlito-Bold.ttf" 2.000
for name in harbour.psd harbour.psb harbour.pdf ledger.psd; do
    cp "$E2E_DOCUMENTS/$name" "$work/$name"
done

# Opens each document, waits for its fonts, saves it in place and quits.
open_save_quit() { # FONTS-JSON DOCUMENT...
    local fonts=$1 document steps=""
    shift
    for document in "$@"; do
        steps+="{\"do\": \"open\", \"path\": \"$(jsonpath "$document")\", \"missingFontsDialog\": false},
  {\"do\": \"wait-until\", \"timeoutMs\": 3000, \"condition\": {\"do\": \"expect-installed\", \"fonts\": $fonts, \"installed\": true}},
  {\"do\": \"save\", \"document\": \"$(basename "$document")\"},
  {\"do\": \"wait\", \"ms\": 300},
"
    done
    e2e_play <<JSON
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "wait", "ms": 1200},
  $steps
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
}

e2e_layout --case saved
e2e_default_core_config
e2e_install_core
e2e_preferences
open_save_quit '["Carlito-Bold", "LiberationSerif-Italic"]' "$work/harbour.psd" "$work/harbour.psb" \
    "$work/harbour.pdf" "$work/ledger.psd"
e2e_expect "$E2E_DIR/plugin.log" 'WriteXMPFaceTraceSlugToFile\(\) returning 0' 4
e2e_slug_check "$work/harbour.psd" "$E2E_DOCUMENTS/harbour.psd" "$E2E_FONTS" Carlito-Bold LiberationSerif-Italic OpenSans-Semibold
e2e_slug_check "$work/harbour.psb" "$E2E_DOCUMENTS/harbour.psb" "$E2E_FONTS" Carlito-Bold LiberationSerif-Italic OpenSans-Semibold
e2e_slug_check "$work/harbour.pdf" "$E2E_DOCUMENTS/harbour.pdf" "$E2E_FONTS" Carlito-Bold LiberationSerif-Italic OpenSans-Semibold
# The text engine's own names are no fonts to record.
e2e_slug_check "$work/ledger.psd" "$E2E_DOCUMENTS/ledger.psd" "$E2E_FONTS" Carlito-Bold LiberationSerif-Italic

e2e_layout --case identification-off
e2e_default_core_config
e2e_install_core
e2e_preferences EnableFaceTrace=false
cp "$work/harbour.psd" "$work/emptied.psd"
open_save_quit '["Carlito-Bold"]' "$work/emptied.psd"
e2e_expect "$E2E_DIR/plugin.log" 'Entering RemoveAllFaceTraceSlugsForDocument' 1
e2e_slug_check "$work/emptied.psd" "$E2E_DOCUMENTS/harbour.psd" "$E2E_FONTS"

# The version round trip: Carlito-Bold 1.000 and 2.000 under the same PostScript name.
versions_config() { # FOLDER...
    local folders="" folder
    for folder in "$@" "$E2E_FONTS/fonts-liberation" "$E2E_FONTS/fonts-open-sans"; do
        folders+="${folders:+, }\"$(jsonpath "$folder")\""
    done
    e2e_core_config <<JSON
{"fontFolders": [$folders], "systemFonts": true}
JSON
}
# The file the core has Carlito-Bold active from.
active_carlito() { awk -F'\t' '$1 == "Carlito-Bold" { print $2 }' "$E2E_DIR/Lumorand/config/system-font-table.txt" | tr -d '\r'; }
expect_carlito_from() { # VERSION-FOLDER
    local file
    file=$(active_carlito)
    [ "$file" = "$(winpath "$work/$1/Carlito-Bold.ttf")" ] || e2e_fail "Carlito-Bold active from '$file', expected the $1 file"
}

cp "$E2E_DOCUMENTS/harbour.psd" "$work/versions.psd"
cp "$E2E_DOCUMENTS/harbour.psd" "$work/no-slug.psd"
e2e_layout --case saved-with-1.000
versions_config "$work/v1"
e2e_install_core
e2e_preferences
open_save_quit '["Carlito-Bold"]' "$work/versions.psd"
e2e_slug_check "$work/versions.psd" "$E2E_DOCUMENTS/harbour.psd" "$E2E_FONTS" Carlito-Bold LiberationSerif-Italic OpenSans-Semibold

# Opened where both versions are in the catalog; the fonts stay active after the quit, so that
# the file they are active from can be read.
for document in versions no-slug; do
    e2e_layout --case "$document-opened-with-both"
    versions_config "$work/v1" "$work/v2"
    e2e_install_core
    e2e_preferences CloseFontsOnHostAppQuit=false
    e2e_play <<JSON
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "open", "path": "$(jsonpath "$work/$document.psd")", "missingFontsDialog": false},
  {"do": "wait-until", "timeoutMs": 3000, "condition": {"do": "expect-installed", "fonts": ["Carlito-Bold"], "installed": true}},
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
    if [ $document = versions ]; then
        expect_carlito_from v1
        e2e_expect "$E2E_DIR/Lumorand/config/typehold.log" 'its slug identifies Carlito-Bold as font'
    else
        expect_carlito_from v2
    fi
    e2e_stop_core
done
e2e_finish
