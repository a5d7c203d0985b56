#!/usr/bin/env bash
# Builds the tests of the threaded code (ctest label "threads") with ThreadSanitizer and runs
# them. Usage: scripts/tsan-tests.sh [extra ctest arguments]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build test servers
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTELLWEIR_SANITIZE=thread >/dev/null
targets=$(grep -l 'LABELS threads' tests/*/CMakeLists.txt | xargs sed -n 's/^tellweir_add_test(\([a-z_]*\).*/\1/p' | tr '\n' ' ')
# shellcheck disable=SC2086
cmake --build build-tsan --target $targets
# Second-chance halting keeps reports readable; a report fails the test.
# QProcess (the desktop opener) forks the many-threaded program and execs at once; the tool would
# stop a child that happens to start a thread of its own before the exec.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 die_after_fork=0 suppressions=$(pwd)/tests/sanitizers/tsan.supp ${TSAN_OPTIONS:-}"
cd build-tsan && ctest -L threads --output-on-failure -j2 "$@"
