#!/usr/bin/env bash
# Reference counts: two documents share a font. With "CloseFontsOnDocClose" on, closing the first
# keeps the shared font and deactivates its own; closing the second deactivates the rest; a font
# another client of the font manager activated, and a font of the machine, are never deactivated.
# With it off, closing documents deactivates nothing and quitting does, as "CloseFontsOnHostAppQuit"
# says (on: the fonts leave; off: they stay).
source "$(dirname "$0")/e2e-lib.sh"

harbour=$(jsonpath "$E2E_DOCUMENTS/harbour.psd")
coast=$(jsonpath "$E2E_DOCUMENTS/coast.psd")
installed() { # FONTS-JSON true|false
    echo "{\"do\": \"wait-until\", \"timeoutMs\": 3000, \"condition\": {\"do\": \"expect-installed\", \"fonts\": $1, \"installed\": $2}}"
}
open_both="{\"do\": \"start\", \"expect\": {\"result\": 0}, \"stopOnFailure\": true},
  {\"do\": \"open\", \"path\": \"$harbour\"},
  $(installed '["Carlito-Bold", "LiberationSerif-Italic", "OpenSans-Semibold"]' true),
  {\"do\": \"open\", \"path\": \"$coast\"},
  $(installed '["Caladea-Regular"]' true)"

e2e_layout --case close-on-document-close
e2e_default_core_config
e2e_install_core
e2e_preferences CloseFontsOnDocClose=true
e2e_start_core
# Another client of the font manager has LiberationSerif-Italic active already.
e2e_ctl activate --client other "$(e2e_font_id LiberationSerif-Italic)" >/dev/null || e2e_fail "typehold-ctl activate"
e2e_play <<JSON
{"steps": [
  $open_both,
  {"do": "close", "document": "harbour.psd"},
  $(installed '["OpenSans-Semibold"]' false),
  $(installed '["Carlito-Bold", "LiberationSerif-Italic", "Caladea-Regular", "DejaVuSans"]' true),
  {"do": "close", "document": "coast.psd"},
  $(installed '["Carlito-Bold", "Caladea-Regular"]' false),
  {"do": "wait", "ms": 1200},
  $(installed '["LiberationSerif-Italic", "DejaVuSans"]' true),
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
e2e_expect "$E2E_DIR/plugin.log" "Not deactivating 'Carlito-Bold' because its ref count is 1" 1
e2e_expect "$E2E_DIR/plugin.log" "Not deactivating 'DejaVuSans' because (it was already active|it is no longer plugin activated)"
e2e_expect "$E2E_DIR/plugin.log" "Not deactivating 'LiberationSerif-Italic' because it was already active"
e2e_expect_active LiberationSerif-Italic DejaVuSans

e2e_layout --case kept-until-quit
e2e_default_core_config
e2e_install_core
e2e_preferences CloseFontsOnDocClose=false CloseFontsOnHostAppQuit=true
e2e_play <<JSON
{"steps": [
  $open_both,
  {"do": "close", "document": "harbour.psd"},
  {"do": "close", "document": "coast.psd"},
  {"do": "wait", "ms": 1500},
  $(installed '["Carlito-Bold", "LiberationSerif-Italic", "OpenSans-Semibold", "Caladea-Regular"]' true),
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
e2e_expect_inactive Carlito-Bold LiberationSerif-Italic OpenSans-Semibold Caladea-Regular
e2e_expect_active DejaVuSans

e2e_layout --case kept-after-quit
e2e_default_core_config
e2e_install_core
e2e_preferences CloseFontsOnDocClose=true CloseFontsOnHostAppQuit=false
e2e_play <<JSON
{"steps": [
  $open_both,
  {"do": "quit", "expect": {"result": 0}}
]}
JSON
e2e_expect_active Carlito-Bold LiberationSerif-Italic OpenSans-Semibold Caladea-Regular
e2e_finish
