#!/usr/bin/env bash
# Photoshop loads the plug-in with a compatible font manager installed: the hooks are installed,
# the three notifications registered in order, the default preferences written to the framework's
# preference file and the replacement delays raised; a second Startup does nothing more; Do It
# answers the listening port or 'Parm'; About reaches the framework's about box; Shutdown removes
# the notifications in order and every call releases its suites.
source "$(dirname "$0")/e2e-lib.sh"

e2e_layout
e2e_default_core_config
e2e_install_core
e2e_play <<'JSON'
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "expect-notifications", "registered": ["Mk  ", "Cls ", "save"]},
  {"do": "startup-again", "expect": {"result": 0}},
  {"do": "do-it", "oper": 4, "expect": {"result": 0, "descriptor": {"SPor": 0, "Oper": null}}},
  {"do": "do-it", "noParameters": true, "expect": {"result": "Parm"}},
  {"do": "call", "caller": "SP Interface", "selector": "Reload", "expect": {"result": 0}},
  {"do": "about"},
  {"do": "wait", "ms": 500},
  {"do": "quit", "expect": {"result": 0}},
  {"do": "expect-notifications", "removed": ["Opn ", "Mk  ", "Cls ", "save"]}
]}
JSON

log=$E2E_DIR/plugin.log
e2e_expect "$log" 'hDialogSuppressionHook=0x' 1
e2e_expect "$log" 'hNotificationHandlerHook=0x' 1
e2e_expect "$log" 'Entering StartupPlugin' 2
e2e_expect "$log" "LPI at location '.*Lumorand.LumorandPluginInterfaceX64.dll' is version '1\.0\.0\.42'"
e2e_expect "$log" 'Calling PortolanGlobals::SetPluginServicesEnabled\( enable=0 \)' 1
e2e_expect "$log" 'Entering PortolanGlobals::CleanUpOnShutdown'
e2e_expect "$E2E_DIR/photoshop.txt" "plugin Portolan.8li: PIPL 16000: kind '8LIZ' name \"Lumorand...\" catg \"Lumorand\" vers 0x00010000 entry \"AutoPluginMain\" prst 1"
e2e_expect_absent "$E2E_DIR/photoshop.txt" 'LEAK'
e2e_expect "$E2E_DIR/ui-transcript.txt" '^about plugin=1\.0\.0\.[0-9]+ interface=1\.0\.0\.42 .*host=PhotoshopCC2020' 1
e2e_expect_absent "$E2E_DIR/ui-transcript.txt" '^messagebox'

# The defaults and the raised delays are in the framework's preference file.
prefs=$E2E_DIR/prefs/PhotoshopCC2020.plist
for key in EnablePlugin EnableFaceTrace DialogSuppression PickBestMatch SupportEmbeddedObjects CloseFontsOnHostAppQuit; do
    e2e_expect "$prefs" "<key>$key</key>" 1
done
e2e_expect "$prefs" '<key>CloseFontsOnDocClose</key>'
e2e_expect "$prefs" '<key>CS5PanelWidth</key>'
tr -d ' \n\t' <"$prefs" | grep -q '<key>RMF4</key><integer>500</integer>' || e2e_fail "RMF4 is not 500"
tr -d ' \n\t' <"$prefs" | grep -q '<key>RMF5</key><integer>4000</integer>' || e2e_fail "RMF5 is not 4000"
tr -d ' \n\t' <"$prefs" | grep -q '<key>PickBestMatch</key><true/>' || e2e_fail "PickBestMatch default is not yes"
e2e_finish
