#!/usr/bin/env bash
# Fonts the font manager cannot match. With "PickBestMatch" off, the resolve-fonts dialog lists
# them with their possible replacements and the user's pick is activated by ID; a font without
# replacements stays missing on the record, so no replacement is played and Photoshop's own
# missing-fonts dialog stays for the user. With "PickBestMatch" on, no dialog is shown and the
# problem fonts stay unresolved.
source "$(dirname "$0")/e2e-lib.sh"

unmatched=$(jsonpath "$E2E_DOCUMENTS/unmatched.psd")
# The replacements are listed by name: the second of the family is Caladea-BoldItalic.
scenario() { # INSTALLED-AFTERWARDS
    cat <<JSON
{"steps": [
  {"do": "start", "expect": {"result": 0}, "stopOnFailure": true},
  {"do": "open", "path": "$unmatched"},
  {"do": "wait", "ms": 7000},
  {"do": "expect-plays", "event": "replaceSubstitutes", "count": 0},
  {"do": "expect-dialogs", "open": 1},
  {"do": "expect-fonts", "document": "unmatched.psd", "missing": ["Caladea-Black", "Zapfino-Regular"]},
  {"do": "expect-installed", "fonts": ["Caladea-BoldItalic"], "installed": $1},
  {"do": "expect-installed", "fonts": ["Caladea-Bold", "Caladea-Italic", "Caladea-Regular"], "installed": false},
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
}

e2e_layout --case resolved-by-the-user
e2e_default_core_config
e2e_install_core
e2e_preferences PickBestMatch=false
e2e_ui_script <<'UI'
resolvefonts pick Caladea-Black=2
UI
scenario true | e2e_play
transcript=$E2E_DIR/ui-transcript.txt
e2e_expect "$transcript" '^resolvefonts fonts=2 .*-> confirmed' 1
e2e_expect "$transcript" '^  Caladea-Black replacements=\[1 Caladea-Bold id=[0-9]+, 2 Caladea-BoldItalic id=[0-9]+, .*\] -> 2 Caladea-BoldItalic id=[0-9]+'
e2e_expect "$transcript" '^  Zapfino-Regular replacements=\[\] -> none'
e2e_expect "$E2E_DIR/plugin.log" 'Entering CoreAgentInterface::ActivateFontsByID\(CFArrayGetCount\(fonts\)=1'
e2e_expect "$E2E_DIR/plugin.log" 'Not suppressing because this document has missing fonts.'

e2e_layout --case best-match-no-dialog
e2e_default_core_config
e2e_install_core
e2e_preferences PickBestMatch=true
scenario false | e2e_play
e2e_expect_absent "$E2E_DIR/ui-transcript.txt" '^resolvefonts'
e2e_finish
