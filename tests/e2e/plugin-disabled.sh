#!/usr/bin/env bash
# A plug-in that may not work does no font work at all, and Photoshop is not affected: with
# "EnablePlugin" off, and with the user logged out of the font manager (told once at startup).
source "$(dirname "$0")/e2e-lib.sh"

harbour=$(jsonpath "$E2E_DOCUMENTS/harbour.psd")
scenario="{\"steps\": [
  {\"do\": \"start\", \"expect\": {\"result\": 0}, \"stopOnFailure\": true},
  {\"do\": \"open\", \"path\": \"$harbour\"},
  {\"do\": \"new\", \"title\": \"Sketch\"},
  {\"do\": \"wait\", \"ms\": 6000},
  {\"do\": \"expect-installed\", \"fonts\": [\"Carlito-Bold\", \"LiberationSerif-Italic\", \"OpenSans-Semibold\"],
   \"installed\": false},
  {\"do\": \"expect-plays\", \"event\": \"replaceSubstitutes\", \"count\": 0},
  {\"do\": \"expect-dialogs\", \"open\": 1},
  {\"do\": \"close\", \"document\": \"harbour.psd\"},
  {\"do\": \"quit\", \"expect\": {\"result\": 0}}
]}"
no_font_work() {
    e2e_expect_absent "$E2E_DIR/plugin.log" 'Newly opened document detected'
    e2e_expect_absent "$E2E_DIR/plugin.log" 'New document has ID'
    e2e_expect_absent "$E2E_DIR/Lumorand/config/typehold.log" 'ActivateDocumentFontsByPath from'
    e2e_expect_absent "$E2E_DIR/photoshop.txt" '^ExtendScript'
}

e2e_layout --case plugin-switched-off
e2e_default_core_config
e2e_install_core
e2e_preferences EnablePlugin=false
e2e_play <<<"$scenario"
no_font_work
e2e_expect_absent "$E2E_DIR/ui-transcript.txt" '^messagebox'

e2e_layout --case logged-out
e2e_default_core_config '"user": {"loggedIn": false}'
e2e_install_core
e2e_play <<<"$scenario"
no_font_work
e2e_expect "$E2E_DIR/plugin.log" 'login check at startup:  NOT logged in...'
e2e_expect "$E2E_DIR/ui-transcript.txt" '^messagebox title=609 .* text=611 ' 1
e2e_finish
