#!/usr/bin/env bash
# Documents Photoshop makes rather than opens: a new document ('Mk  ') is tracked at once, gets its
# XMP packet through the plug-in's ExtendScript, is saved as a file (with the font-usage slug of
# its active fonts) and closed. A document opened and closed within one timer second is never
# tracked. A save of a document whose ID differs from the record of its path updates that record,
# with the warning.
source "$(dirname "$0")/e2e-lib.sh"

e2e_layout
e2e_default_core_config
e2e_install_core
mkdir -p "$E2E_DIR/work"
cp "$E2E_DOCUMENTS/harbour.psd" "$E2E_DIR/work/brief.psd"
cp "$E2E_DOCUMENTS/harbour.psd" "$E2E_DIR/work/flash.psd"
coast=$(jsonpath "$E2E_DOCUMENTS/coast.psd")
draft=$(jsonpath "$E2E_DIR/work/draft.psd")
brief=$(jsonpath "$E2E_DIR/work/brief.psd")
flash=$(jsonpath "$E2E_DIR/work/flash.psd")
e2e_play <<JSON
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "wait", "ms": 1200},
  {"do": "open", "path": "$flash", "missingFontsDialog": false},
  {"do": "close", "document": "flash.psd"},
  {"do": "new", "title": "Draft", "content": "$coast"},
  {"do": "save", "document": "Draft", "path": "$draft"},
  {"do": "wait", "ms": 1500},
  {"do": "close", "document": "draft.psd"},
  {"do": "open", "path": "$brief", "missingFontsDialog": false},
  {"do": "wait-until", "timeoutMs": 3000, "condition":
    {"do": "expect-installed", "fonts": ["OpenSans-Semibold"], "installed": true}},
  {"do": "new", "title": "Copy"},
  {"do": "save", "document": "Copy", "path": "$brief"},
  {"do": "wait", "ms": 500},
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
log=$E2E_DIR/plugin.log
e2e_expect_absent "$log" "Newly opened document detected: '.*flash.psd'"
e2e_expect "$log" 'New document has ID 0x000003ea' 1
e2e_expect "$E2E_DIR/photoshop.txt" '^ExtendScript: if \(ExternalObject.AdobeXMPScript === undefined\)' 2
e2e_expect "$log" "DocumentID 0x000003ea is now associated with '.*draft.psd'" 1
# Photoshop wrote the packet the script made; the plug-in's slug holds the one active font.
e2e_expect "$E2E_DIR/photoshop.txt" '^save "draft.psd" .*its XMP was re-serialised; XMP written$' 1
e2e_slug_check "$E2E_DIR/work/draft.psd" "$E2E_DOCUMENTS/coast.psd" /usr/share/fonts DejaVuSans
e2e_expect "$log" "Could not get a handle for|Considering whether '.*draft.psd' has been closed."
e2e_expect "$log" "WARNING: currentDocumentID is 0x000003ec but document being saved has ID 0x000003eb" 1
e2e_finish
