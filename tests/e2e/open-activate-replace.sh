#!/usr/bin/env bash
# The road of one opened document: Photoshop opens a file naming fonts of the font manager's
# catalog; within a timer second the plug-in has them activated (Photoshop sees them installed);
# after the replacement delay it plays "updateLayouts" and "replaceSubstitutes" exactly once and the
# substitutes are replaced; the tracked record holds the path and Photoshop's document ID.
source "$(dirname "$0")/e2e-lib.sh"

e2e_layout
e2e_default_core_config
e2e_install_core
harbour=$(jsonpath "$E2E_DOCUMENTS/harbour.psd")
e2e_play <<JSON
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "open", "path": "$harbour"},
  {"do": "expect-fonts", "document": "harbour.psd",
   "missingAtOpen": ["Carlito-Bold", "LiberationSerif-Italic", "OpenSans-Semibold"]},
  {"do": "wait-until", "timeoutMs": 2500, "condition":
    {"do": "expect-installed", "fonts": ["Carlito-Bold", "LiberationSerif-Italic", "OpenSans-Semibold"], "installed": true}},
  {"do": "expect-plays", "event": "replaceSubstitutes", "count": 0},
  {"do": "wait-until", "timeoutMs": 8000, "condition": {"do": "expect-plays", "event": "replaceSubstitutes", "count": 1}},
  {"do": "expect-plays", "event": "updateLayouts", "count": 1},
  {"do": "expect-fonts", "document": "harbour.psd", "missing": [],
   "replaced": ["Carlito-Bold", "LiberationSerif-Italic", "OpenSans-Semibold"]},
  {"do": "wait", "ms": 2500},
  {"do": "expect-plays", "event": "replaceSubstitutes", "count": 1},
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
e2e_expect "$E2E_DIR/plugin.log" "Newly opened document detected: '.*harbour.psd'" 1
e2e_expect "$E2E_DIR/plugin.log" "Exiting HandleOpenedDocument\('.*harbour.psd', silently=0\). DocumentHandle is 0x000003e9"
e2e_finish
