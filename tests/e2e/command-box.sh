#!/usr/bin/env bash
# The Automate menu item's command box and the commands behind it, as the user sees them (the
# framework's dialogs, the system's folder browser) and as they change things (the core's state
# through typehold-ctl, the files written, Photoshop's installed fonts, the preferences):
# - about and preferences bring the box back, cancel ends it with 0, the workgroup picked in the box
#   becomes "CurrentWorkgroup";
# - "check document fonts" activates again a document font the user deactivated in the font
#   manager, and the substitutes are replaced afterwards;
# - "collect fonts for output" has the core copy the document's fonts, byte for byte the catalog's
#   files, into a sub-folder of the folder picked in the browser, which is remembered as
#   "LastCFOFolder"; a document whose fonts were not all identified says so first (624/625); a
#   workgroup without export permission only says so (622/623) and nothing is written;
# - "make document set" makes a set named after the document holding exactly its fonts, in the
#   current workgroup; with all workgroups current it only says so (647/649);
# - the refusals: logged out (609/611), no workgroup (620/621), services off (600/601), and no
#   framework or no core at all (the Do It result 'fbar').
source "$(dirname "$0")/e2e-lib.sh"

prefs_file() { tr -d ' \n\t' <"$E2E_DIR/prefs/PhotoshopCC2020.plist"; }
current_workgroup() { # expected
    prefs_file | grep -q "<key>CurrentWorkgroup</key><integer>$1</integer>" \
        || e2e_fail "the current workgroup is not $1"
}
# The framework's dialogs in order, as "kind[:title number]" words.
dialogs() {
    grep -oE '^(messagebox title=[0-9]+|commandbox|about|preferences|askstring)' "$E2E_DIR/ui-transcript.txt" \
        | sed 's/messagebox title=/messagebox:/' | tr '\n' ' ' || true
}
expect_dialogs() { # EXPECTED
    local seen
    seen=$(dialogs)
    [ "$seen" = "$1" ] || e2e_fail "dialogs: expected '$1', saw '$seen'"
}
# The Linux path of a catalog font's file, by PostScript name.
font_file() {
    local path
    path=$(e2e_ctl fonts | tr -d '\r' | awk -F'\t' -v name="$1" '$2 == name && !found { print $5; found = 1 }')
    path=${path#Z:}
    printf '%s' "${path//\\//}"
}
workgroups='"workgroups": [{"id": 12, "name": "Design", "type": 2},
  {"id": 14, "name": "Print", "type": 2, "fonts": ["NoSuchFamily-*"]}]'
harbour=$(jsonpath "$E2E_DOCUMENTS/harbour.psd")
coast=$(jsonpath "$E2E_DOCUMENTS/coast.psd")
# The fonts are collected below the prefix's drive C: (photoshop-sim clicks through the folder
# browser's tree to the folder).
collect_root() { # CASE: a fresh folder below drive_c, as a Linux path
    rm -rf "$E2E_PREFIX/drive_c/command-box/$1"
    mkdir -p "$E2E_PREFIX/drive_c/command-box/$1"
    printf '%s' "$E2E_PREFIX/drive_c/command-box/$1"
}
ctl=$(jsonpath "$E2E_BIN/typehold-ctl.exe")
harbour_fonts='["Carlito-Bold", "LiberationSerif-Italic", "OpenSans-Semibold"]'

# --- The commands of one session -------------------------------------------------------------------
e2e_layout --case commands
# The catalog lacks Caladea, so coast.psd has a font the font manager cannot identify.
e2e_core_config <<JSON
{"fontFolders": ["$(jsonpath "$E2E_FONTS/fonts-crosextra-carlito")", "$(jsonpath "$E2E_FONTS/fonts-liberation")",
  "$(jsonpath "$E2E_FONTS/fonts-open-sans")"], "systemFonts": true, $workgroups}
JSON
e2e_install_core
e2e_preferences CurrentWorkgroup=12
e2e_start_core
carlito=$(e2e_font_id Carlito-Bold)
harbour_ids=$(for name in Carlito-Bold LiberationSerif-Italic OpenSans-Semibold; do e2e_font_id "$name"; done \
    | sort -n | paste -sd, -)
