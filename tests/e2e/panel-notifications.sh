#!/usr/bin/env bash
# What the font manager tells the plug-in reaches the panel: fonts activated and deactivated by
# another client, smart lists and panel data changed, the progress of real replications (the web
# fonts' one copying real files), and the plug-in's services switched off when the core goes.
source "$(dirname "$0")/e2e-lib.sh"

e2e_layout
mkdir -p "$E2E_DIR/webfonts"
cp "$E2E_FONTS"/fonts-open-sans/*.ttf "$E2E_DIR/webfonts/" 2>/dev/null || cp "$E2E_FONTS"/fonts-open-sans/* "$E2E_DIR/webfonts/"
e2e_core_config <<JSON
{"fontFolders": ["$(jsonpath "$E2E_FONTS/fonts-crosextra-carlito")"], "systemFonts": false,
 "workgroups": [{"id": 1, "name": "Font Library", "type": 3}, {"id": 8, "name": "Google Fonts", "type": 8}],
 "googleWebFonts": {"enabled": false, "canAccess": true, "folder": "$(jsonpath "$E2E_DIR/webfonts")", "stepDelayMs": 50}}
JSON
e2e_install_core
e2e_start_core
carlito=$(e2e_font_id Carlito) # Carlito-Regular.ttf names itself "Carlito"
bold=$(e2e_font_id Carlito-Bold)
e2e_preferences
export PLUGPLUG_TRANSCRIPT; PLUGPLUG_TRANSCRIPT=$(winpath "$E2E_DIR/plugplug.txt")
ctl=$(jsonpath "$E2E_BIN/typehold-ctl.exe")
run() { printf '{"do": "run", "program": "%s", "arguments": "%s", "expect": {"exitCode": 0}},' "$ctl" "$1"; }
received() { printf '{"do": "wait-until", "condition": {"do": "expect-panel-received", "messageID": %s, "count": %s}, "timeoutMs": 30000},' "$1" "${2:-1}"; }
e2e_play <<JSON
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "wait-until", "condition": {"do": "expect-panel-listeners", "type": "com.lumorand.PanelToPlugin", "count": 1}},
  {"do": "panel-send", "message": {"messageID": 16}},
  $(received 16)
  $(run "activate --client other $carlito $bold")
  $(received 24)
  {"do": "wait", "ms": 1500},
  $(run "deactivate --client other $bold")
  $(received 25)
  $(run "emit 23 1")
  $(run "emit 18 1")
  $(received 56)
  $(received 43)
  $(run "replicate bulk 3 100")
  $(received 53)
  $(run "replicate incremental 2 100")
  $(received 55)
  $(run "replicate server 2 100")
  $(received 69)
  $(run "google on")
  $(received 29)
  $(run "exit")
  $(received 30)
  {"do": "expect-panel-messages", "messages": [
    {"messageID": 16, "isWindows": true},
    {"messageID": 24, "fontIDs": "array"},
    {"messageID": 25, "fontIDs": [$bold]},
    {"messageID": 52, "text": "string", "stepIndex": "integer", "numSteps": 3},
    {"messageID": 53},
    {"messageID": 54, "numSteps": 2},
    {"messageID": 55},
    {"messageID": 68, "numSteps": 2},
    {"messageID": 69},
    {"messageID": 28, "text": "string", "stepIndex": 1, "numSteps": "integer"},
    {"messageID": 29},
    {"messageID": 30, "isEnabled": false}]},
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
# Both activated fonts reached the panel; progress comes step by step, each sent at once; the
# smart lists changed once (panel data changes again after the web fonts' replication).
for id in $carlito $bold; do
    grep '^panel message' "$E2E_DIR/photoshop.txt" | grep -o '"messageID":24,"fontIDs":\[[0-9,]*\]' | grep -q -E "[[,]$id[],]" \
        || e2e_fail "font $id never reached the panel as activated"
done
e2e_expect "$E2E_DIR/photoshop.txt" '^panel message .*"messageID":52,' 3
e2e_expect "$E2E_DIR/photoshop.txt" '^panel message .*"messageID":43\}' 1
e2e_expect "$E2E_DIR/photoshop.txt" '^panel message .*"messageID":56\}'
e2e_finish
