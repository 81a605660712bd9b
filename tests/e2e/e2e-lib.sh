# End-to-end scenarios under Wine: Photoshop (photoshop-sim.exe) with the plug-in installed in its
# plug-ins folder, the font manager's core (Typehold.exe with its interface library) installed the
# way the field install lays it out, and the framework library beside the plug-in. Sourced by the
# scenario scripts in this folder:
#   bash SCENARIO.sh BUILD_DIR
# A scenario sets up a layout, writes the core's configuration and the plug-in's preferences,
# plays a photoshop-sim scenario (whose own expectations make it fail) and checks files on disk.
set -euo pipefail

E2E_BUILD=$(cd "$1" && pwd)
E2E_REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
E2E_BIN=$E2E_BUILD/bin
E2E_NAME=$(basename "$0" .sh)
E2E_ROOT=$E2E_BUILD/e2e/$E2E_NAME
E2E_DIR=$E2E_ROOT
E2E_PREFIX=$E2E_BUILD/wine-prefix
E2E_DOCUMENTS=$E2E_BUILD/e2e-documents
E2E_FONTS=${PORTOLAN_DEPS_DIR:-$E2E_REPO/.deps}/fonts
E2E_FAILURES=0
[ -d "$E2E_FONTS" ] || { echo "no test fonts in $E2E_FONTS: run scripts/setup (or set PORTOLAN_DEPS_DIR)" >&2; exit 2; }
[ -d "$E2E_DOCUMENTS" ] || { echo "no documents in $E2E_DOCUMENTS: run the e2e.make_documents test first" >&2; exit 2; }

# The Windows form of a Linux path (Wine's Z: drive).
winpath() { local p=$1; printf 'Z:%s' "${p//\//\\}"; }
# The same, with backslashes doubled for JSON text.
jsonpath() { local p; p=$(winpath "$1"); printf '%s' "${p//\\/\\\\}"; }

wine_run() { "$E2E_REPO/cmake/wine-run" "$E2E_PREFIX" "$@"; }

e2e_fail() {
    echo "E2E FAILED ($E2E_NAME): $*" >&2
    E2E_FAILURES=$((E2E_FAILURES + 1))
}

# Stops every core process of the prefix (a killed core is part of some scenarios; none may
# outlive its scenario).
e2e_stop_core() {
    wine_run "$E2E_BIN/typehold-ctl.exe" exit >/dev/null 2>&1 || true
    wine_run taskkill /F /IM Typehold.exe >/dev/null 2>&1 || true
    wine_run "$E2E_BIN/lumorand-install.exe" --remove >/dev/null 2>&1 || true
    wine_run "$E2E_BIN/lumorand-install.exe" --remove --per-user >/dev/null 2>&1 || true
}

# A fresh layout:
#   Photoshop/photoshop-sim.exe          the host, with CoreFoundation.dll
#   Photoshop/Plug-ins/Portolan.8li      the plug-in, with the framework library beside it
#   Lumorand/Typehold.exe                the core, its interface library, CoreFoundation.dll
#   Lumorand/config/                     the core's configuration, state and system font table
#   prefs/ (the framework's preferences), ui-script.txt, and the transcripts and logs.
# Options: --case NAME (a scenario with several cases: each in a folder of its own),
# --no-framework, --no-core, --lpi-variant NAME (a test build of the interface library),
# --event-library FILE[:AS]|none (the extension event library beside Photoshop: by default
# PlugPlugOwl.dll, as Photoshop 2020 ships it).
e2e_layout() {
    local framework=1 core=1 variant="" events=PlugPlugOwl.dll
    E2E_DIR=$E2E_ROOT
    while [ $# -gt 0 ]; do
        case $1 in
        --case) E2E_DIR=$E2E_ROOT/$2; echo "-- case $2"; shift ;;
        --no-framework) framework=0 ;;
        --no-core) core=0 ;;
        --lpi-variant) variant=$2; shift ;;
        --event-library) events=$2; shift ;;
        *) echo "e2e_layout: unknown option $1" >&2; exit 2 ;;
        esac
        shift
    done
    e2e_stop_core
    rm -rf "$E2E_DIR"
    mkdir -p "$E2E_DIR/Photoshop/Plug-ins" "$E2E_DIR/prefs" "$E2E_DIR/Lumorand/config"
    cp "$E2E_BIN/photoshop-sim.exe" "$E2E_BIN/CoreFoundation.dll" "$E2E_DIR/Photoshop/"
    [ "$events" = none ] || cp "$E2E_BIN/${events%%:*}" "$E2E_DIR/Photoshop/${events#*:}"
    cp "$E2E_BIN/Portolan.8li" "$E2E_DIR/Photoshop/Plug-ins/"
    [ $framework -eq 1 ] && cp "$E2E_BIN/LumorandPluginFrameworkx64.dll" "$E2E_DIR/Photoshop/Plug-ins/"
    if [ $core -eq 1 ]; then
        cp "$E2E_BIN/Typehold.exe" "$E2E_BIN/CoreFoundation.dll" "$E2E_DIR/Lumorand/"
        if [ -n "$variant" ]; then
            cp "$E2E_BUILD/lpi-variants/$variant/LumorandPluginInterfaceX64.dll" "$E2E_DIR/Lumorand/"
        else
            cp "$E2E_BIN/LumorandPluginInterfaceX64.dll" "$E2E_DIR/Lumorand/"
        fi
    fi
    : >"$E2E_DIR/ui-script.txt"
    export PORTOLAN_LOG_FILE; PORTOLAN_LOG_FILE=$(winpath "$E2E_DIR/plugin.log")
    export PORTOLAN_LOG_LEVEL=3
    unset PLUGPLUG_TRANSCRIPT PLUGPLUG_FAULT
    export LUMORAND_FRAMEWORK_PREFS_DIR; LUMORAND_FRAMEWORK_PREFS_DIR=$(winpath "$E2E_DIR/prefs")
    export LUMORAND_UI_SCRIPT; LUMORAND_UI_SCRIPT=$(winpath "$E2E_DIR/ui-script.txt")
    export LUMORAND_UI_TRANSCRIPT; LUMORAND_UI_TRANSCRIPT=$(winpath "$E2E_DIR/ui-transcript.txt")
    export LUMORAND_SYSTEM_FONT_TABLE_DIR; LUMORAND_SYSTEM_FONT_TABLE_DIR=$(winpath "$E2E_DIR/Lumorand/config")
    export E2E_DIR_WIN; E2E_DIR_WIN=$(winpath "$E2E_DIR")
}

