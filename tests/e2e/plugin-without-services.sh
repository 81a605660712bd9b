#!/usr/bin/env bash
# The plug-in stays loaded and does no font work, saying why, when it cannot work: an older
# Photoshop, no framework library, no font manager installed; a damaged preference file is set
# aside, not overwritten. Photoshop itself goes on: every call returns and nothing crashes.
source "$(dirname "$0")/e2e-lib.sh"

lifecycle='{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "expect-notifications", "registered": ["Mk  ", "Cls ", "save"]},
  {"do": "about"},
  {"do": "do-it", "oper": 4, "expect": {"result": 0, "descriptor": {"SPor": 0}}},
  {"do": "wait", "ms": 300},
  {"do": "quit", "expect": {"result": 0}},
  {"do": "expect-notifications", "removed": ["Opn ", "Mk  ", "Cls ", "save"]}
]}'
core_config() {
    e2e_default_core_config
}

# Photoshop 20: the plug-in is for 21.
e2e_layout --case older-photoshop
core_config
e2e_install_core
e2e_play --host-version 20.0.0.9 <<<"$lifecycle"
e2e_expect "$E2E_DIR/plugin.log" "RunningInCompatibleHostApp: app version \(20\.0\.0\.9\) incompatible with versionPrefixRequired \(21\)"
e2e_expect "$E2E_DIR/ui-transcript.txt" '^messagebox title=598 ' 1
e2e_expect_absent "$E2E_DIR/prefs/PhotoshopCC2020.plist" 'EnablePlugin'

# No framework library: no preferences, no dialogs, no font work.
e2e_layout --case no-framework --no-framework
core_config
e2e_install_core
e2e_play <<<"$lifecycle"
e2e_expect "$E2E_DIR/plugin.log" 'The framework library LumorandPluginFrameworkx64.dll cannot be loaded'
e2e_expect "$E2E_DIR/plugin.log" 'Calling PortolanGlobals::SetPluginServicesEnabled\( enable=0 \)'
[ ! -e "$E2E_DIR/ui-transcript.txt" ] || e2e_fail "a dialog was shown without the framework"

# No font manager installed: no core to launch, no library by name either.
e2e_layout --case no-font-manager --no-core
e2e_play <<<"$lifecycle"
e2e_expect "$E2E_DIR/plugin.log" 'Could not launch Typehold.exe'
e2e_expect "$E2E_DIR/plugin.log" 'ERROR:  cannot find LumorandPluginInterfaceX64.dll'
e2e_expect "$E2E_DIR/plugin.log" 'LPILoader::IsLoaded\(\) returning false because all 86 functions are missing.'
e2e_expect "$E2E_DIR/ui-transcript.txt" '^messagebox title=602 ' 1

# A damaged preference file: set aside with its bytes, fresh defaults written.
e2e_layout --case damaged-preferences
core_config
e2e_install_core
printf 'this is not a property list \x01\x02' >"$E2E_DIR/prefs/PhotoshopCC2020.plist"
e2e_play <<<"$lifecycle"
damaged=$(ls "$E2E_DIR"/prefs/PhotoshopCC2020.plist.damaged-* 2>/dev/null | head -n 1)
if [ -z "$damaged" ]; then
    e2e_fail "the damaged preference file was not set aside"
else
    printf 'this is not a property list \x01\x02' | cmp -s - "$damaged" || e2e_fail "the set-aside file lost its bytes"
fi
e2e_expect "$E2E_DIR/prefs/PhotoshopCC2020.plist" '<key>EnablePlugin</key>' 1
e2e_expect "$E2E_DIR/ui-transcript.txt" '^# .*damaged'
e2e_finish
