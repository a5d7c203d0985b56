#!/usr/bin/env bash
# Prints the library graph as the includes make it, and fails when an include crosses to a
# library that the README's graph does not list for that library, or when the graph has a cycle.
# The build already refuses an include of a library that is not linked; this keeps the README
# and the CMake dependencies telling the same story.
set -euo pipefail
cd "$(dirname "$0")/.."

# Every top-level folder that defines a library is one node.
mapfile -t libs < <(grep -l '^tellweir_add_library' -- */CMakeLists.txt | cut -d/ -f1 | sort)
is_lib() { printf '%s\n' "${libs[@]}" | grep -qx "$1"; }

# The documented edges: lines "name -> dep, dep, ..." in the README's graph block.
declare -A documented
while read -r from deps; do
    documented[$from]=" $(tr -d ',' <<<"$deps") "
done < <(sed -n 's/^ *\([a-z]\+\) \+-> \+\(.*\)$/\1 \2/p' README.md)

status=0
edges=()
for lib in "${libs[@]}"; do
    mapfile -t used < <(grep -rhoE '^#include "[a-z_]+/' --include='*.h' --include='*.cpp' "$lib" \
        | sed 's/#include "//; s|/$||' | sort -u)
    line=""
    for dep in "${used[@]}"; do
        [ "$dep" = "$lib" ] && continue
        is_lib "$dep" || continue
        line+=" $dep"
        edges+=("$lib $dep")
        if [[ "${documented[$lib]:-}" != *" $dep "* ]]; then
            echo "check-include-graph: $lib includes $dep, which the README's graph does not list" >&2
            grep -rlE "^#include \"$dep/" --include='*.h' --include='*.cpp' "$lib" | sed 's/^/    /' >&2
            status=1
        fi
    done
    printf '%-9s ->%s\n' "$lib" "${line:- (standard library only)}"
done

# tsort reports a loop on standard error.
if ! loops=$(printf '%s\n' "${edges[@]}" | tsort 2>&1 >/dev/null) || [ -n "$loops" ]; then
    echo "check-include-graph: the library graph has a cycle:" >&2
    echo "$loops" >&2
    status=1
fi
exit $status
