#!/usr/bin/env bash
# Fails when a C++ source differs from what clang-format makes of it; with --fix, applies it.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.h' '*.cpp')
[ ${#files[@]} -eq 0 ] && exit 0
if [ "${1:-}" = --fix ]; then
    clang-format -i "${files[@]}"
else
    clang-format --dry-run -Werror "${files[@]}"
    echo "check-format: ${#files[@]} files clean"
fi
