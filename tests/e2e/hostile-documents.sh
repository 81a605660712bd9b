#!/usr/bin/env bash
# Hostile documents never stall Photoshop's user-interface thread beyond one timer step and never
# crash it: a truncated PSD, gigabytes of garbage behind a PSD signature, a file that vanishes
# after Photoshop opened it, and a document under a name with non-ASCII characters (whose fonts
# are activated all the same). Each problem is logged.
source "$(dirname "$0")/e2e-lib.sh"

e2e_layout
e2e_default_core_config
e2e_install_core
work=$E2E_DIR/work
mkdir -p "$work"
head -c 300 "$E2E_DOCUMENTS/harbour.psd" >"$work/truncated.psd"
# 3 GiB: a PSD header, then nothing but zeros (a sparse file).
{ printf '8BPS\0\1\0\0\0\0\0\0\0\3\0\0\0\x10\0\0\0\x10\0\x08\0\3'; } >"$work/garbage.psd"
truncate -s 3G "$work/garbage.psd"
cp "$E2E_DOCUMENTS/coast.psd" "$work/vanishing.psd"
cp "$E2E_DOCUMENTS/Küste 海図.psd" "$work/Küste 海図.psd"

e2e_play <<JSON
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "open", "path": "$(jsonpath "$work/truncated.psd")", "missingFontsDialog": false},
  {"do": "open", "path": "$(jsonpath "$work/garbage.psd")", "missingFontsDialog": false},
  {"do": "open", "path": "$(jsonpath "$work/vanishing.psd")", "missingFontsDialog": false},
  {"do": "delete-file", "path": "$(jsonpath "$work/vanishing.psd")"},
  {"do": "open", "path": "$(jsonpath "$work/Küste 海図.psd")", "missingFontsDialog": false},
  {"do": "wait-until", "timeoutMs": 4000, "condition":
    {"do": "expect-installed", "fonts": ["Carlito-Bold", "LiberationSerif-Italic", "OpenSans-Semibold"], "installed": true}},
  {"do": "wait", "ms": 2000},
  {"do": "expect-installed", "fonts": ["Caladea-Regular"], "installed": false},
  {"do": "close", "document": "garbage.psd"},
  {"do": "close", "document": "truncated.psd"},
  {"do": "quit", "expect": {"result": 0}},
  {"do": "expect-responsive", "maxStallMs": 5000, "maxTotalMs": 15000}
]}
JSON
log=$E2E_DIR/plugin.log
e2e_expect "$log" "Newly opened document detected: '.*Küste 海図.psd'" 1
e2e_expect "$log" "Newly opened document detected: '.*truncated.psd'" 1
e2e_expect "$log" "Newly opened document detected: '.*garbage.psd'" 1
e2e_expect_absent "$log" "Newly opened document detected: '.*vanishing.psd'"
e2e_expect_absent "$log" 'WM_TIMER handling took'
e2e_expect "$E2E_DIR/Lumorand/config/typehold.log" 'truncated.psd'
e2e_finish
