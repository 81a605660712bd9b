#!/usr/bin/env bash
# When the font manager cannot serve the plug-in, its services are disabled with the reason logged
# and shown once, and Photoshop goes on: an interface library that lacks an entry point, one of an
# incompatible version, one without version information, and a core that never settles after its
# launch. A core installed only for the current user, under a path with spaces, with a launch file
# of LF line ends, is found and used.
source "$(dirname "$0")/e2e-lib.sh"

lifecycle='{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "do-it", "oper": 4, "expect": {"result": 0}},
  {"do": "wait", "ms": 300},
  {"do": "quit", "expect": {"result": 0}}
]}'
disabled() {
    e2e_expect "$E2E_DIR/plugin.log" 'Calling PortolanGlobals::SetPluginServicesEnabled\( enable=0 \)'
    e2e_expect "$E2E_DIR/ui-transcript.txt" '^messagebox title=602 ' 1
}

e2e_layout --case missing-entry-point --lpi-variant missing-export
e2e_default_core_config
e2e_install_core
e2e_play <<<"$lifecycle"
e2e_expect "$E2E_DIR/plugin.log" "GetProcAddress\(0x[0-9a-f]+, 'TrackFontPanelClick'\) returned 0x00000000"
e2e_expect "$E2E_DIR/plugin.log" 'LPILoader::IsLoaded\(\) returning false because of one or more null inputs.'
disabled

e2e_layout --case old-version --lpi-variant old-version
e2e_default_core_config
e2e_install_core
e2e_play <<<"$lifecycle"
e2e_expect "$E2E_DIR/plugin.log" "VersionsAreCompatible\('0\.9\.8\.3', '1\.0\.0\.[0-9]+'\) returning 0"
disabled

e2e_layout --case no-version --lpi-variant no-version
e2e_default_core_config
e2e_install_core
e2e_play <<<"$lifecycle"
e2e_expect "$E2E_DIR/plugin.log" "VersionsAreCompatible\('', '1\.0\.0\.[0-9]+'\) returning 0"
disabled

e2e_layout --case core-never-settles
e2e_default_core_config '"startupDelayMs": 6000'
e2e_install_core
e2e_play <<<"$lifecycle"
e2e_expect "$E2E_DIR/plugin.log" 'Could not launch Typehold.exe'
disabled

e2e_layout --case per-user-path-with-spaces
spaced="$E2E_DIR/Program Files/Lumorand Core"
mkdir -p "$spaced"
mv "$E2E_DIR"/Lumorand/*.exe "$E2E_DIR"/Lumorand/*.dll "$spaced/"
e2e_default_core_config
wine_run "$E2E_BIN/lumorand-install.exe" --per-user --lf --typehold "$(winpath "$spaced/Typehold.exe")" \
    --config "$(winpath "$E2E_DIR/Lumorand/config")" >/dev/null
e2e_play <<<"$lifecycle"
e2e_expect "$E2E_DIR/plugin.log" "Attempting to launch Typehold: \".*Program Files.Lumorand Core.Typehold.exe\" --config"
e2e_expect "$E2E_DIR/plugin.log" "LPI at location '.*Program Files.Lumorand Core.LumorandPluginInterfaceX64.dll' is version '1\.0\.0\.42'"
e2e_expect_absent "$E2E_DIR/ui-transcript.txt" '^messagebox'
e2e_finish
