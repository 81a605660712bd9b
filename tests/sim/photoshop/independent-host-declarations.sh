#!/usr/bin/env bash
# The Photoshop stand-in and its test plug-ins declare the host interface themselves: a stand-in
# built from the plug-in's own header agrees with every mistake in it. Fails when a file under
# sim/ or tests/sim/ includes the plug-in's host header, when a stand-in target links the
# plug-in's declarations, or when a file repeats a run of the header's lines (a copy).
#   independent-host-declarations.sh REPO
set -euo pipefail
repo=$1
header=$repo/src/photoshop/api/PhotoshopPluginAPI.h
window=10
export LC_ALL=C
[ -f "$header" ] || { echo "no plug-in host header at $header" >&2; exit 2; }
status=0

sources=(--include='*.h' --include='*.cpp' --include='*.c' --include='*.rc' --include='CMakeLists.txt')
included=$(grep -rlE "${sources[@]}" '#[[:space:]]*include[[:space:]]*[<"]([^">]*/)?PhotoshopPluginAPI\.h[">]|photoshop/api' \
    "$repo/sim" "$repo/tests/sim" || true)
if [ -n "$included" ]; then
    echo "these stand-in files reach the plug-in's host header:" >&2
    printf '  %s\n' "$included" >&2
    status=1
fi

linked=$(grep -rlw 'photoshop_api' --include=CMakeLists.txt "$repo/sim" "$repo/tests/sim" || true)
if [ -n "$linked" ]; then
    echo "these stand-in targets link the plug-in's host declarations (photoshop_api):" >&2
    printf '  %s\n' "$linked" >&2
    status=1
fi

# A copy: $window consecutive significant lines (blank lines, braces, comments and preprocessor
# lines left out, spaces squeezed) that the header has in the same order.
significant() {
    sed -E -e 's#//.*$##' -e 's/[[:space:]]+/ /g' -e 's/^ //; s/ $//' "$1" |
        grep -vE '^(|[{}];?|\}[[:space:]]*//.*|#.*|extern "C")$' || true
}
copies=$(
    significant "$header" >/tmp/independent-host-header.$$
    find "$repo/sim" "$repo/tests/sim" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.c' \) -print0 |
        while IFS= read -r -d '' file; do
            significant "$file" | awk -v window="$window" -v file="$file" '
                # Runs of the header as keys, then the runs of the file looked up.
                NR == FNR {
                    header[NR] = $0
                    if (NR >= window) {
                        run = header[NR - window + 1]
                        for (k = NR - window + 2; k <= NR; ++k) run = run "\n" header[k]
                        runs[run] = 1
                    }
                    next
                }
                {
                    line[FNR] = $0
                    if (FNR < window) next
                    run = line[FNR - window + 1]
                    for (k = FNR - window + 2; k <= FNR; ++k) run = run "\n" line[k]
                    if (run in runs) { print file ": " window " lines from the header, from \"" line[FNR - window + 1] "\""; exit }
                }' /tmp/independent-host-header.$$ -
        done
    rm -f /tmp/independent-host-header.$$
)
if [ -n "$copies" ]; then
    echo "these stand-in files repeat the plug-in's host header:" >&2
    printf '  %s\n' "$copies" >&2
    status=1
fi

[ $status -eq 0 ] && echo "the stand-in's host declarations are its own ($(find "$repo/sim" "$repo/tests/sim" -type f | wc -l) files checked)"
exit $status
