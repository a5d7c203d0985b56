#!/usr/bin/env bash
# Compares the HTTP session, run through the transfer manager (bench/net/http_driver), with curl
# against one local nginx:
#  1. one round of 1,000 information checks (HEAD) of 1,000 small files, with the default limits
#     ("Max Connects" 10, 10 per site) and with 200 / 200, against
#     `curl -I --parallel --parallel-max 10` and `--parallel-max 200` over the same URLs;
#  2. keep-alive reuse: the connections nginx accepted during the 10 / 10 round (its stub_status
#     counter) and the sessions the manager made;
#  3. a 1 GiB download against `curl -o` (skipped with SKIP_DOWNLOAD=1; needs 3 GiB free).
# Usage: bench/http_vs_curl.sh [build directory with bench/net/http_driver, default build-bench]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-bench}"
driver="$build/bench/net/http_driver"
[ -x "$driver" ] || { echo "build $driver first (target http_driver)" >&2; exit 1; }
command -v nginx >/dev/null || { echo "nginx is not installed" >&2; exit 1; }

base="${TMPDIR:-/tmp}"
work="$(mktemp -d "$base/tw-http-bench.XXXXXX")"
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
for i in $(seq -w 0 999); do
    printf 'file %s\n%0200d\n' "$i" 0 > "$work/www/f$i.txt"
done
port="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
cat > "$work/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/error.log;
events { worker_connections 1024; }
http {
    access_log off;
    sendfile on;
    keepalive_requests 100000;
    default_type application/octet-stream;
    client_body_temp_path $work/temp/body;
    proxy_temp_path $work/temp/proxy;
    fastcgi_temp_path $work/temp/fastcgi;
    uwsgi_temp_path $work/temp/uwsgi;
    scgi_temp_path $work/temp/scgi;
    server {
        listen 127.0.0.1:$port;
        root $work/www;
        location = /status { stub_status; }
    }
}
CONF
nginx -p "$work" -e "$work/error.log" -c "$work/nginx.conf" &
nginx_pid=$!
for _ in $(seq 50); do
    curl -s -o /dev/null "http://127.0.0.1:$port/status" && break
    sleep 0.1
done
accepted() { curl -s "http://127.0.0.1:$port/status" | awk 'NR == 3 { print $1 }'; }

for i in $(seq -w 0 999); do echo "http://127.0.0.1:$port/f$i.txt"; done > "$work/urls"
sed 's/.*/url = "&"/' "$work/urls" > "$work/curl.cfg"

timed() {  # prints "wall CPU" of the command, whose output goes to $work/stdout
    local TIMEFORMAT='%R %U %S'
    { time "$@" >"$work/stdout" 2>"$work/stderr"; } 2>"$work/time" ||
        { echo "failed: $*" >&2; cat "$work/stderr" >&2; exit 1; }
    awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' "$work/time"
}
per_check() {  # "wall CPU" in seconds for 1,000 checks -> the same per check in microseconds
    awk '{ printf "%.3f s wall, %.3f s CPU (%.0f us wall, %.0f us CPU per check)",
           $1, $2, $1 * 1000, $2 * 1000 }'
}

echo "1,000 information checks of http://127.0.0.1:$port/fNNN.txt (nginx $(nginx -v 2>&1 | cut -d/ -f2))"
for run in 1 2; do
    echo "run $run"
    before="$(accepted)"
    "$driver" checks "$work/urls" 10 10 > "$work/ours10"
    after="$(accepted)"
    read -r wall cpu sessions failed < "$work/ours10"
    echo "  http_driver 10 / 10:  $(echo "$wall $cpu" | per_check), failed $failed"
    echo "    keep-alive: $sessions sessions made, $((after - before - 1)) connections accepted by nginx"
    "$driver" checks "$work/urls" 200 200 > "$work/ours200"
    read -r wall cpu sessions failed < "$work/ours200"
    echo "  http_driver 200 / 200: $(echo "$wall $cpu" | per_check), failed $failed, $sessions sessions"
    for parallel in 10 200; do
        echo "  curl -I --parallel-max $parallel: $(timed curl -s -I --parallel --parallel-max "$parallel" -K "$work/curl.cfg" | per_check) (process)"
    done
done

[ "${SKIP_DOWNLOAD:-0}" = 1 ] && exit 0
free_kb="$(df -Pk "$base" | awk 'NR == 2 { print $4 }')"
[ "$free_kb" -gt $((3 * 1024 * 1024)) ] || { echo "less than 3 GiB free in $base: no download" >&2; exit 0; }
head -c 1G /dev/urandom > "$work/www/big.bin"
url="http://127.0.0.1:$port/big.bin"
echo "1 GiB download of $url"
for run in 1 2; do
    sync
    curl_time="$(timed curl -s -o "$work/out1" "$url")"
    cmp -s "$work/www/big.bin" "$work/out1" || { echo "curl copy differs" >&2; exit 1; }
    rm -f "$work/out1"
    sync
    ours_time="$(timed "$driver" download "$url" "$work/out2")"
    cmp -s "$work/www/big.bin" "$work/out2" || { echo "http_driver copy differs" >&2; exit 1; }
    rm -f "$work/out2"
    echo "  run $run: curl -o $curl_time, http_driver $ours_time (own figures $(cat "$work/stdout")) (wall, CPU s)"
done