# Writes the launch-information file for the installed core (options of lumorand-install.exe,
# e.g. --per-user, --lf, --no-args).
e2e_install_core() {
    wine_run "$E2E_BIN/lumorand-install.exe" --typehold "$(winpath "$E2E_DIR/Lumorand/Typehold.exe")" \
        --config "$(winpath "$E2E_DIR/Lumorand/config")" "$@" >/dev/null
}

# The core's config.json from standard input.
e2e_core_config() { cat >"$E2E_DIR/Lumorand/config/config.json"; }
# The usual configuration: the test fonts in one library, the machine's fonts as system fonts;
# extra members (JSON text) may follow.
e2e_default_core_config() {
    local extra=${1:-}
    e2e_core_config <<JSON
{"fontFolders": ["$(jsonpath "$E2E_FONTS")"], "systemFonts": true${extra:+, $extra}}
JSON
}

# typehold-ctl against the running core.
e2e_ctl() { wine_run "$E2E_BIN/typehold-ctl.exe" "$@"; }

# Starts the installed core before Photoshop does (so that another client can use it first) and
# waits until it answers.
e2e_start_core() {
    (wine_run "$E2E_DIR/Lumorand/Typehold.exe" --config "$(winpath "$E2E_DIR/Lumorand/config")" \
        </dev/null >/dev/null 2>&1 &)
    local tries
    for tries in $(seq 1 60); do
        e2e_ctl dump >/dev/null 2>&1 && return 0
        sleep 0.5
    done
    e2e_fail "the core did not start"
    return 1
}

# The database ID of a font of the catalog, by PostScript name.
# (awk reads to the end: a reader that stops early would fail the pipeline with SIGPIPE.)
e2e_font_id() { e2e_ctl fonts | tr -d '\r' | awk -F'\t' -v name="$1" '$2 == name && !found { print $1; found = 1 }'; }

# Another revision of a TrueType font (its 'head' table's modification time changed): the same
# PostScript name in another file, a conflict for the font manager when both are in its catalog.
e2e_font_revision() { # SOURCE DESTINATION
    python3 - "$1" "$2" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
for i in range(struct.unpack(">H", data[4:6])[0]):
    tag, _, offset, _ = struct.unpack(">4sIII", data[12 + 16 * i:28 + 16 * i])
    if tag == b"head":
        data[offset + 35] ^= 0x5A
open(sys.argv[2], "wb").write(data)
PY
}

# Whether fonts are in the core's system font table (active for the machine) now.
e2e_expect_active() {
    local name
    for name in "$@"; do
        cut -f1 "$E2E_DIR/Lumorand/config/system-font-table.txt" 2>/dev/null | tr -d '\r' | grep -qx -- "$name" \
            || e2e_fail "$name is not active"
    done
}
e2e_expect_inactive() {
    local name
    for name in "$@"; do
        ! cut -f1 "$E2E_DIR/Lumorand/config/system-font-table.txt" 2>/dev/null | tr -d '\r' | grep -qx -- "$name" \
            || e2e_fail "$name is still active"
    done
}

