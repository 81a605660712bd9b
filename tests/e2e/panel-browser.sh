#!/usr/bin/env bash
# The Lumorand panel itself, in Debian's chromium, against Photoshop (photoshop-sim) with the
# plug-in and the font manager's core under Wine: the page comes from the event library's loopback
# bridge and talks to the plug-in through it. What the user sees is checked in the page
# (panel-browser.js); what happened behind it in the transcripts, the core's state and
# typehold-ctl's answers.
source "$(dirname "$0")/e2e-lib.sh"

e2e_layout
# Another revision of Caladea-Regular in a second workgroup: two fonts of one PostScript name, a
# conflict the font manager reports.
mkdir -p "$E2E_DIR/archive"
e2e_font_revision "$E2E_FONTS/fonts-crosextra-caladea/Caladea-Regular.ttf" "$E2E_DIR/archive/Caladea-Regular.ttf"
e2e_core_config <<JSON
{"fontFolders": ["$(jsonpath "$E2E_FONTS")"], "systemFonts": false,
 "workgroups": [{"id": 1, "name": "Font Library", "type": 3},
                {"id": 5, "name": "Studio", "type": 3, "fonts": ["Carlito*"]},
                {"id": 6, "name": "Archive", "type": 3, "folders": ["$(jsonpath "$E2E_DIR/archive")"]}],
 "googleWebFonts": {"enabled": false, "canAccess": true}}
JSON
e2e_install_core
e2e_start_core
# A set of the Cantarell fonts, for the smart list's query.
e2e_panel_set=$(e2e_ctl set "Sans" --workgroup 1 "$(e2e_font_id Cantarell-Regular)" "$(e2e_font_id Cantarell-Bold)" \
    | tr -d '\r')
[ -n "$e2e_panel_set" ] || e2e_fail "typehold-ctl made no set"
e2e_preferences
e2e_browser_start
e2e_play_held <<JSON
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "wait-until", "condition": {"do": "expect-panel-launched"}},
  {"do": "wait-until", "condition": {"do": "expect-panel-listeners", "type": "com.lumorand.PanelToPlugin", "count": 1}},
  $(e2e_browser_hold_step),
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
archived=$(e2e_ctl fonts | tr -d '\r' | grep -F "$(winpath "$E2E_DIR/archive")" | cut -f1)
e2e_browser_run "$E2E_REPO/tests/e2e/panel-browser.js" --set "$e2e_panel_set" --conflicting "$archived" \
    --carlito "$(e2e_font_id Carlito)" --cantarell "$(e2e_font_id Cantarell-Regular)"
e2e_play_wait

# Behind the page: the plug-in got the panel's requests and the core did the work.
e2e_expect "$E2E_DIR/plugplug.txt" '^bridge: event stream opened'
e2e_expect "$E2E_DIR/plugplug.txt" '^bridge: panel event "com.lumorand.PanelToPlugin" .*\\"messageID\\":66' 1
e2e_expect_absent "$E2E_DIR/plugplug.txt" 'refused'
e2e_expect "$E2E_DIR/photoshop.txt" '^panel message .*"messageID":41,"filename":"file:'
e2e_expect "$E2E_DIR/photoshop.txt" '^panel message .*"messageID":30,"isEnabled":false'
e2e_expect_active Carlito Carlito-Bold Carlito-Italic Carlito-BoldItalic
e2e_expect "$E2E_DIR/Lumorand/config/typehold.log" "TrackFontPanelClick|panel click"
e2e_expect_absent "$E2E_DIR/plugin.log" "A panel message was dropped"
e2e_finish
