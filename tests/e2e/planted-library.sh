#!/usr/bin/env bash
# The font manager's libraries are loaded by full path only: a library planted under their names in
# Photoshop's working folder (the Photoshop/ folder, where photoshop-sim runs) is never loaded,
# whether the core cannot be found, the framework is missing beside the plug-in, or everything is
# installed. The planted library leaves <its path>.loaded the moment anything loads it.
source "$(dirname "$0")/e2e-lib.sh"

planted=$E2E_BUILD/lpi-variants/planted/LumorandPluginInterfaceX64.dll
lifecycle='{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "do-it", "oper": 4, "expect": {"result": 0}},
  {"do": "wait", "ms": 1500},
  {"do": "quit", "expect": {"result": 0}},
  {"do": "expect-responsive", "maxStallMs": 5000}
]}'
never_loaded() { # FILE...
    local file
    for file in "$@"; do
        [ -f "$file" ] || e2e_fail "$(basename "$file") was not planted"
        [ ! -e "$file.loaded" ] || e2e_fail "the planted $(basename "$file") was loaded: $(tr -d '\0\r' <"$file.loaded")"
    done
}

# No core anywhere: the interface library is not looked for by its bare name.
e2e_layout --case no-core --no-core
cp "$planted" "$E2E_DIR/Photoshop/"
e2e_play <<<"$lifecycle"
never_loaded "$E2E_DIR/Photoshop/LumorandPluginInterfaceX64.dll"
e2e_expect "$E2E_DIR/plugin.log" 'ERROR:  cannot find LumorandPluginInterfaceX64.dll' 1

# No framework beside the plug-in: it is not looked for by its bare name either.
e2e_layout --case no-framework --no-framework
e2e_default_core_config
e2e_install_core
cp "$planted" "$E2E_DIR/Photoshop/LumorandPluginFrameworkx64.dll"
e2e_play <<<"$lifecycle"
never_loaded "$E2E_DIR/Photoshop/LumorandPluginFrameworkx64.dll"
e2e_expect "$E2E_DIR/plugin.log" 'The framework library .*LumorandPluginFrameworkx64.dll cannot be loaded' 1

# Everything installed: the libraries come from the core's folder and from beside the plug-in.
e2e_layout --case installed
e2e_default_core_config
e2e_install_core
cp "$planted" "$E2E_DIR/Photoshop/"
cp "$planted" "$E2E_DIR/Photoshop/LumorandPluginFrameworkx64.dll"
e2e_play <<<"$lifecycle"
never_loaded "$E2E_DIR/Photoshop/LumorandPluginInterfaceX64.dll" "$E2E_DIR/Photoshop/LumorandPluginFrameworkx64.dll"
e2e_expect "$E2E_DIR/plugin.log" "SUCCESS: LoadLibraryA\('.*Lumorand.LumorandPluginInterfaceX64.dll'\)" 1
e2e_expect "$E2E_DIR/plugin.log" "Loaded LumorandPluginFrameworkx64.dll from '.*Plug-ins.LumorandPluginFrameworkx64.dll'" 1
e2e_finish