# The plug-in's preferences for the Photoshop build (PhotoshopCC2020.plist), as a previous run
# left them: the defaults, changed by key=value pairs (true/false for yes/no, integers for numbers).
e2e_preferences() {
    local file="$E2E_DIR/prefs/PhotoshopCC2020.plist"
    local -A values=([EnablePlugin]=true [EnableFaceTrace]=true [DialogSuppression]=true [PickBestMatch]=true
        [SupportEmbeddedObjects]=true [CloseFontsOnHostAppQuit]=true [CloseFontsOnDocClose]=false
        [ActivateEntireFamilies]=false [CS5PanelWidth]=260 [CS5PanelHeight]=350 [DropDownSelection]=false
        [RMF4]=500 [RMF5]=4000)
    local pair key value
    for pair in "$@"; do
        values[${pair%%=*}]=${pair#*=}
    done
    {
        echo '<?xml version="1.0" encoding="UTF-8"?>'
        echo '<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">'
        echo '<plist version="1.0"><dict>'
        for key in "${!values[@]}"; do
            value=${values[$key]}
            case $value in
            true | false) echo "<key>$key</key><$value/>" ;;
            -[0-9]* | [0-9]*) echo "<key>$key</key><integer>$value</integer>" ;;
            *) echo "<key>$key</key><string>$value</string>" ;;
            esac
        done
        echo '</dict></plist>'
    } >"$file"
}

# Answers of the framework's dialogs, one per line, from standard input.
e2e_ui_script() { cat >"$E2E_DIR/ui-script.txt"; }

# Plays a scenario (JSON from standard input) in photoshop-sim; extra arguments go to the
# program (e.g. --host-version 20.0.0.9). Fails the scenario when photoshop-sim does.
e2e_play() {
    cat >"$E2E_DIR/scenario.json"
    local status=0
    e2e_photoshop "$@" || status=$?
    e2e_play_verdict $status
}
e2e_photoshop() {
    (cd "$E2E_DIR/Photoshop" && wine_run ./photoshop-sim.exe --plugins "$(winpath "$E2E_DIR/Photoshop/Plug-ins")" \
        --scenario "$(winpath "$E2E_DIR/scenario.json")" --transcript "$(winpath "$E2E_DIR/photoshop.txt")" "$@") \
        >"$E2E_DIR/photoshop-stdout.txt" 2>&1
}
e2e_play_verdict() { # EXIT_STATUS
    if [ "$1" -ne 0 ]; then
        e2e_fail "photoshop-sim exited with $1"
        grep -h -E 'EXPECTATION FAILED|CRASH|LEAK|MISUSE|unexpected call' "$E2E_DIR/photoshop.txt" >&2 || true
    fi
    # The plug-in calls the host only through slots it may use, and asks only for suite versions
    # Photoshop serves.
    e2e_expect_absent "$E2E_DIR/photoshop.txt" 'unexpected call'
    e2e_expect_absent "$E2E_DIR/photoshop.txt" "^AcquireSuite .* -> 'S!Fd'"
}

