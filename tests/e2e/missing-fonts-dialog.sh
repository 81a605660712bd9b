#!/usr/bin/env bash
# Photoshop's "Missing Fonts" dialog in each of its languages, and its missing-fonts message box,
# while the plug-in activates a document's fonts: the plug-in closes them (Escape to the dialog and
# its cancel button, Return to the message box and its first button), two seconds or more after
# the opening began; an attempt that found nothing holds the next step back five seconds; a
# document with a font nobody has keeps its dialog; and another program's "Missing Fonts" window
# gets no key at all.
#
# Three Photoshop runs: German (with French, Spanish, Portuguese and Italian documents opened in
# the same run), Japanese (with the document that keeps its dialog), English (the message box, the
# other program's window and the attempt that finds nothing).
source "$(dirname "$0")/e2e-lib.sh"

started=$SECONDS
log() { echo "$E2E_DIR/plugin.log"; }

# One document per language, each in a catalog font of its own (an opened document's font is
# active afterwards, so no two documents of a run may share one).
documents=$E2E_ROOT/documents
rm -rf "$documents"
NODE_PATH=${PORTOLAN_DEPS_DIR:-$E2E_REPO/.deps}/node/node_modules node -e '
const { textLayer, writeDocuments } = require(process.argv[1]);
const fonts = { en: "LiberationSerif-Bold", de: "Carlito-Italic", fr: "Caladea-Regular", es: "Caladea-Italic",
    pt: "Caladea-Bold", it: "OpenSans-Italic", ja: "Carlito-BoldItalic", quiet: "OpenSans-Bold" };
const documents = {};
for (const [name, font] of Object.entries(fonts)) {
    documents[`${name}.psd`] = [textLayer("Title", "Sailing directions", font)];
}
writeDocuments(process.argv[2], documents);
' "$E2E_REPO/tests/data/psd-text.js" "$documents"
doc() { jsonpath "$documents/$1.psd"; }

# Seconds of the day of a log line's time stamp ("[2026-12-07T11:00:07.123Z] ...").
stamp() { sed -E 's/^\[[0-9-]+T([0-9]+):([0-9]+):([0-9.]+)Z\].*/\1 \2 \3/' | awk '{ printf "%.3f\n", $1 * 3600 + $2 * 60 + $3 }'; }

# The dialog of DOCUMENT (a file name) was closed by the plug-in: the stand-in's record of its
# title, button and keys; the plug-in's log lines for it (TITLE_FOUND: the text the plug-in looks
# for, when the title says more); and the hold: the attempt came two seconds or more after the
# document was found open (and, generously, within 20 s).
expect_closed() { # DOCUMENT TITLE BUTTON [TITLE_FOUND]
    local document=$1 title=$2 button=$3 found_title=${4:-$2}
    e2e_expect "$E2E_DIR/photoshop.txt" "^missing-fonts dialog for \"$document\" \([0-9]+\): title \"$title\", button \"$button\"$" 1
    e2e_expect "$E2E_DIR/photoshop.txt" "^missing-fonts dialog for \"$document\" \([0-9]+\) closed by Escape posted to the window; fonts all installed: yes$" 1
    e2e_expect "$E2E_DIR/photoshop.txt" "^key message to the missing-fonts dialog for \"$document\" \([0-9]+\), its button \"$button\": down Escape \(closed by then\)$" 1
    # The log lines of this document: from its detection to the next detection (or the end).
    local lines found closing
    lines=$(awk -v doc="$document" '/Newly opened document detected/ { on = index($0, doc) > 0 } on' "$(log)")
    [ "$(grep -c "Pressing button titled '$button'" <<<"$lines")" -eq 1 ] ||
        e2e_fail "$document: no single \"Pressing button titled '$button'\" in the log"
    found=$(grep -m1 'Newly opened document detected' <<<"$lines" | stamp || true)
    closing=$(grep -m1 "Forcibly closing HWND 0x[0-9a-f]* (title='$found_title', text='')" <<<"$lines" | stamp || true)
    if [ -z "$found" ] || [ -z "$closing" ]; then
        e2e_fail "$document: no detection or no closing of '$found_title' in the log"
    else
        awk -v a="$found" -v b="$closing" 'BEGIN { exit !(b - a >= 2 && b - a < 20) }' ||
            e2e_fail "$document: the dialog was closed $(awk -v a="$found" -v b="$closing" 'BEGIN { print b - a }') s after the document was found open, expected 2 s or more"
    fi
}

