#!/usr/bin/env bash
# The plug-in is a guest in Photoshop's process: after Shutdown nothing of it runs (Photoshop
# unloads it and keeps pumping messages), Photoshop's own Windows sockets survive it, a modal
# message box inside its notification handling does not start the handling again inside itself,
# an exception from the framework library never unwinds into Photoshop, and another program's
# "Missing Fonts" dialog is left alone while Photoshop's own is closed.
source "$(dirname "$0")/e2e-lib.sh"

harbour=$(jsonpath "$E2E_DOCUMENTS/harbour.psd")

e2e_layout --case unloaded-after-shutdown
e2e_default_core_config
e2e_install_core
e2e_play <<JSON
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "open", "path": "$harbour", "missingFontsDialog": false},
  {"do": "wait-until", "timeoutMs": 5000, "condition":
    {"do": "expect-installed", "fonts": ["Carlito-Bold"], "installed": true}},
  {"do": "quit", "expect": {"result": 0}},
  {"do": "unload", "ms": 3000}
]}
JSON
e2e_expect "$E2E_DIR/photoshop.txt" '^unload Portolan.8li: FreeLibrary; unloaded$' 1
e2e_expect "$E2E_DIR/photoshop.txt" '^Windows sockets started by the host$' 1
e2e_expect "$E2E_DIR/plugin.log" 'Plugin path is' 1
# Nothing was created for a host the plug-in no longer knows.
[ "$(ls "$E2E_DIR/prefs")" = "PhotoshopCC2020.plist" ] ||
    e2e_fail "preference files after Shutdown: $(ls "$E2E_DIR/prefs" | tr '\n' ' ')"

# The font manager logs the user out while fonts keep arriving: the plug-in's message box stays
# open three seconds, its message loop delivering Photoshop's timer messages. The notifications
# that arrive meanwhile are handled after the box, in their order, so the last state is the last
# notification's: logged in again.
e2e_layout --case message-box-during-notifications
e2e_default_core_config
e2e_install_core
e2e_ui_script <<'SCRIPT'
messagebox 1 after 3000
SCRIPT
(
    for tries in $(seq 1 60); do
        e2e_ctl dump >/dev/null 2>&1 && break
        sleep 0.5
    done
    sleep 1
    e2e_ctl emit 8 5 100 >/dev/null 2>&1
    e2e_default_core_config '"user": {"loggedIn": false}'
    e2e_ctl reload >/dev/null 2>&1
    e2e_ctl emit 8 5 200 >/dev/null 2>&1
    e2e_default_core_config '"user": {"loggedIn": true}'
    e2e_ctl reload >/dev/null 2>&1
) &
sender=$!
e2e_play <<'JSON'
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "wait", "ms": 14000},
  {"do": "expect-file", "path": "${PORTOLAN_LOG_FILE}", "contains": ">>> notification: font 204 activated"},
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
wait $sender || true
log=$E2E_DIR/plugin.log
e2e_expect "$E2E_DIR/ui-transcript.txt" '^messagebox title=.* -> 1$' 1
events=$(grep -o -E ">>> notification: (font [0-9]+ activated|Logged-in state changed to '[a-z]+')" "$log" |
    sed -E "s/>>> notification: //; s/font ([0-9]+) activated/\1/; s/Logged-in state changed to '([a-z]+)'/\1/" |
    tr '\n' ' ')
[ "$events" = "100 101 102 103 104 false 200 201 202 203 204 true " ] ||
    e2e_fail "notifications handled: '$events'"
# The logged-in notification found the logged-out state the box's notification had left.
e2e_expect "$log" 'User logged in, but plugin functionality was disabled for non-login reasons\.' 1
# Nothing was handled while the box was open: the first notification after it comes three seconds
# after the one that opened it.
seconds() { sed -E 's/^\[[0-9-]+T([0-9]+):([0-9]+):([0-9.]+)Z\].*/\1 \2 \3/' | awk '{ print $1 * 3600 + $2 * 60 + $3 }'; }
opened=$( (grep -m1 "Logged-in state changed to 'false'" "$log" || true) | seconds)
after=$( (grep -m1 '>>> notification: font 200 activated' "$log" || true) | seconds)
[ -n "$opened" ] && [ -n "$after" ] && awk -v a="$opened" -v b="$after" 'BEGIN { exit !(b - a >= 2.5) }' ||
    e2e_fail "a notification was handled while the message box was open (${opened}s, then ${after}s)"

# The framework library throws from its preference calls for a while: the plug-in's message hooks
# log it and Photoshop goes on.
e2e_layout --case framework-throws
e2e_default_core_config
e2e_install_core
e2e_play <<'JSON'
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "set-env", "name": "LUMORAND_FRAMEWORK_FAULT", "value": "throw"},
  {"do": "wait", "ms": 2500},
  {"do": "set-env", "name": "LUMORAND_FRAMEWORK_FAULT", "value": null},
  {"do": "wait", "ms": 500},
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
e2e_expect "$E2E_DIR/plugin.log" 'Exception thrown in NotificationHandlerHookProc\(\): the preference store failed'
e2e_expect_absent "$E2E_DIR/photoshop.txt" '^CRASH'

# Another program shows a "Missing Fonts" dialog, above every other window, while Photoshop opens
# a document whose fonts the plug-in activates: Photoshop's dialog is closed, the other stays.
e2e_layout --case foreign-dialog
e2e_default_core_config
e2e_install_core
e2e_foreign_dialog_start 60
e2e_play <<JSON
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "open", "path": "$harbour"},
  {"do": "expect-dialogs", "open": 1},
  {"do": "wait-until", "timeoutMs": 15000, "condition": {"do": "expect-dialogs", "open": 0}},
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
e2e_foreign_dialog_stop
e2e_finish
