#!/usr/bin/env bash
# Runs scripts/install-deps.sh with apt-get and dpkg-query faked on PATH: with something to
# install or nothing, with a policy-rc.d present or absent. It must exit 0 each time, leave a
# policy file it found in place, and remove one it made.
set -euo pipefail
root=${1:?usage: install_deps_test.sh PROJECT_DIR}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"
# dpkg-query reports every package as missing unless INSTALLED is set.
cat >"$work/bin/dpkg-query" <<'FAKE'
#!/bin/sh
[ -n "$INSTALLED" ] && printf 'install ok installed'
exit 0
FAKE
# apt-get records its calls and whether the policy file existed while it ran.
cat >"$work/bin/apt-get" <<'FAKE'
#!/bin/sh
echo "apt-get $* policy=$([ -e "$TELLWEIR_POLICY_RC" ] && echo yes || echo no)" >>"$APT_LOG"
FAKE
chmod +x "$work/bin/dpkg-query" "$work/bin/apt-get"
export PATH="$work/bin:$PATH" TELLWEIR_POLICY_RC="$work/policy-rc.d" APT_LOG="$work/apt.log"

fail() { echo "FAIL: $*" >&2; exit 1; }
for installed in "" yes; do
    for policy in absent present; do
        what="installed=${installed:-no} policy=$policy"
        rm -f "$work/apt.log" "$TELLWEIR_POLICY_RC"
        [ "$policy" = present ] && echo kept >"$TELLWEIR_POLICY_RC"
        INSTALLED=$installed "$root/scripts/install-deps.sh" build >/dev/null || fail "$what: exit $?"
        if [ -z "$installed" ]; then
            grep -q '^apt-get install .* policy=yes$' "$work/apt.log" || fail "$what: no install"
        else
            [ ! -e "$work/apt.log" ] || fail "$what: apt-get ran with nothing to install"
        fi
        if [ "$policy" = present ]; then
            [ "$(cat "$TELLWEIR_POLICY_RC")" = kept ] || fail "$what: the policy file was touched"
        else
            [ ! -e "$TELLWEIR_POLICY_RC" ] || fail "$what: the policy file was left behind"
        fi
    done
done
echo "install-deps: all cases pass"