# --- German, then French, Spanish, Portuguese and Italian documents -----------------------------
e2e_layout --case de-fr-es-pt-it
e2e_default_core_config
e2e_install_core
steps=''
for language in de fr es pt it; do
    steps+="
  {\"do\": \"open\", \"path\": \"$(doc $language)\", \"language\": \"$language\"},
  {\"do\": \"expect-dialogs\", \"open\": 1},
  {\"do\": \"wait-until\", \"timeoutMs\": 20000, \"condition\": {\"do\": \"expect-dialogs\", \"open\": 0}},
  {\"do\": \"wait\", \"ms\": 100},
  {\"do\": \"expect-dialog-keys\", \"document\": \"$language.psd\", \"closedBy\": \"Escape posted to the window\",
    \"window\": [\"down Escape\", \"up Escape\"], \"button\": [\"down Escape\", \"up Escape\"]},"
done
e2e_play --language de <<JSON
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},$steps
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
expect_closed de.psd 'Fehlende Schriften' Abbrechen
expect_closed fr.psd 'Polices manquantes' Annuler
expect_closed es.psd 'Fuentes no disponibles' Cancelar
expect_closed pt.psd 'Fontes ausentes' Cancelar
expect_closed it.psd 'Font mancanti' Annulla
echo "-- $((SECONDS - started)) s"

# --- Japanese; a document with a font nobody has keeps its dialog -------------------------------
e2e_layout --case ja-unmatched
e2e_default_core_config
e2e_install_core
e2e_preferences PickBestMatch=false
e2e_ui_script <<'UI'
resolvefonts pick Caladea-Black=2
UI
e2e_play --language ja <<JSON
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "open", "path": "$(doc ja)"},
  {"do": "wait-until", "timeoutMs": 20000, "condition": {"do": "expect-dialogs", "open": 0}},
  {"do": "wait", "ms": 100},
  {"do": "expect-dialog-keys", "document": "ja.psd", "closedBy": "Escape posted to the window",
    "window": ["down Escape", "up Escape"], "button": ["down Escape", "up Escape"]},
  {"do": "open", "path": "$(jsonpath "$E2E_DOCUMENTS/unmatched.psd")"},
  {"do": "wait", "ms": 8000},
  {"do": "expect-dialogs", "open": 1},
  {"do": "expect-dialog-keys", "document": "unmatched.psd", "closedBy": null, "window": [], "button": []},
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
expect_closed ja.psd '見つからないフォント' 'キャンセル' 'フォント'
e2e_expect "$(log)" 'Not suppressing because this document has missing fonts\.'
e2e_expect "$E2E_DIR/photoshop.txt" '^missing-fonts dialog for "unmatched.psd" \([0-9]+\) still open at the end$' 1
echo "-- $((SECONDS - started)) s"

# --- English: the message box, another program's window, an attempt that finds nothing ---------
e2e_layout --case en-message-box-other-program
e2e_default_core_config
e2e_install_core
e2e_foreign_dialog_start 120
e2e_play <<JSON
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "open", "path": "$(doc en)", "missingFontsMessageBox": true},
  {"do": "expect-dialogs", "open": 1, "messageBoxes": 1},
  {"do": "wait-until", "timeoutMs": 20000, "condition": {"do": "expect-dialogs", "open": 0, "messageBoxes": 0}},
  {"do": "wait", "ms": 100},
  {"do": "expect-dialog-keys", "document": "en.psd", "closedBy": "Escape posted to the window",
    "window": ["down Escape", "up Escape"], "button": ["down Escape", "up Escape"]},
  {"do": "expect-dialog-keys", "document": "en.psd", "kind": "messageBox", "closedBy": "Return posted to the window",
    "window": ["down Return", "up Return"], "button": ["down Return", "up Return"]},
  {"do": "open", "path": "$(doc quiet)", "missingFontsDialog": false},
  {"do": "wait-until", "timeoutMs": 20000, "condition": {"do": "expect-file", "path": "\${PORTOLAN_LOG_FILE}",
    "contains": "not in the process of being opened", "count": 1}},
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
e2e_foreign_dialog_stop
e2e_expect_absent "$E2E_DIR/foreign-dialog.txt" 'key message'
e2e_expect "$E2E_DIR/foreign-dialog.txt" 'still open at the end' 1
expect_closed en.psd 'Missing Fonts' Cancel
e2e_expect "$E2E_DIR/photoshop.txt" '^message box for "en.psd" \([0-9]+\): title "Adobe Photoshop CC 2020", button "OK"$' 1
e2e_expect "$(log)" "Forcibly closing HWND 0x[0-9a-f]* \(title='Adobe Photoshop C', text='Some text layers contain fonts that are missing\.'\)" 1
e2e_expect "$(log)" "Pressing button titled 'OK'" 1
e2e_expect_absent "$(log)" "Pressing button titled '(Abbrechen|Annuler|Cancelar|Annulla|キャンセル)'"
# quiet.psd has no dialog: its attempt finds nothing, and the next timer step comes five seconds or
# more later (it finds the opening over and does nothing).
quiet=$(awk '/Newly opened document detected/ { on = index($0, "quiet.psd") > 0 } on' "$(log)")
attempt=$(grep -m1 'Exiting findAndSuppressAllUnwantedDialogs' <<<"$quiet" | stamp || true)
next=$(grep -m1 'not in the process of being opened' <<<"$quiet" | stamp || true)
if [ -z "$attempt" ] || [ -z "$next" ]; then
    e2e_fail "quiet.psd: no attempt, or no step after it, in the log"
else
    grep -q 'Forcibly closing' <<<"$quiet" && e2e_fail "quiet.psd: the attempt closed a window"
    awk -v a="$attempt" -v b="$next" 'BEGIN { exit !(b - a >= 5) }' ||
        e2e_fail "quiet.psd: the step after the attempt that found nothing came $(awk -v a="$attempt" -v b="$next" 'BEGIN { print b - a }') s later, expected 5 s or more"
fi
echo "-- $((SECONDS - started)) s"
e2e_finish