# --- The panel page in a browser ---------------------------------------------------------------
# Photoshop plays in the background while a Node script drives the panel in chromium through the
# event library's bridge; the scenario holds (e2e_browser_hold_step) until the script is done:
#   e2e_browser_start; e2e_play_held <<JSON ... $(e2e_browser_hold_step) ... JSON
#   e2e_browser_run SCRIPT [ARGS...]; e2e_play_wait
# The extension folder is the repository's panel (E2E_PANEL_DIR for another one).
e2e_browser_start() {
    export PLUGPLUG_TRANSCRIPT; PLUGPLUG_TRANSCRIPT=$(winpath "$E2E_DIR/plugplug.txt")
    export PLUGPLUG_BRIDGE_FILE; PLUGPLUG_BRIDGE_FILE=$(winpath "$E2E_DIR/bridge.txt")
    export PLUGPLUG_EXTENSION_DIR; PLUGPLUG_EXTENSION_DIR=$(winpath "${E2E_PANEL_DIR:-$E2E_REPO/panel/com.lumorand.panel}")
    rm -f "$E2E_DIR/bridge.txt" "$E2E_DIR/browser-done.txt"
}
# The step that holds Photoshop until the browser part is done (at most MS, default 5 minutes).
e2e_browser_hold_step() {
    printf '{"do": "wait-until", "condition": {"do": "expect-file", "path": "%s", "contains": "done"}, "timeoutMs": %s}' \
        "$(jsonpath "$E2E_DIR/browser-done.txt")" "${1:-300000}"
}
# Starts photoshop-sim with the scenario from standard input and returns at once.
e2e_play_held() {
    cat >"$E2E_DIR/scenario.json"
    e2e_photoshop "$@" &
    E2E_PHOTOSHOP_PID=$!
}
# Once Photoshop holds (the hold step has begun) and the bridge's address is known, runs the Node
# script against it (a failure fails the scenario) and lets Photoshop go on, whatever it found.
e2e_browser_run() { # SCRIPT [ARGS...]
    local waited=0
    until { [ -s "$E2E_DIR/bridge.txt" ] && grep -q '^step .*browser-done\.txt' "$E2E_DIR/photoshop.txt" 2>/dev/null; } \
        || [ $waited -ge 1800 ] || ! kill -0 "$E2E_PHOTOSHOP_PID" 2>/dev/null; do
        sleep 0.1
        waited=$((waited + 1))
    done
    if [ ! -s "$E2E_DIR/bridge.txt" ]; then
        e2e_fail "the event library's bridge did not start"
    elif ! grep -q '^step .*browser-done\.txt' "$E2E_DIR/photoshop.txt"; then
        e2e_fail "Photoshop did not reach the step that holds it for the browser"
    else
        local started=$SECONDS
        E2E_BRIDGE=$(tr -d '\r\n' <"$E2E_DIR/bridge.txt") E2E_DIR=$E2E_DIR E2E_REPO=$E2E_REPO E2E_BIN=$E2E_BIN \
            E2E_PREFIX=$E2E_PREFIX NODE_PATH=${PORTOLAN_DEPS_DIR:-$E2E_REPO/.deps}/node/node_modules \
            timeout 300 node "$@" || e2e_fail "the browser part ($(basename "$1")) failed"
        echo "-- browser part: $((SECONDS - started)) s"
    fi
    echo done >"$E2E_DIR/browser-done.txt"
}
e2e_play_wait() {
    local status=0
    wait "$E2E_PHOTOSHOP_PID" || status=$?
    e2e_play_verdict $status
}

# Expects a file to hold lines matching an extended regular expression (optionally exactly N).
e2e_expect() { # FILE REGEX [COUNT]
    local file=$1 regex=$2 count=${3:-}
    local found=0
    [ -f "$file" ] && found=$(grep -c -E -- "$regex" "$file" || true)
    if [ -n "$count" ]; then
        [ "$found" -eq "$count" ] || e2e_fail "$(basename "$file"): '$regex' found $found times, expected $count"
    else
        [ "$found" -gt 0 ] || e2e_fail "$(basename "$file"): no line matches '$regex'"
    fi
}
e2e_expect_absent() { e2e_expect "$1" "$2" 0; }

# Another program (foreign-dialog.exe) shows a top-level "Missing Fonts" window with a Cancel
# button for at most SECONDS; returns once the window is up. What it receives goes to
# $E2E_DIR/foreign-dialog.txt.
e2e_foreign_dialog_start() { # SECONDS
    local ready=$E2E_DIR/foreign-ready tries
    E2E_FOREIGN_STOP=$E2E_DIR/foreign-stop
    (cd "$E2E_DIR" && wine_run "$E2E_BIN/foreign-dialog.exe" "$1" "$(winpath "$ready")" \
        "$(winpath "$E2E_FOREIGN_STOP")" >"$E2E_DIR/foreign-dialog.txt" 2>&1) &
    E2E_FOREIGN_PID=$!
    for tries in $(seq 1 80); do
        [ -f "$ready" ] && return 0
        sleep 0.5
    done
    e2e_fail "the other program's window did not come up"
}
# Ends the other program; a window that was closed before that fails the scenario.
e2e_foreign_dialog_stop() {
    local status=0
    touch "$E2E_FOREIGN_STOP"
    wait "$E2E_FOREIGN_PID" || status=$?
    [ $status -eq 0 ] || e2e_fail "the other program's window was closed: $(cat "$E2E_DIR/foreign-dialog.txt")"
}

# Checks the font-usage slug of a saved document with independent readers (slug-check.js).
e2e_slug_check() { # DOCUMENT ORIGINAL FONT_FOLDER [NAME...]
    NODE_PATH=${PORTOLAN_DEPS_DIR:-$E2E_REPO/.deps}/node/node_modules node "$E2E_REPO/tests/e2e/slug-check.js" "$@" \
        || e2e_fail "the slug of $(basename "$1")"
}

# Ends the scenario: stops the core, prints where the files are, and the verdict.
e2e_finish() {
    e2e_stop_core
    if [ $E2E_FAILURES -ne 0 ]; then
        echo "== $E2E_NAME: $E2E_FAILURES failure(s); files in $E2E_ROOT" >&2
        for file in photoshop.txt ui-transcript.txt; do
            [ -f "$E2E_DIR/$file" ] && { echo "--- $file (last 40 lines)" >&2; tail -n 40 "$E2E_DIR/$file" >&2; }
        done
        exit 1
    fi
    echo "== $E2E_NAME: passed"
}
