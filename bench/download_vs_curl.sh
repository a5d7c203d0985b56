#!/usr/bin/env bash
# Compares a 1 GiB download through the transfer manager and the socket layer
# (bench/net/download_file) with `curl -o` of the same file from the same local nginx, best of two
# runs each, and prints the ratio of the wall times.
# Usage: bench/download_vs_curl.sh [build directory with bench/net/download_file, default build-bench]
# The file is 1 GiB of /dev/urandom (incompressible, really written to disk, served by nginx
# from the page cache). Needs about 3 GiB free under ${TMPDIR:-/tmp}.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-bench}"
driver="$build/bench/net/download_file"
[ -x "$driver" ] || { echo "build $driver first (target download_file)" >&2; exit 1; }
command -v nginx >/dev/null || { echo "nginx is not installed" >&2; exit 1; }

base="${TMPDIR:-/tmp}"
free_kb="$(df -Pk "$base" | awk 'NR == 2 { print $4 }')"
[ "$free_kb" -gt $((3 * 1024 * 1024)) ] || { echo "less than 3 GiB free in $base" >&2; exit 1; }

work="$(mktemp -d "$base/tw-download-bench.XXXXXX")"
nginx_pid=""
cleanup() {
    if [ -n "$nginx_pid" ]; then
        kill "$nginx_pid" 2>/dev/null || true
        wait "$nginx_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/www" "$work/temp"
head -c 1G /dev/urandom > "$work/www/big.bin"
size="$(stat -c %s "$work/www/big.bin")"

port="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
cat > "$work/nginx.conf" <<EOF
daemon off;
master_process off;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/error.log;
events { worker_connections 16; }
http {
    access_log off;
    sendfile on;
    default_type application/octet-stream;
    client_body_temp_path $work/temp/body;
    proxy_temp_path $work/temp/proxy;
    fastcgi_temp_path $work/temp/fastcgi;
    uwsgi_temp_path $work/temp/uwsgi;
    scgi_temp_path $work/temp/scgi;
    server {
        listen 127.0.0.1:$port;
        root $work/www;
    }
}
EOF
nginx -p "$work" -e "$work/error.log" -c "$work/nginx.conf" &
nginx_pid=$!
url="http://127.0.0.1:$port/big.bin"
for _ in $(seq 50); do
    curl -s -o /dev/null -r 0-0 "$url" && break
    sleep 0.1
done
curl -s -o /dev/null -r 0-0 "$url" || { echo "nginx did not start:" >&2; cat "$work/error.log" >&2; exit 1; }

# Runs "$@" once after flushing earlier writes; prints "wall user+sys" in seconds. The command's
# output is left in $work/stdout.
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

# The output must be the whole file, byte for byte.
check() {
    cmp -s "$work/www/big.bin" "$1" || { echo "$1 is not a complete copy" >&2; exit 1; }
    rm -f "$1"
}

best() { sort -n | head -1; }

echo "input: $size bytes of /dev/urandom, $url"
curl_runs=""
ours_runs=""
ours_inner=""
for run in 1 2; do
    curl_time="$(timed curl -s -o "$work/out1" "$url")"
    check "$work/out1"
    ours_time="$(timed "$driver" "$url" "$work/out2")"
    check "$work/out2"
    # The driver's own figures: the download alone, without process start and manager creation.
    ours_own="$(cat "$work/stdout")"
    echo "run $run: curl $curl_time, download_file $ours_time (own figures $ours_own) (wall, CPU s)"
    curl_runs+="$curl_time"$'\n'
    ours_runs+="$ours_time"$'\n'
    ours_inner+="$ours_own"$'\n'
done
curl_best="$(printf '%s' "$curl_runs" | best)"
ours_best="$(printf '%s' "$ours_runs" | best)"
inner_best="$(printf '%s' "$ours_inner" | best)"
awk -v c="$curl_best" -v o="$ours_best" -v i="$inner_best" 'BEGIN {
    split(c, cc, " "); split(o, oo, " "); split(i, ii, " ")
    printf "curl -o:       %.3f s wall, %.3f s CPU\n", cc[1], cc[2]
    printf "download_file: %.3f s wall, %.3f s CPU (own figures: %.3f s wall, %.3f s CPU)\n",
        oo[1], oo[2], ii[1], ii[2]
    printf "ratio (download_file / curl), wall: %.2f\n", oo[1] / cc[1] }'
