#!/usr/bin/env bash
# 10,000 malformed panel messages through the extension event library (2,000 distinct ones, each
# five times): no crash, no answer, each reported in the log (but unknown IDs, which are noted at
# a level that is never written), and the panel answers as before afterwards. A plug-in whose
# services are off drops the panel's messages unread.
source "$(dirname "$0")/e2e-lib.sh"

e2e_layout --case malformed
e2e_default_core_config
e2e_install_core
e2e_preferences
python3 "$(dirname "$0")/panel-bad-input.py" 2000 5 >"$E2E_DIR/bad-steps.json" 2>"$E2E_DIR/reported.txt"
reported=$(cat "$E2E_DIR/reported.txt")
python3 - "$E2E_DIR/bad-steps.json" >"$E2E_DIR/scenario-in.json" <<'PY'
import json, sys
bad = json.load(open(sys.argv[1]))["steps"]
steps = [{"do": "start", "expect": {"result": 0}, "stopOnFailure": True},
         {"do": "wait-until", "condition": {"do": "expect-panel-listeners", "type": "com.lumorand.PanelToPlugin", "count": 1}},
         {"do": "panel-send", "message": {"messageID": 16}},
         {"do": "wait-until", "condition": {"do": "expect-panel-received", "messageID": 16}},
         {"do": "expect-panel-messages", "messages": [{"messageID": 16, "isWindows": True}]}]
steps += bad
steps += [{"do": "panel-send", "message": {"messageID": 16}},
          {"do": "wait-until", "condition": {"do": "expect-panel-received", "messageID": 16, "count": 2}, "timeoutMs": 120000},
          {"do": "expect-panel-messages", "exact": True, "messages": [{"messageID": 16, "isWindows": True}]},
          {"do": "expect-responsive", "maxStallMs": 5000},
          {"do": "quit", "expect": {"result": 0}}]
print(json.dumps({"steps": steps}))
PY
e2e_play <"$E2E_DIR/scenario-in.json"
logged=$(grep -c '\[Miscellaneous\]' "$E2E_DIR/plugin.log" || true)
[ "$logged" -ge "$reported" ] || e2e_fail "$logged report lines for $reported malformed messages"
e2e_expect_absent "$E2E_DIR/photoshop.txt" 'not "\(" JSON "\)"'

e2e_layout --case services-off
e2e_default_core_config '"user": {"loggedIn": false, "serverType": 1}'
e2e_install_core
e2e_preferences
e2e_play <<'JSON'
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "wait-until", "condition": {"do": "expect-panel-listeners", "type": "com.lumorand.PanelToPlugin", "count": 1}},
  {"do": "panel-send", "message": {"messageID": 16}},
  {"do": "panel-send", "message": "not json", "count": 50},
  {"do": "wait", "ms": 2000},
  {"do": "expect-panel-messages", "exact": true, "messages": []},
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
e2e_expect_absent "$E2E_DIR/plugin.log" 'Failed to parse JSON'
e2e_finish