[ -n "$carlito" ] || e2e_fail "Carlito-Bold is not in the catalog"
root=$(collect_root commands)
mkdir -p "$root/out" "$root/out2"
out='C:\\command-box\\commands\\out'
out2='C:\\command-box\\commands\\out2'
long_name=$(printf 'Coast%.0s' $(seq 1 60)) # 300 characters
e2e_ui_script <<UI
commandbox 2 workgroup 14
commandbox 3 workgroup 12
commandbox cancel
commandbox 6 workgroup 12
commandbox 4
commandbox 5
commandbox 5 workgroup -2
commandbox 4 workgroup 12
commandbox 5 workgroup 12
preferences close
askstring confirm
askstring "$long_name"
UI
e2e_play <<JSON
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "do-it", "oper": 0, "expect": {"result": 0}},
  {"do": "open", "path": "$harbour"},
  {"do": "wait-until", "timeoutMs": 8000, "condition": {"do": "expect-plays", "event": "replaceSubstitutes", "count": 1}},
  {"do": "run", "program": "$ctl", "arguments": "deactivate --everyone $carlito", "expect": {"exitCode": 0}},
  {"do": "wait-until", "timeoutMs": 4000, "condition":
    {"do": "expect-installed", "fonts": ["Carlito-Bold"], "installed": false}},
  {"do": "do-it", "oper": 0, "expect": {"result": 0}},
  {"do": "wait-until", "timeoutMs": 4000, "condition":
    {"do": "expect-installed", "fonts": $harbour_fonts, "installed": true}},
  {"do": "wait-until", "timeoutMs": 8000, "condition": {"do": "expect-plays", "event": "replaceSubstitutes", "count": 2}},
  {"do": "do-it", "oper": 0, "folderBrowser": "$out", "expect": {"result": 0}},
  {"do": "do-it", "oper": 0, "expect": {"result": 0}},
  {"do": "wait-until", "condition": {"do": "expect-panel-listeners", "type": "com.lumorand.PanelToPlugin", "count": 1}},
  {"do": "panel-send", "message": {"messageID": 39, "smartListName": "Harbour"}},
  {"do": "wait-until", "condition": {"do": "expect-panel-received", "messageID": 39}},
  {"do": "panel-send", "message": {"messageID": 42, "smartListID": 1, "workgroupIDs": [], "setIDs": [1], "smartSetIDs": []}},
  {"do": "wait", "ms": 1000},
  {"do": "do-it", "oper": 0, "expect": {"result": 0}},
  {"do": "open", "path": "$coast", "missingFontsDialog": false},
  {"do": "wait-until", "timeoutMs": 10000, "condition":
    {"do": "expect-file", "path": "\${PORTOLAN_LOG_FILE}", "matches": "Newly opened document detected: '.*coast\\\\.psd'"}},
  {"do": "do-it", "oper": 0, "folderBrowser": "$out2", "expect": {"result": 0}},
  {"do": "do-it", "oper": 0, "expect": {"result": 0}},
  {"do": "run", "program": "$ctl", "arguments": "login off", "expect": {"exitCode": 0}},
  {"do": "wait-until", "condition":
    {"do": "expect-file", "path": "\${LUMORAND_UI_TRANSCRIPT}", "matches": "^messagebox title=609 ", "count": 1}},
  {"do": "do-it", "oper": 0, "expect": {"result": 0}},
  {"do": "expect-file", "path": "\${LUMORAND_UI_TRANSCRIPT}", "matches": "^messagebox title=609 ", "count": 2},
  {"do": "run", "program": "$ctl", "arguments": "login on", "expect": {"exitCode": 0}},
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
transcript=$E2E_DIR/ui-transcript.txt
# (Logged out: one message when the core says so, one for the menu item, which shows no box.)
expect_dialogs "commandbox about commandbox preferences commandbox commandbox commandbox commandbox askstring \
commandbox messagebox:647 commandbox messagebox:624 commandbox askstring messagebox:627 messagebox:609 messagebox:609 "
# About and preferences come back to the box, which shows the workgroup picked before them.
e2e_expect "$transcript" '^commandbox workgroups=\[12 "[^"]+", 14 "[^"]+", -2 "[^"]+"\] current=12 .*-> 2 workgroup=14' 1
e2e_expect "$transcript" '^commandbox .* current=14 .*-> 3 workgroup=12' 1
e2e_expect "$transcript" '^preferences .*CurrentWorkgroup=12 ' 1
e2e_expect "$transcript" '^commandbox .* current=12 .*-> -1' 1
# The document commands are offered once a document is tracked.
e2e_expect "$transcript" '^commandbox .* buttons=false .*-> -1' 1
e2e_expect "$transcript" '^commandbox .* buttons=true .*-> 6 workgroup=12' 1
# Check document fonts: the font the user deactivated is active again and the substitutes replaced
# (the scenario waited for both); the core holds it for Photoshop again.
e2e_expect_active Carlito-Bold LiberationSerif-Italic OpenSans-Semibold
e2e_expect "$E2E_DIR/plugin.log" 'Exiting HandleCheckDocFontsCommand' 1
# Collect for output: the browser was answered, the fonts copied into the document's sub-folder.
photoshop=$E2E_DIR/photoshop.txt
e2e_expect "$photoshop" '^folder-browser title="Collect Fonts for Output" prompt=".*harbour\.psd Fonts.*" -> ' 1
collected="$root/out/harbour.psd Fonts"
for name in Carlito-Bold LiberationSerif-Italic OpenSans-Semibold; do
    catalog=$(font_file "$name")
    copy="$collected/$(basename "$catalog")"
    if [ -z "$catalog" ] || ! cmp -s "$catalog" "$copy"; then
        e2e_fail "$name: '$copy' is not the catalog's file '$catalog'"
    fi
