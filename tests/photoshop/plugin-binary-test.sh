#!/usr/bin/env bash
# Independent readers of the built plug-in: icoutils' wrestool lists its resources (types, ids,
# language) and binutils' objdump its export table.
#   plugin-binary-test.sh PORTOLAN_8LI OBJDUMP
set -u
plugin=$1
objdump=$2
status=0
fail() { echo "FAIL: $*"; status=1; }

listing=$(wrestool -l "$plugin") || fail "wrestool cannot read $plugin"
echo "$listing"
for type in PIPL AETE; do
    grep -q -- "--type='$type' --name=16000 --language=1033" <<<"$listing" \
        || fail "no $type resource 16000 in language 1033"
done
grep -q -- "--type=16 " <<<"$listing" || fail "no version resource"

# The export table lists exactly the entry point and the dialog procedure.
exports=$("$objdump" -p "$plugin" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk 'NF >= 2 && $1 ~ /^\[/ && !/Table/ {print $NF}')
echo "exports: $(echo $exports)"
[ "$(echo $exports)" = "AutoPluginMain GenericProc" ] || fail "exports are '$(echo $exports)'"
exit $status
