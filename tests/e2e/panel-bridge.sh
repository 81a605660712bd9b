#!/usr/bin/env bash
# The Lumorand panel's road to the font manager, through Photoshop's extension event library (the
# stand-in, beside photoshop-sim.exe) without a browser: the panel is launched once ever and
# created after it; every request the panel makes is answered as the panel expects, with the font
# manager's real work behind it (smart lists, font-list files, family activation, previews); a
# library that is missing, incomplete or failing leaves Photoshop alone and gets no panel.
source "$(dirname "$0")/e2e-lib.sh"

launches() { grep -c '^dispatch "com.lumorand.startpanel"' "$E2E_DIR/plugplug.txt" 2>/dev/null || true; }
suppressed() { # true|false
    tr -d ' \n\t' <"$E2E_DIR/prefs/PhotoshopCC2020.plist" | grep -q "<key>SuppressPanelLaunch</key><$1/>" \
        || e2e_fail "SuppressPanelLaunch is not $1"
}
# The file system path of a file URL the panel was sent ("file:///Z:/..." or "file://Z:/...").
url_path() {
    local path
    path=$(sed -E 's#^file:///?##' <<<"$1")
    case $path in
    [Zz]:*) printf '%s' "${path:2}" ;;
    [Cc]:*) printf '%s' "$E2E_PREFIX/drive_c${path:2}" ;;
    *) printf '%s' "$path" ;;
    esac
}

# --- Every message, with the font manager's work behind it -----------------------------------------
e2e_layout --case messages
mkdir -p "$E2E_DIR/studio"
# Another revision of Caladea-Regular in a second workgroup: two fonts of one PostScript name, a
# conflict the font manager reports.
e2e_font_revision "$E2E_FONTS/fonts-crosextra-caladea/Caladea-Regular.ttf" "$E2E_DIR/studio/Caladea-Regular.ttf"
e2e_core_config <<JSON
{"fontFolders": ["$(jsonpath "$E2E_FONTS")"], "systemFonts": false,
 "workgroups": [{"id": 1, "name": "Font Library", "type": 3},
                {"id": 5, "name": "Studio", "type": 3, "folders": ["$(jsonpath "$E2E_DIR/studio")"]}],
 "designNonCompliant": ["Cantarell-Bold"], "googleWebFonts": {"enabled": false, "canAccess": true}}
