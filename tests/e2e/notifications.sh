#!/usr/bin/env bash
# The font manager's notifications reach the plug-in on Photoshop's user-interface thread: 10,000
# font-activated notifications sent by the core while Photoshop runs are all handled, none lost or
# handled twice, in the order they were sent.
source "$(dirname "$0")/e2e-lib.sh"

e2e_layout
e2e_default_core_config
e2e_install_core
# Once the plug-in has started the core, the core sends the notifications.
(
    for tries in $(seq 1 60); do
        e2e_ctl dump >/dev/null 2>&1 && break
        sleep 0.5
    done
    sleep 1
    e2e_ctl emit 8 10000 500000 >/dev/null 2>&1
) &
sender=$!
e2e_play <<'JSON'
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "wait", "ms": 20000},
  {"do": "expect-file", "path": "${PORTOLAN_LOG_FILE}", "contains": ">>> notification: font 509999 activated"},
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
wait $sender || true
ids=$(grep -o '>>> notification: font [0-9]* activated' "$E2E_DIR/plugin.log" | awk '{print $4}')
[ "$(wc -l <<<"$ids")" -eq 10000 ] || e2e_fail "$(wc -l <<<"$ids") notifications handled, expected 10000"
[ "$ids" = "$(seq 500000 509999)" ] || e2e_fail "the notifications were not handled once each in order"
e2e_finish
