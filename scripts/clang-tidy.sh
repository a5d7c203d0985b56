#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy over the sources of the libraries and the tests,
# and fails on any finding (every enabled check is an error).
# Usage: scripts/clang-tidy.sh [-B build-dir] [-j jobs] [--changed [REV]] [path...]
#   -B DIR         build folder whose compile_commands.json is used (default: build); configured
#                  here when it has none yet
#   -j N           clang-tidy processes in parallel (default: 2)
#   --changed REV  only the .cpp files changed since REV (default HEAD, so the uncommitted work),
#                  untracked ones included, and those that include a changed header
#   path...        only the files under these folders or files, e.g. store tests/store
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd -P)"

build=build
jobs=2
changed=""
paths=()
while [ $# -gt 0 ]; do
    case "$1" in
        -B) build="$2"; shift 2 ;;
        -j) jobs="$2"; shift 2 ;;
        --changed)
            changed=HEAD
            if [ $# -gt 1 ] && [ "${2#-}" = "$2" ] && git rev-parse -q --verify "$2^{commit}" >/dev/null; then
                changed="$2"; shift
            fi
            shift ;;
        -h|--help) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        -*) echo "clang-tidy.sh: unknown option $1" >&2; exit 2 ;;
        *) paths+=("${1%/}"); shift ;;
    esac
done

scripts/install-deps.sh tidy
command -v clang-tidy >/dev/null || { echo "clang-tidy.sh: clang-tidy is not installed" >&2; exit 1; }

# The compile database must list every current source and the include roots must exist, so the
# folder is (re)configured; that only writes into the build folder and takes seconds.
if [ -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" >/dev/null
else
    scripts/install-deps.sh build test
    cmake -S . -B "$build" -G Ninja >/dev/null
fi
db="$build/compile_commands.json"
build_abs="$(cd "$build" && pwd -P)"
[ -f "$db" ] || { echo "clang-tidy.sh: $db missing (CMAKE_EXPORT_COMPILE_COMMANDS is off?)" >&2; exit 1; }

# The folders checked: the libraries the top-level CMakeLists.txt adds, and the tests.
mapfile -t folders < <(sed -n 's/^ *add_subdirectory(\([a-z_]*\)).*/\1/p' CMakeLists.txt |
    grep -vx -e bench -e fuzz)

# Sources of those folders in the compile database, as paths relative to the root.
mapfile -t files < <(python3 - "$db" "$root" "${folders[@]}" <<'PY'
import json, os, sys
db, root, folders = sys.argv[1], sys.argv[2], set(sys.argv[3:])
seen = set()
for entry in json.load(open(db)):
    path = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
    rel = os.path.relpath(path, root)
    if rel.split(os.sep)[0] in folders and rel.endswith(".cpp") and os.path.isfile(path):
        seen.add(rel)
print("\n".join(sorted(seen)))
PY
)

if [ -n "$changed" ]; then
    mapfile -t touched < <({ git diff --name-only "$changed" -- '*.cpp' '*.h'
                             git ls-files --others --exclude-standard -- '*.cpp' '*.h'; } | sort -u)
    # A changed header is seen through the sources that include it as "folder/file.h".
    includes=()
    for f in "${touched[@]}"; do
        case "$f" in *.h) includes+=(-e "#include \"$f\"") ;; esac
    done
    selected=()
    for f in "${files[@]}"; do
        if printf '%s\n' "${touched[@]}" | grep -qxF "$f" ||
            { [ ${#includes[@]} -gt 0 ] && grep -qF "${includes[@]}" "$f"; }; then
            selected+=("$f")
        fi
    done
    files=("${selected[@]+"${selected[@]}"}")
fi

if [ ${#paths[@]} -gt 0 ]; then
    selected=()
    for f in "${files[@]}"; do
        for p in "${paths[@]}"; do
            case "$f" in "$p"|"$p"/*) selected+=("$f"); break ;; esac
        done
    done
    files=("${selected[@]+"${selected[@]}"}")
fi

if [ ${#files[@]} -eq 0 ]; then
    echo "clang-tidy.sh: no files to check"
    exit 0
fi
echo "clang-tidy.sh: $(clang-tidy --version | sed -n 's/.*version \([0-9.]*\).*/\1/p'), ${#files[@]} files, $jobs jobs"

# The build folder's flags are GCC's, -Werror included: a warning only clang knows would stop
# the file from being checked, so compiler warnings are left to the GCC build.
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
status=0
if command -v run-clang-tidy >/dev/null; then
    # run-clang-tidy takes regular expressions; each file is matched whole.
    patterns=()
    for f in "${files[@]}"; do
        patterns+=("^$(printf '%s' "$root/$f" | sed 's/[][\.*^$+?(){}|]/\\&/g')\$")
    done
    run-clang-tidy -p "$build" -j "$jobs" -quiet -extra-arg=-Wno-error "${patterns[@]}" \
        >"$log" 2>&1 || status=$?
else
    printf '%s\n' "${files[@]}" |
        xargs -P "$jobs" -n 1 clang-tidy -p "$build" --quiet --extra-arg=-Wno-error \
            >"$log" 2>&1 || status=$?
fi
sed -r 's/\x1b\[[0-9;]*m//g' "$log" |
    grep -v -e '^[^ ]*clang-tidy[-0-9]* .*-p=' -e '^[0-9]* warnings\? generated\.$' \
        -e '^Suppressed [0-9]* warnings' -e '^Use -header-filter=' || true

# Each finding once, with the header path as it is in the tree rather than under the build folder.
findings="$(sed -r 's/\x1b\[[0-9;]*m//g' "$log" |
    grep -E '^/[^ ]+:[0-9]+:[0-9]+: (warning|error): ' |
    sed -E "s#^$build_abs/include/[a-z_]+/##; s#^$root/##" | sort -u || true)"
if [ -n "$findings" ]; then
    echo
    echo "clang-tidy.sh: $(printf '%s\n' "$findings" | wc -l) findings:"
    printf '%s\n' "$findings" |
        sed -E 's/^([^ ]+): error: (.*) \[clang-diagnostic-error\]$/  \1 does not compile: \2/
                s/^([^ ]+): (warning|error): .*\[([^],]+)[^]]*\]$/  \1 \3/'
fi
if [ "$status" -ne 0 ] || [ -n "$findings" ]; then
    echo "clang-tidy.sh: failed" >&2
    exit 1
fi
echo "clang-tidy.sh: ${#files[@]} files clean"