done
[ "$(find "$collected" -type f | wc -l)" -eq 4 ] || e2e_fail "the collect folder holds other files: $(ls "$collected")"
report="$collected/Fonts collected.txt"
e2e_expect "$report" '^Fonts collected: 3 of 3' 1
e2e_expect "$report" $'^copied\t(Carlito-Bold|LiberationSerif-Italic|OpenSans-Semibold)\t' 3
# The next collect starts from the folder remembered, and remembers its own.
e2e_expect "$E2E_DIR/plugin.log" 'Entering ShowSaveFolderDialog\(\.\.\., initial path "C:\\command-box\\commands\\out\\harbour\.psd Fonts"\)' 1
prefs_file | grep -qF '<key>LastCFOFolder</key><string>C:\command-box\commands\out2\coast.psdFonts</string>' \
    || e2e_fail "LastCFOFolder is not the folder the fonts were last collected to"
# Make document set: the proposed name is the document's file name; the set holds exactly its
# fonts, in the workgroup current then; with all workgroups current no set is made.
e2e_expect "$transcript" '^askstring title=470 .* initial="harbour\.psd" .*-> "harbour\.psd"' 1
sets=$(e2e_ctl sets | tr -d '\r')
[ "$(printf '%s\n' "$sets" | grep -c '^set')" -eq 2 ] || e2e_fail "the core holds other sets than two: $sets"
ids=$(printf '%s\n' "$sets" | awk -F'\t' '$1 == "set" && $3 == "harbour.psd" && $4 == 12 { print $5 }' \
    | tr ',' '\n' | sort -n | paste -sd, -)
[ "$ids" = "$harbour_ids" ] || e2e_fail "the set harbour.psd holds fonts '$ids', not the document's '$harbour_ids'"
# A name too long is cut to 255 characters, and said so; system fonts (DejaVuSans) stay out of a
# set, and so does a font the font manager could not identify (Caladea-Regular).
ids=$(printf '%s\n' "$sets" | awk -F'\t' -v name="${long_name:0:255}" '$1 == "set" && $3 == name && $4 == 12 { print $5 }')
[ "$ids" = "$carlito" ] || e2e_fail "the set of coast.psd holds fonts '$ids', not only Carlito-Bold ($carlito): $sets"
e2e_expect "$transcript" '^messagebox title=627 .* text=628 ' 1
# The panel's smart list whose query is that set lists exactly those fonts.
lists=$(e2e_ctl smartlists | tr -d '\r')
ids=$(printf '%s\n' "$lists" | awk -F'\t' '$1 == 1 && $2 == "Harbour" { print $3 }' | tr ', ' '\n\n' | grep . \
    | sort -n | paste -sd, -)
