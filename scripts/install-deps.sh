#!/usr/bin/env bash
# Installs the Debian packages the project needs, and only those that are missing.
# Usage: scripts/install-deps.sh [group...]
#   groups: build (default), test, screens, servers, bench (with peers), peers, fuzz, format, tidy, all
set -euo pipefail

declare -A GROUP
# The desktop shell needs Qt 6 Widgets (QtDBus comes with the base package) and its SVG images.
# Versions are compressed with zstd, read as text with libxml2 and compared with libgit2's xdiff.
# The fonts the windows ask for, so they look the same on every machine: the log view's "Courier
# New" is Liberation Mono (same metrics), the desktop's sans-serif DejaVu Sans.
GROUP[build]="g++ cmake ninja-build pkg-config libssl-dev zlib1g-dev libzstd-dev libxml2-dev libgit2-dev libcanberra-dev qt6-base-dev qt6-svg-dev libqt6svg6 fonts-dejavu-core fonts-liberation"
# dbus-daemon: the desktop notification tests run a D-Bus bus of their own.
GROUP[test]="libgtest-dev libgmock-dev dbus-daemon"
# Renders the windows for the screenshot script, with a tray host for the tray icon.
GROUP[screens]="xvfb xauth x11-utils trayer"
# The peers the scale benchmarks (bench/scale.sh) compare with, and their server; urlwatch is
# Debian's own package.
GROUP[peers]="urlwatch curl nginx-light time"
GROUP[bench]="libbenchmark-dev ${GROUP[peers]}"
GROUP[fuzz]="clang libclang-rt-14-dev"
GROUP[format]="clang-format"
GROUP[ci]="ccache"
# clang-tidy brings run-clang-tidy, which scripts/clang-tidy.sh runs in parallel.
GROUP[tidy]="clang-tidy"
# Real servers the protocol tests start on 127.0.0.1 (never as system services).
GROUP[servers]="openssl tinyproxy microsocks dante-server nginx-light python3-pyftpdlib curl"

groups=("$@")
[ ${#groups[@]} -eq 0 ] && groups=(build)
if [ "${groups[0]}" = all ]; then groups=(build test servers bench fuzz format tidy screens); fi

wanted=()
for g in "${groups[@]}"; do
    [ -n "${GROUP[$g]+x}" ] || { echo "install-deps: unknown group '$g'" >&2; exit 2; }
    read -r -a pkgs <<<"${GROUP[$g]}"
    wanted+=("${pkgs[@]}")
done

missing=()
for p in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing missing Debian packages: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "install-deps: run as root or install sudo" >&2; exit 1; }
    SUDO=sudo
fi
export DEBIAN_FRONTEND=noninteractive
# Server packages would start their system services on install; the tests run their own copies.
# (TELLWEIR_POLICY_RC moves it for the script's own test.)
policy=${TELLWEIR_POLICY_RC:-/usr/sbin/policy-rc.d}
made_policy=0
if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' | $SUDO tee "$policy" >/dev/null && $SUDO chmod +x "$policy" && made_policy=1
fi
cleanup() { if [ "$made_policy" = 1 ]; then $SUDO rm -f "$policy"; fi; }
trap cleanup EXIT
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
echo "install-deps: done"
