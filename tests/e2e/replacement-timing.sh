#!/usr/bin/env bash
# When Photoshop's substitute fonts are replaced: font changes (WM_FONTCHANGE) keep postponing the
# replacement while they come; a failed replacement is retried once a second later, and a second
# failure is dropped.
source "$(dirname "$0")/e2e-lib.sh"

harbour=$(jsonpath "$E2E_DOCUMENTS/harbour.psd")
opened="{\"do\": \"start\", \"expect\": {\"result\": 0}, \"stopOnFailure\": true},
  {\"do\": \"open\", \"path\": \"$harbour\", \"missingFontsDialog\": false},
  {\"do\": \"wait-until\", \"timeoutMs\": 3000, \"condition\":
    {\"do\": \"expect-installed\", \"fonts\": [\"OpenSans-Semibold\"], \"installed\": true}}"

e2e_layout --case postponed-by-font-changes
e2e_default_core_config
e2e_install_core
# Font changes every 700 ms for 12 seconds, longer than the replacement delay and the pause the
# missing-fonts dialog check takes after an open: each moves the pending replacement a second ahead.
changes=""
for i in $(seq 1 17); do
    changes="$changes {\"do\": \"post-font-change\"}, {\"do\": \"wait\", \"ms\": 700},"
done
e2e_play <<JSON
{"steps": [
  $opened,
  $changes
  {"do": "expect-plays", "event": "replaceSubstitutes", "count": 0},
  {"do": "wait-until", "timeoutMs": 3000, "condition": {"do": "expect-plays", "event": "replaceSubstitutes", "count": 1}},
  {"do": "quit", "expect": {"result": 0}}
]}
JSON

e2e_layout --case retried-once
e2e_default_core_config
e2e_install_core
e2e_play <<JSON
{"steps": [
  $opened,
  {"do": "fail-next-play", "count": 2},
  {"do": "wait-until", "timeoutMs": 15000, "condition": {"do": "expect-plays", "event": "replaceSubstitutes", "count": 2}},
  {"do": "expect-plays", "event": "updateLayouts", "count": 2},
  {"do": "expect-fonts", "document": "harbour.psd", "replaced": ["Carlito-Bold", "LiberationSerif-Italic", "OpenSans-Semibold"]},
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
e2e_expect "$E2E_DIR/plugin.log" 'Entering DeferredReplaceMissingFonts\(\)' 2

e2e_layout --case dropped-after-two-failures
e2e_default_core_config
e2e_install_core
e2e_play <<JSON
{"steps": [
  $opened,
  {"do": "fail-next-play", "count": 4},
  {"do": "wait-until", "timeoutMs": 15000, "condition": {"do": "expect-plays", "event": "replaceSubstitutes", "count": 2}},
  {"do": "wait", "ms": 2500},
  {"do": "expect-plays", "event": "replaceSubstitutes", "count": 2},
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
e2e_finish
