#!/usr/bin/env bash
# Compares the exports of a build of LumorandPluginInterfaceX64.dll with the entry points the
# plug-in's header lists:
#   check-exports.sh OBJDUMP HEADER DLL [NAME_LEFT_OUT...]
# The DLL must export exactly the header's names except those left out, no more and no fewer.
set -euo pipefail
if [ $# -lt 3 ]; then
    echo "usage: check-exports.sh OBJDUMP HEADER DLL [NAME_LEFT_OUT...]" >&2
    exit 2
fi
objdump=$1
header=$2
dll=$3
shift 3
export LC_ALL=C

expected=$(grep -oE '^    X\([A-Za-z]+, LPI_' "$header" | sed -E 's/^    X\(([A-Za-z]+), LPI_/\1/' | sort)
for name in "$@"; do
    expected=$(printf '%s\n' "$expected" | grep -vx "$name")
done
# objdump -p lists the names under "[Ordinal/Name Pointer] Table" as "[   n] Name".
actual=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
         sed -nE 's/^[[:space:]]*\[ *[0-9]+\] ([A-Za-z_0-9]+)$/\1/p' | sort)

if [ "$expected" != "$actual" ]; then
    echo "exports of $dll differ from the header's entry points (< expected, > exported):" >&2
    diff <(printf '%s\n' "$expected") <(printf '%s\n' "$actual") >&2 || true
    exit 1
fi
echo "$dll exports the $(printf '%s\n' "$actual" | wc -l) expected entry points"
