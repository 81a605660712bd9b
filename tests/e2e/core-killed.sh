#!/usr/bin/env bash
# The font manager's core is killed between open and close: closing the document still
# deactivates its fonts (the plug-in relaunches the core silently and retries), and Photoshop
# never notices (no message, every call returns).
source "$(dirname "$0")/e2e-lib.sh"

e2e_layout
e2e_default_core_config
e2e_install_core
e2e_preferences CloseFontsOnDocClose=true
harbour=$(jsonpath "$E2E_DOCUMENTS/harbour.psd")
fonts='["Carlito-Bold", "LiberationSerif-Italic", "OpenSans-Semibold"]'
e2e_play <<JSON
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "open", "path": "$harbour", "missingFontsDialog": false},
  {"do": "wait-until", "timeoutMs": 3000, "condition": {"do": "expect-installed", "fonts": $fonts, "installed": true}},
  {"do": "kill-process", "name": "Typehold.exe", "expect": {"count": 1}},
  {"do": "close", "document": "harbour.psd"},
  {"do": "wait-until", "timeoutMs": 6000, "condition": {"do": "expect-installed", "fonts": $fonts, "installed": false}},
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
log=$E2E_DIR/plugin.log
e2e_expect "$log" 'Agent not running, automatically relaunching agent and retrying command' 1
e2e_expect "$log" 'Successfully launched Typehold at:' 2
e2e_expect_absent "$log" 'Agent not running, relaunching agent and retrying command'
e2e_expect_absent "$E2E_DIR/ui-transcript.txt" '^messagebox'
e2e_finish
