#!/usr/bin/env bash
# Renders every window of the desktop program to PNG files under build/screenshots, under Xvfb
# with a tray host when they are installed (scripts/install-deps.sh screens), else offscreen.
# Usage: scripts/screenshots.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
# A relative build folder is taken from the project's root; an absolute one as it is.
case "$build" in /*) ;; *) build="$(pwd)/$build" ;; esac
[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target tellweir_screenshots
out="$build/screenshots"
program="$build/tests/shell/tellweir_screenshots"
if ! command -v xvfb-run >/dev/null; then
    QT_QPA_PLATFORM=offscreen "$program" "$out"
    exit
fi
# Inside the virtual display: a tray host first (when there is one), so that the tray icon and
# its menu are real, then the renderer.
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    tray=""
    if command -v trayer >/dev/null; then trayer --edge top --align right >/dev/null 2>&1 & tray=$!; sleep 0.5; fi
    QT_QPA_PLATFORM=xcb "$0" "$1"; status=$?
    [ -n "$tray" ] && kill "$tray" 2>/dev/null
    exit $status' "$program" "$out"
