#!/usr/bin/env bash
# A hundred times Photoshop opens a document whose fonts the plug-in activates (and whose missing-
# fonts dialog it dismisses) and closes it again, so that the fonts leave with it: the process ends
# the cycles with as many Core Foundation objects alive as after the first one (the plug-in's, the
# host's and the font manager libraries' together), give or take the few a notification in flight
# holds; an object left behind per cycle would be a hundred.
source "$(dirname "$0")/e2e-lib.sh"

harbour=$(jsonpath "$E2E_DOCUMENTS/harbour.psd")
cycle="{\"do\": \"open\", \"path\": \"$harbour\"},
  {\"do\": \"wait-until\", \"timeoutMs\": 8000, \"condition\":
    {\"do\": \"expect-installed\", \"fonts\": [\"Carlito-Bold\", \"OpenSans-Semibold\"], \"installed\": true}},
  {\"do\": \"wait-until\", \"timeoutMs\": 8000, \"condition\": {\"do\": \"expect-dialogs\", \"open\": 0}},
  {\"do\": \"close\"},
  {\"do\": \"wait-until\", \"timeoutMs\": 8000, \"condition\":
    {\"do\": \"expect-installed\", \"fonts\": [\"Carlito-Bold\", \"OpenSans-Semibold\"], \"installed\": false}}"
cycles=""
for i in $(seq 2 100); do
    cycles="$cycles $cycle,"
done

e2e_layout
e2e_default_core_config
e2e_install_core
e2e_preferences CloseFontsOnDocClose=true
e2e_play <<JSON
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  $cycle,
  {"do": "wait", "ms": 1500},
  {"do": "count-cf-objects", "as": "after the first cycle"},
  $cycles
  {"do": "wait", "ms": 1500},
  {"do": "count-cf-objects", "expect": {"sameAs": "after the first cycle", "tolerance": 8}},
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
e2e_expect "$E2E_DIR/plugin.log" "Newly opened document detected: '.*harbour.psd'" 100
e2e_finish
