#!/usr/bin/env bash
# Runs portolan-fonts on the generated test documents and checks its output against what the
# independent readers reported (the .fonts files beside the documents).
#   portolan-fonts-test.sh DOCUMENTS native TOOL
#   portolan-fonts-test.sh DOCUMENTS wine WINE_RUN PREFIX TOOL.exe   (paths given as Z:\...)
set -uo pipefail
docs=$1
mode=$2
shift 2
runner=("$@")
export LC_ALL=C
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# The path as the tool is given it.
arg() {
    if [ "$mode" = wine ]; then
        printf 'Z:%s' "${1//\//\\}"
    else
        printf '%s' "$1"
    fi
}

# Runs the tool; stdout to $out, stderr to $err (carriage returns of the Windows build dropped),
# exit status to $rc.
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
run() {
    "${runner[@]}" "$@" >"$out.raw" 2>"$err.raw" </dev/null
    rc=$?
    tr -d '\r' <"$out.raw" >"$out"
    tr -d '\r' <"$err.raw" >"$err"
    rm -f "$out.raw" "$err.raw"
}

documents=()
for oracle in "$docs"/*.fonts; do
    documents+=("${oracle%.fonts}")
done
[ ${#documents[@]} -ge 6 ] || { echo "FAIL: test documents missing in $docs" >&2; exit 1; }

# One file: its names, one per line, as the independent reader lists them.
for document in "${documents[@]}"; do
    run "$(arg "$document")"
    [ $rc -eq 0 ] || fail "exit status $rc for $document"
    cmp -s "$out" "$document.fonts" || fail "names of $document: $(tr '\n' ' ' <"$out") instead of $(tr '\n' ' ' <"$document.fonts")"
done

# Several files: blocks; a missing file is an error on stderr and exit status 1, the others are
# still listed.
first=${documents[0]}
last=${documents[${#documents[@]} - 1]}
missing=$docs/missing.psd
run "$(arg "$first")" "$(arg "$missing")" "$(arg "$last")"
[ $rc -eq 1 ] || fail "exit status $rc with a missing file"
expected=$( { echo "$(arg "$first"):"; sed 's/^/  /' "$first.fonts"
              echo "$(arg "$missing"):"
              echo "$(arg "$last"):"; sed 's/^/  /' "$last.fonts"; } )
[ "$(cat "$out")" = "$expected" ] || fail "block output:
$(cat "$out")
expected:
$expected"
[ "$(cat "$err")" = "portolan-fonts: cannot read '$(arg "$missing")': GFileSystem::kFileNotFound" ] ||
    fail "error line: $(cat "$err")"

# A folder with --json, and a missing file beside it.
run --json "$(arg "$docs")" "$(arg "$missing")"
[ $rc -eq 1 ] || fail "exit status $rc for --json with a missing file"
node - "$out" "$docs" "$mode" <<'JS' || fail "JSON output: $(cat "$out")"
const fs = require('fs');
const [file, docs, mode] = process.argv.slice(2);
const entries = JSON.parse(fs.readFileSync(file, 'utf8'));
const oracles = fs.readdirSync(docs).filter((f) => f.endsWith('.fonts'));
if (entries.length !== oracles.length + 1) throw new Error(`${entries.length} entries`);
const sep = mode === 'wine' ? '\\' : '/';
for (const oracle of oracles) {
    const name = oracle.slice(0, -'.fonts'.length);
    const entry = entries.find((e) => e.path.endsWith(sep + name));
    const expected = fs.readFileSync(`${docs}/${oracle}`, 'utf8').split('\n').filter((l) => l);
    if (!entry || JSON.stringify(entry.fonts) !== JSON.stringify(expected) || entry.error)
        throw new Error(`entry for ${name}: ${JSON.stringify(entry)}`);
}
const failed = entries[entries.length - 1];
if (!failed.path.endsWith('missing.psd') || failed.fonts.length !== 0 || failed.error.code !== 16781317 ||
    failed.error.name !== 'GFileSystem::kFileNotFound')
    throw new Error(`missing file entry: ${JSON.stringify(failed)}`);
JS

# Usage.
run
[ $rc -eq 2 ] || fail "exit status $rc without a path"
run --frobnicate "$(arg "$first")"
[ $rc -eq 2 ] || fail "exit status $rc for an unknown option"
run --chunk-mib 0 "$(arg "$first")"
[ $rc -eq 2 ] || fail "exit status $rc for --chunk-mib 0"
# Read as the plug-in reads (512 MiB at a time) and in the smallest chunks: the same names.
for chunk in 512 1; do
    run --chunk-mib "$chunk" "$(arg "$first")"
    [ $rc -eq 0 ] && cmp -s "$out" "$first.fonts" || fail "names of $first with --chunk-mib $chunk"
done
run --help
[ $rc -eq 0 ] && grep -q -- '--json' "$out" || fail "--help: status $rc"

# The log file named by the environment, at Debug level: every name found is in it.
log=$(mktemp)
PORTOLAN_LOG_FILE=$(arg "$log") PORTOLAN_LOG_LEVEL=4 run "$(arg "$first")"
while read -r name; do
    grep -qF "In GBinaryDocumentFontExtractor::GetFontNamesFromByteVector(), adding '$name'" "$log" ||
        fail "log file without the Debug line for '$name'"
done <"$first.fonts"
rm -f "$log"

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "portolan-fonts ($mode): all checks passed on ${#documents[@]} documents"