[ "$ids" = "$harbour_ids" ] || e2e_fail "the smart list of the set lists '$ids', not '$harbour_ids' ($lists)"
e2e_expect "$transcript" '^commandbox .*-> 5 workgroup=-2' 1
# A document whose fonts were not all identified: said first, then collected as far as identified.
e2e_expect "$transcript" '^messagebox title=624 .* text=625 ' 1
e2e_expect "$photoshop" '^folder-browser title="Collect Fonts for Output" prompt=".*coast\.psd Fonts.*" -> "' 1
cmp -s "$(font_file Carlito-Bold)" "$root/out2/coast.psd Fonts/Carlito-Bold.ttf" || e2e_fail "coast.psd: Carlito-Bold not collected"
e2e_expect "$root/out2/coast.psd Fonts/Fonts collected.txt" $'^copied\tCarlito-Bold\t' 1
e2e_expect_absent "$root/out2/coast.psd Fonts/Fonts collected.txt" 'Caladea'
ls "$root/out2/coast.psd Fonts" | grep -q Caladea && e2e_fail "coast.psd: a Caladea file was collected"
# Logged out: the box is not shown.
e2e_expect "$transcript" '^messagebox title=609 .* text=611 ' 2
current_workgroup 12

# --- No export permission: only the message, nothing written -------------------------------------
e2e_layout --case export-refused
e2e_default_core_config '"workgroups": [{"id": 12, "name": "Design", "type": 2, "canExport": false}]'
e2e_install_core
e2e_preferences CurrentWorkgroup=12
mkdir -p "$E2E_DIR/out"
out=$(jsonpath "$E2E_DIR/out")
e2e_ui_script <<<'commandbox 4'
e2e_play <<JSON
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "open", "path": "$harbour", "missingFontsDialog": false},
  {"do": "wait-until", "timeoutMs": 4000, "condition":
    {"do": "expect-installed", "fonts": $harbour_fonts, "installed": true}},
  {"do": "expect-file", "path": "\${LUMORAND_UI_TRANSCRIPT}", "matches": "^messagebox", "absent": true},
  {"do": "do-it", "oper": 0, "folderBrowser": "$out", "expect": {"result": 0}},
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
expect_dialogs "commandbox messagebox:622 "
e2e_expect "$E2E_DIR/ui-transcript.txt" '^messagebox title=622 .* text=623 ' 1
e2e_expect_absent "$E2E_DIR/photoshop.txt" '^folder-browser'
[ -z "$(ls -A "$E2E_DIR/out")" ] || e2e_fail "something was written: $(ls -A "$E2E_DIR/out")"

# --- Refusals before the box ------------------------------------------------------------------------
# Do It shows only the message box TITLE, with the core's extra configuration CONFIG.
refused() { # TITLE CONFIG LAYOUT-OPTIONS...
    local title=$1 config=$2
    shift 2
    e2e_layout "$@"
    e2e_default_core_config "$config"
    e2e_install_core
    # The message comes with the menu item, not before it.
    e2e_play <<'JSON'
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "wait", "ms": 1000},
  {"do": "expect-file", "path": "${LUMORAND_UI_TRANSCRIPT}", "matches": "^messagebox", "absent": true},
  {"do": "do-it", "oper": 0, "expect": {"result": 0}},
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
    e2e_expect_absent "$E2E_DIR/ui-transcript.txt" '^commandbox'
    e2e_expect "$E2E_DIR/ui-transcript.txt" "^messagebox title=$title " 1
}
refused 620 '"workgroups": []' --case no-workgroup
e2e_expect "$E2E_DIR/ui-transcript.txt" '^messagebox title=620 .* text=621 ' 1
refused 600 '"initThreadInstance": {"failure": "wrongMode"}' --case services-off
e2e_expect "$E2E_DIR/ui-transcript.txt" '^messagebox title=600 .* text=601 ' 1

for missing in framework core; do
    e2e_layout --case "no-$missing" "--no-$missing"
    e2e_default_core_config
    e2e_install_core
    e2e_play <<'JSON'
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "do-it", "oper": 0, "expect": {"result": "fbar"}},
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
    e2e_expect_absent "$E2E_DIR/ui-transcript.txt" '^commandbox'
done
e2e_finish
