#!/usr/bin/env bash
# The user's workgroup: a user with one workgroup gets it without being asked; a user who may
# activate across workgroups gets all workgroups (-2); a user with several picks one in the command
# box of the Automate menu item, and the choice is kept as the current workgroup.
source "$(dirname "$0")/e2e-lib.sh"

current_workgroup() { # expected
    tr -d ' \n\t' <"$E2E_DIR/prefs/PhotoshopCC2020.plist" | grep -q "<key>CurrentWorkgroup</key><integer>$1</integer>" \
        || e2e_fail "the current workgroup is not $1"
}
lifecycle='{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "wait", "ms": 300},
  {"do": "quit", "expect": {"result": 0}}
]}'
fonts=$(jsonpath "$E2E_FONTS")

e2e_layout --case one-workgroup
e2e_default_core_config '"permissions": {"activateAcrossWorkgroups": false}, "workgroups": [{"id": 12, "name": "Design", "type": 2}]'
e2e_install_core
e2e_play <<<"$lifecycle"
current_workgroup 12

e2e_layout --case across-workgroups
e2e_default_core_config '"workgroups": [{"id": 12, "name": "Design", "type": 2}, {"id": 14, "name": "Print", "type": 2}]'
e2e_install_core
e2e_play <<<"$lifecycle"
current_workgroup -2

e2e_layout --case chosen-in-the-command-box
e2e_default_core_config '"permissions": {"activateAcrossWorkgroups": false}, "workgroups": [{"id": 12, "name": "Design", "type": 2}, {"id": 14, "name": "Print", "type": 2}]'
e2e_install_core
e2e_preferences
e2e_ui_script <<'UI'
commandbox 3 workgroup 14
commandbox cancel
UI
e2e_play <<'JSON'
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "do-it", "oper": 0, "expect": {"result": 0}},
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
e2e_expect "$E2E_DIR/ui-transcript.txt" '^commandbox workgroups=\[12 "[^"]+", 14 "[^"]+"\] current=12 .*-> 3 workgroup=14' 1
e2e_expect "$E2E_DIR/ui-transcript.txt" '^preferences ' 1
e2e_expect "$E2E_DIR/ui-transcript.txt" '^commandbox .* current=14 .*-> -1' 1
current_workgroup 14
e2e_finish
