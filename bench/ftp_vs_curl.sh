#!/usr/bin/env bash
# FTP session figures against a local pyftpdlib server: 1,000 file information checks (CWD, SIZE,
# MDTM) on one kept session, and a 1 GiB passive download compared with `curl -o ftp://...` of the
# same file (one run each).
# Usage: bench/ftp_vs_curl.sh [build directory with bench/net/ftp_session_driver, default build-bench]
# Needs python3 with pyftpdlib and about 3 GiB free under ${TMPDIR:-/tmp}.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-bench}"
driver="$build/bench/net/ftp_session_driver"
[ -x "$driver" ] || { echo "build $driver first (target ftp_session_driver)" >&2; exit 1; }
python=/usr/bin/python3
[ -x "$python" ] || python=python3
"$python" -c 'import pyftpdlib' || { echo "pyftpdlib is not installed" >&2; exit 1; }

base="${TMPDIR:-/tmp}"
free_kb="$(df -Pk "$base" | awk 'NR == 2 { print $4 }')"
[ "$free_kb" -gt $((3 * 1024 * 1024)) ] || { echo "less than 3 GiB free in $base" >&2; exit 1; }

work="$(mktemp -d "$base/tw-ftp-bench.XXXXXX")"
server_pid=""
cleanup() {
    if [ -n "$server_pid" ]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/ftp"
head -c 1G /dev/urandom > "$work/ftp/big.bin"
echo "a small file" > "$work/ftp/small.txt"
size="$(stat -c %s "$work/ftp/big.bin")"

port="$("$python" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
cat > "$work/ftpd.py" <<EOF
import logging
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
logging.basicConfig(level=logging.WARNING)
authorizer = DummyAuthorizer()
authorizer.add_anonymous("$work/ftp", perm="elr")
FTPHandler.authorizer = authorizer
FTPServer(("127.0.0.1", $port), FTPHandler).serve_forever()
EOF
"$python" "$work/ftpd.py" 2>"$work/ftpd.log" &
server_pid=$!
base_url="ftp://127.0.0.1:$port"
for _ in $(seq 50); do
    curl -s -o /dev/null "$base_url/small.txt" && break
    sleep 0.1
done
curl -s -o /dev/null "$base_url/small.txt" || { echo "the server did not start" >&2; exit 1; }

# Runs "$@" after flushing earlier writes; prints "wall user+sys" in seconds. The command's output
# is left in $work/stdout.
timed() {
    sync
    local TIMEFORMAT='%R %U %S'
    if ! { time "$@" >"$work/stdout" 2>"$work/stderr"; } 2>"$work/time"; then
        echo "failed: $*" >&2
        cat "$work/stderr" >&2
        exit 1
    fi
    awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' "$work/time"
}

check() {
    cmp -s "$work/ftp/big.bin" "$1" || { echo "$1 is not a complete copy" >&2; exit 1; }
    rm -f "$1"
}

read -r rate per_check wall cpu < <("$driver" info "$base_url/small.txt" 1000)
echo "1,000 information checks on one session: $rate checks/s, $per_check commands per check," \
    "$wall s wall, $cpu s CPU (driver)"

echo "input: $size bytes of /dev/urandom, $base_url/big.bin"
curl_time="$(timed curl -s -o "$work/out1" "$base_url/big.bin")"
check "$work/out1"
ours_time="$(timed "$driver" download "$base_url/big.bin" "$work/out2")"
check "$work/out2"
ours_own="$(cat "$work/stdout")"
awk -v c="$curl_time" -v o="$ours_time" -v i="$ours_own" 'BEGIN {
    split(c, cc, " "); split(o, oo, " "); split(i, ii, " ")
    printf "curl -o:            %.3f s wall, %.3f s CPU\n", cc[1], cc[2]
    printf "ftp_session_driver: %.3f s wall, %.3f s CPU (download alone: %.3f s wall, %.3f s CPU)\n",
        oo[1], oo[2], ii[1], ii[2]
    printf "ratio (ftp_session_driver / curl), wall: %.2f\n", oo[1] / cc[1] }'