JSON
e2e_install_core
e2e_start_core
carlito=$(e2e_font_id Carlito) # Carlito-Regular.ttf names itself "Carlito"
carlito_family=$(e2e_ctl fonts | tr -d '\r' | awk -F'\t' '$2 ~ /^Carlito(-|$)/ { print $1 }' | sort -n | paste -sd,)
cantarell=$(e2e_font_id Cantarell-Regular)
cantarell_bold=$(e2e_font_id Cantarell-Bold)
caladea_italic=$(e2e_font_id Caladea-Italic)
caladea_studio=$(e2e_ctl fonts | tr -d '\r' | grep -F "$(winpath "$E2E_DIR/studio")" | awk -F'\t' '$2 == "Caladea-Regular" { print $1 }')
[ -n "$carlito" ] && [ -n "$cantarell_bold" ] && [ -n "$caladea_studio" ] || e2e_fail "fonts missing from the catalog"
e2e_preferences
export PLUGPLUG_TRANSCRIPT; PLUGPLUG_TRANSCRIPT=$(winpath "$E2E_DIR/plugplug.txt")
e2e_play <<JSON
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "wait-until", "condition": {"do": "expect-panel-launched"}},
  {"do": "wait-until", "condition": {"do": "expect-panel-listeners", "type": "com.lumorand.PanelToPlugin", "count": 1}},
  {"do": "panel-send", "message": {"messageID": 16}},
  {"do": "panel-send", "message": {"messageID": 58}},
  {"do": "panel-send", "message": {"messageID": 66}},
  {"do": "panel-send", "message": {"messageID": 11}},
  {"do": "panel-send", "message": {"messageID": 12, "windowWidth": 300, "windowHeight": 500}},
  {"do": "panel-send", "message": {"messageID": 11}},
  {"do": "panel-send", "message": {"messageID": 17, "selection": 2, "savesSmartList": true}},
  {"do": "panel-send", "message": {"messageID": 18}},
  {"do": "panel-send", "message": {"messageID": 10}},
  {"do": "panel-send", "message": {"messageID": 48}},
  {"do": "panel-send", "message": {"messageID": 99}},
  {"do": "wait-until", "condition": {"do": "expect-panel-received", "messageID": 10}},
  {"do": "expect-panel-messages", "messages": [
    {"messageID": 16, "isWindows": true},
    {"messageID": 58, "canAccessGoogleFonts": 1},
    {"messageID": 20, "isStandalone": 0},
    {"messageID": 11, "height": 350, "width": 260},
    {"messageID": 11, "height": 500, "width": 300},
    {"messageID": 18, "selection": 2, "savesSmartList": true},
    {"messageID": 10, "isEnabled": 0, "isReplicating": 0, "replicationMode": 1, "returnCode": 0}]},
  {"do": "wait-until", "condition": {"do": "expect-panel-received", "messageID": 65}},

  {"do": "panel-send", "message": {"messageID": 39, "smartListName": "Headlines"}},
  {"do": "panel-send", "message": {"messageID": 42, "smartListID": 1, "workgroupIDs": [5], "setIDs": [], "smartSetIDs": []}},
  {"do": "panel-send", "message": {"messageID": 36, "smartListID": 1}},
  {"do": "panel-send", "message": {"messageID": 37, "smartListID": 1}},
  {"do": "panel-send", "message": {"messageID": 35, "smartListID": 1, "workgroupIDs": [5], "setIDs": [], "smartSetIDs": []}},
  {"do": "panel-send", "message": {"messageID": 44, "smartListName": "Titles", "smartListID": 1}},
  {"do": "panel-send", "message": {"messageID": 38}},
  {"do": "wait-until", "condition": {"do": "expect-panel-received", "messageID": 38}},
  {"do": "expect-panel-messages", "messages": [
    {"smartList": {"smartListID": 1, "smartListName": "Headlines"}, "messageID": 39},
    {"messageID": 41, "filename": "string", "smartListID": "absent"},
    {"messageID": 36, "smartListID": 1, "smartListName": "Headlines", "workgroupIDs": [5], "setIDs": [], "smartSetIDs": []},
    {"messageID": 37, "smartListID": 1, "listDefinition": "string"},
    {"messageID": 41, "smartListID": 1, "fontIDs": [$caladea_studio]},
    {"messageID": 38, "smartLists": [{"smartListID": 1, "smartListName": "Titles"}], "returnCode": 0}]},
  {"do": "wait-until", "condition": {"do": "expect-panel-received", "messageID": 43}},
  {"do": "panel-send", "message": {"messageID": 40, "smartListID": 1}},
  {"do": "wait-until", "condition": {"do": "expect-panel-received", "messageID": 41, "count": 3}},
  {"do": "panel-send", "message": "{\"messageID\": 13, \"filename\": \"\${panel:41.filename}\"}"},

  {"do": "panel-send", "message": {"messageID": 8, "fontID": $carlito, "postscriptName": "Carlito", "displayName": "Carlito"}},
  {"do": "wait-until", "condition": {"do": "expect-panel-received", "messageID": 24}},
  {"do": "expect-file", "path": "$(jsonpath "$E2E_DIR/Lumorand/config/system-font-table.txt")", "contains": "Carlito-BoldItalic"},
  {"do": "panel-send", "message": {"messageID": 8, "fontID": $cantarell, "postscriptName": "Cantarell-Regular", "displayName": "Cantarell"}},
  {"do": "wait-until", "condition": {"do": "expect-panel-received", "messageID": 60}},
  {"do": "panel-send", "message": {"messageID": 8, "fontID": $caladea_studio, "postscriptName": "Caladea-Regular", "displayName": "Caladea"}},
  {"do": "wait-until", "condition": {"do": "expect-panel-received", "messageID": 46}},
  {"do": "expect-panel-messages", "messages": [
    {"messageID": 41, "filename": "string"},
    {"messageID": 8, "returnCode": 0},
    {"messageID": 24, "fontIDs": [$carlito_family]},
    {"messageID": 8, "returnCode": 0},
    {"messageID": 60, "fontIDs": [$cantarell_bold]},
    {"messageID": 46, "fontID": $caladea_studio, "conflictID": "integer", "isConflictError": true},
    {"messageID": 8, "returnCode": 0}]},

  {"do": "panel-send", "message": {"messageID": 67, "isCtrlPressed": true, "isShiftPressed": false, "isAltPressed": false, "keyCode": 90}},
  {"do": "wait", "ms": 300},
  {"do": "expect-key-messages", "keys": [{"down": "Control"}, {"down": "Z"}, {"up": "Z"}, {"up": "Control"}], "focus": true},

  {"do": "panel-send", "message": {"messageID": 32, "highPriorityFontIDs": [$carlito], "fontIDs": [$caladea_italic], "smartListID": 0}},
  {"do": "wait-until", "condition": {"do": "expect-panel-received", "messageID": 32, "count": 2}, "timeoutMs": 20000},
  {"do": "expect-panel-messages", "messages": [
    {"messageID": 32, "fonts": [{"fontID": $carlito, "pngFilename": "string", "2xPNGFilename": "string"}]},
    {"messageID": 32, "fonts": [{"fontID": $caladea_italic, "pngFilename": "string", "2xPNGFilename": "string"}]}]},
  {"do": "panel-send", "message": {"messageID": 47, "fontID": $carlito, "version": "1.0"}},
  {"do": "wait", "ms": 500},
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
[ "$(launches)" -eq 1 ] || e2e_fail "$(launches) launch requests, expected 1"
suppressed true
# The font-list files: the one the panel asked to delete is gone, the other holds the list.
mapfile -t lists < <(grep '^panel message' "$E2E_DIR/photoshop.txt" | grep -o '"messageID":41,"filename":"[^"]*"' | sed -E 's/.*"filename":"([^"]*)"/\1/')
[ ${#lists[@]} -eq 2 ] || e2e_fail "${#lists[@]} font-list files sent, expected 2"
if [ ${#lists[@]} -eq 2 ]; then
    first=$(url_path "${lists[0]}")
    [ -f "$first" ] || e2e_fail "the font-list file $first is missing"
    grep -qP "^$caladea_studio\tCaladea[^\t]*\tCaladea-Regular\t[01]\tdesktop\t1\$" "$first" \
        || e2e_fail "the font-list file does not hold Caladea in the tab format: $(cat -A "$first" 2>/dev/null | head -3)"
    [ ! -e "$(url_path "${lists[1]}")" ] || e2e_fail "the font-list file the panel deleted is still there"
fi
# The previews are real PNG files, the 2x one twice the size of the other.
for url in $(grep '^panel message' "$E2E_DIR/photoshop.txt" | grep -o 'PNGFilename":"file:[^"]*"\|"pngFilename":"file:[^"]*"' | sed -E 's/.*"(file:[^"]*)"/\1/'); do
    png=$(url_path "$url")
    [ "$(head -c 8 "$png" 2>/dev/null | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || e2e_fail "$png is not a PNG"
done
e2e_expect "$E2E_DIR/Lumorand/config/typehold.log" "TrackFontPanelClick|panel click" 
e2e_expect_absent "$E2E_DIR/plugin.log" "A panel message was dropped"

# --- The next start of Photoshop: no launch, a panel all the same -----------------------------------
mv "$E2E_DIR/photoshop.txt" "$E2E_DIR/photoshop-first-run.txt"
e2e_play <<'JSON'
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "wait-until", "condition": {"do": "expect-panel-listeners", "type": "com.lumorand.PanelToPlugin", "count": 1}},
  {"do": "panel-send", "message": {"messageID": 16}},
  {"do": "wait-until", "condition": {"do": "expect-panel-received", "messageID": 16}},
  {"do": "expect-panel-launched", "launched": false},
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
[ "$(launches)" -eq 1 ] || e2e_fail "the launch was requested again"

# --- The library under its older name ---------------------------------------------------------------
e2e_layout --case older-library-name --event-library PlugPlug.dll
e2e_default_core_config
e2e_install_core
export PLUGPLUG_TRANSCRIPT; PLUGPLUG_TRANSCRIPT=$(winpath "$E2E_DIR/plugplug.txt")
e2e_play <<'JSON'
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "wait-until", "condition": {"do": "expect-panel-listeners", "type": "com.lumorand.PanelToPlugin", "count": 1}},
  {"do": "panel-send", "message": {"messageID": 16}},
  {"do": "wait-until", "condition": {"do": "expect-panel-received", "messageID": 16}},
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
e2e_expect "$E2E_DIR/photoshop.txt" "event library PlugPlug.dll is in the process"
[ "$(launches)" -eq 1 ] || e2e_fail "$(launches) launch requests, expected 1"

# --- No library, one function short, a dispatch that fails: no panel, Photoshop unaffected -----------
for fault in none missing-export dispatch-fails; do
    case $fault in
    none) e2e_layout --case no-library --event-library none ;;
    missing-export) e2e_layout --case missing-export --event-library PlugPlugMissingExport.dll:PlugPlugOwl.dll ;;
    dispatch-fails) e2e_layout --case dispatch-fails ;;
    esac
    e2e_default_core_config
    e2e_install_core
    export PLUGPLUG_TRANSCRIPT; PLUGPLUG_TRANSCRIPT=$(winpath "$E2E_DIR/plugplug.txt")
    [ $fault = dispatch-fails ] && export PLUGPLUG_FAULT=dispatch-fails
    e2e_play <<'JSON'
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "wait", "ms": 3500},
  {"do": "expect-responsive", "maxStallMs": 3000},
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
    unset PLUGPLUG_FAULT
    suppressed false
    e2e_expect_absent "$E2E_DIR/plugplug.txt" '^add listener "com.lumorand.PanelToPlugin"'
    case $fault in
    none) e2e_expect "$E2E_DIR/plugin.log" "The extension event library .*PlugPlug.dll could not be loaded" 1 ;;
    missing-export) e2e_expect "$E2E_DIR/plugin.log" "The extension event library has no function PlugPlugDispatchEvent" ;;
    dispatch-fails) [ "$(launches)" -ge 2 ] || e2e_fail "the failed launch was not tried again" ;;
    esac
done
e2e_finish
