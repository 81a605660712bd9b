#!/usr/bin/env bash
# The font manager's core stops answering without dying (it keeps its pipe open): Photoshop's
# user-interface thread is never held more than a few seconds at a stretch, the plug-in gives up
# on the core by its relaunch policy and tells the user once, and after the core answers again the
# user's reset (the Lumorand menu item: the command box) brings the plug-in back to work. Also with
# a core that is frozen when Photoshop starts.
source "$(dirname "$0")/e2e-lib.sh"

e2e_layout --case frozen-while-working
e2e_default_core_config
e2e_install_core
e2e_preferences CloseFontsOnDocClose=true
# The user's reset: the Lumorand menu item, which opens the command box once the core answers
# (check the active document's fonts); while the core is frozen it says so.
e2e_ui_script <<<'commandbox 6'
harbour=$(jsonpath "$E2E_DOCUMENTS/harbour.psd")
coast=$(jsonpath "$E2E_DOCUMENTS/coast.psd")
ctl=$(jsonpath "$E2E_BIN/typehold-ctl.exe")
# The freeze ends by itself after 30 s, so that a plug-in that waits for the core gets on in the end.
# The plug-in's timer step lists Photoshop's documents every one to six seconds (the dialog
# suppression holds it back after an opening), hence the generous waits.
e2e_play <<JSON
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "open", "path": "$harbour", "missingFontsDialog": false},
  {"do": "wait-until", "timeoutMs": 4000, "condition":
    {"do": "expect-installed", "fonts": ["Carlito-Bold", "LiberationSerif-Italic", "OpenSans-Semibold"], "installed": true}},
  {"do": "run", "program": "$ctl", "arguments": "freeze 30000", "expect": {"exitCode": 0}},
  {"do": "wait", "ms": 3000},
  {"do": "open", "path": "$coast", "missingFontsDialog": false},
  {"do": "wait", "ms": 10000},
  {"do": "expect-responsive", "maxStallMs": 5000, "maxTotalMs": 15000},
  {"do": "expect-installed", "fonts": ["Caladea-Regular"], "installed": false},
  {"do": "do-it", "expect": {"result": 0}},
  {"do": "run", "program": "$ctl", "arguments": "thaw", "expect": {"exitCode": 0}},
  {"do": "do-it", "expect": {"result": 0}},
  {"do": "wait-until", "timeoutMs": 4000, "condition":
    {"do": "expect-installed", "fonts": ["Caladea-Regular"], "installed": true}},
  {"do": "close", "document": "harbour.psd"},
  {"do": "wait-until", "timeoutMs": 4000, "condition":
    {"do": "expect-installed", "fonts": ["OpenSans-Semibold"], "installed": false}},
  {"do": "quit", "expect": {"result": 0}},
  {"do": "expect-responsive", "maxStallMs": 5000, "maxTotalMs": 15000}
]}
JSON
log=$E2E_DIR/plugin.log
# Given up by the relaunch policy and told once; the reset tried while frozen says the core does not
# answer (neither logged out nor without workgroups); back after the reset once thawed.
transcript=$E2E_DIR/ui-transcript.txt
e2e_expect "$log" 'Agent not running, automatically relaunching agent and retrying command' 1
e2e_expect "$log" 'Agent runs but does not answer; plugin functionality stays disabled' 1
e2e_expect "$log" 'Exiting CoreAgentInterface::Reconnect, Typehold cannot be reached' 1
e2e_expect "$log" 'Exiting CoreAgentInterface::Reconnect, connected to Typehold again' 1
dialogs=$(grep -oE '^(messagebox title=[0-9]+|commandbox)' "$transcript" | tr '\n' ' ' || true)
[ "$dialogs" = "messagebox title=600 messagebox title=600 commandbox " ] ||
    e2e_fail "dialogs: '$dialogs', expected the core-not-running message at the give-up and at the reset tried while frozen, then the command box"
e2e_expect "$transcript" '^commandbox .* -> 6' 1
e2e_expect "$log" 'Successfully launched Typehold at:' 1
e2e_expect "$E2E_DIR/Lumorand/config/typehold.log" 'Frozen for 30000 ms'
e2e_expect "$E2E_DIR/photoshop.txt" '^longest UI-thread stall: [0-9]+ ms in ' 1

# Frozen before Photoshop starts: the start-up gives up on it at once (no schema question), and the
# reset after the thaw brings the plug-in to work.
e2e_layout --case frozen-at-start
e2e_default_core_config
e2e_install_core
e2e_start_core
e2e_ctl freeze 30000 >/dev/null
e2e_ui_script <<<'commandbox cancel'
e2e_play <<JSON
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "wait", "ms": 2000},
  {"do": "expect-responsive", "maxStallMs": 5000, "maxTotalMs": 15000},
  {"do": "run", "program": "$ctl", "arguments": "thaw", "expect": {"exitCode": 0}},
  {"do": "do-it", "expect": {"result": 0}},
  {"do": "open", "path": "$harbour", "missingFontsDialog": false},
  {"do": "wait-until", "timeoutMs": 8000, "condition":
    {"do": "expect-installed", "fonts": ["Carlito-Bold", "LiberationSerif-Italic", "OpenSans-Semibold"], "installed": true}},
  {"do": "quit", "expect": {"result": 0}},
  {"do": "expect-responsive", "maxStallMs": 5000, "maxTotalMs": 15000}
]}
JSON
log=$E2E_DIR/plugin.log
e2e_expect "$log" 'Core Agent process does not answer' 1
e2e_expect "$log" 'Exiting CoreAgentInterface::Reconnect, connected to Typehold again' 1
dialogs=$(grep -oE '^(messagebox title=[0-9]+|commandbox)' "$E2E_DIR/ui-transcript.txt" | tr '\n' ' ' || true)
[ "$dialogs" = "messagebox title=600 commandbox " ] ||
    e2e_fail "dialogs: '$dialogs', expected the core-not-running message at the start, then the command box"
e2e_finish
