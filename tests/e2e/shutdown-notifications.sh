#!/usr/bin/env bash
# Photoshop quits while the font manager's core sends 10,000 notifications: the plug-in shuts down
# cleanly while its library's thread still delivers them (no crash, no use of the font manager
# object after its end), the ones it handled were handled once each and in order, and the quit
# does not hold Photoshop's user-interface thread.
source "$(dirname "$0")/e2e-lib.sh"

e2e_layout
e2e_default_core_config
e2e_install_core
ctl=$(jsonpath "$E2E_BIN/typehold-ctl.exe")
e2e_play <<JSON
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "wait", "ms": 1500},
  {"do": "run", "program": "$ctl", "arguments": "emit 8 10000 600000", "wait": false},
  {"do": "wait", "ms": 400},
  {"do": "quit", "expect": {"result": 0}},
  {"do": "expect-responsive", "maxStallMs": 5000}
]}
JSON
e2e_expect "$E2E_DIR/photoshop.txt" '^return Portolan.8li "SP Interface"/"Shutdown" -> 0' 1
e2e_expect "$E2E_DIR/plugin.log" 'Exiting FontManagerInterface::OnHostAppShuttingDown' 1
e2e_expect "$E2E_DIR/Lumorand/config/typehold.log" 'EmitNotifications from typehold-ctl:ctl: 0x00000000' 1
ids=$(grep -o '>>> notification: font [0-9]* activated' "$E2E_DIR/plugin.log" | awk '{print $4}' || true)
if [ -n "$ids" ]; then
    [ "$ids" = "$(seq 600000 "$(tail -n 1 <<<"$ids")")" ] ||
        e2e_fail "the notifications handled before the quit were not handled once each in order"
fi
echo "notifications handled before the quit: $(grep -c . <<<"$ids")"
e2e_finish
