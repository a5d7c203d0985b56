#!/usr/bin/env bash
# How the program's cost grows with its tasks, beside its peers in the same run:
#   fleet     1,000 HEAD tasks run once (second run) against local nginx, 10 connections,
#             vs curl --parallel-max 10 and urlwatch (max_workers 10) on the same URLs
#   idle      10,000 and 100,000 tasks due in an hour: CPU share over 30 s, memory per task
#   queue     10,000 tasks: start to loaded, SIGTERM to exit (the save), --list time and peak
#   local     1,000 local-file tasks every second on unchanged small files: CPU share, log lines
#   commands  start time and peak memory of --help, --list, --check vs curl -sI; 1,000 --add
# Usage: bench/scale.sh [binary, default build-bench/app/tellweir] [part...]
# Every figure is taken on this machine in this run; CPU is user + system time of the process.
set -euo pipefail
cd "$(dirname "$0")/.."
program="$(realpath "${1:-build-bench/app/tellweir}")"
shift || true
parts=("$@")
[ ${#parts[@]} -eq 0 ] && parts=(fleet idle queue local commands)
[ -x "$program" ] || { echo "no program at $program (build the target tellweir)" >&2; exit 1; }
for tool in nginx curl python3 /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "$tool is missing: scripts/install-deps.sh peers" >&2; exit 1; }
done

work="$(mktemp -d "${TMPDIR:-/tmp}/tw-scale.XXXXXX")"
nginx_pid=""
headless_pid=""
cleanup() {
    for pid in "$headless_pid" "$nginx_pid"; do
        [ -n "$pid" ] && { kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; }
    done
    rm -rf "$work"
}
trap cleanup EXIT
ticks="$(getconf CLK_TCK)"

# --- helpers ---------------------------------------------------------------------------------
use_home() {  # a fresh data folder for the program
    export HOME="$work/home-$1" XDG_CONFIG_HOME="$work/home-$1/config" \
        XDG_DATA_HOME="$work/home-$1/data" XDG_RUNTIME_DIR="$work/home-$1/run"
    mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
    queue="$XDG_DATA_HOME/Quandor Software/Tellweir/1.1/m.xml"
}
start_nginx() {
    mkdir -p "$work/www" "$work/temp"
    for i in $(seq -w 0 999); do printf 'file %s\n%0200d\n' "$i" 0 > "$work/www/f$i.txt"; done
    port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')"
    cat > "$work/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/nginx-error.log;
events { worker_connections 4096; }
http {
    access_log off;
    keepalive_requests 100000;
    client_body_temp_path $work/temp/body;
    proxy_temp_path $work/temp/proxy;
    fastcgi_temp_path $work/temp/fastcgi;
    uwsgi_temp_path $work/temp/uwsgi;
    scgi_temp_path $work/temp/scgi;
    server { listen 127.0.0.1:$port; root $work/www; }
}
CONF
    nginx -p "$work" -e "$work/nginx-error.log" -c "$work/nginx.conf" &
    nginx_pid=$!
    for _ in $(seq 50); do curl -sf -o /dev/null "http://127.0.0.1:$port/f000.txt" && return; sleep 0.1; done
    echo "nginx did not start" >&2; exit 1
}
# make_queue COUNT FORMAT UNIT HOURS_AHEAD: a queue of COUNT tasks on printf FORMAT % index,
# every 1 UNIT, first due HOURS_AHEAD from now; made from one task the program added itself.
make_queue() {
    local count=$1 format=$2 unit=$3 ahead=$4 first
    first="$(printf "$format" 0)"
    rm -f "$queue"
    "$program" --add "$first" --every 1 "$unit" >/dev/null
    python3 - "$queue" "$count" "$format" "$ahead" <<'PY'
import datetime, re, struct, sys
path, count, fmt, ahead = sys.argv[1], int(sys.argv[2]), sys.argv[3], float(sys.argv[4])
text = open(path, encoding="utf-8").read()
head, rest = text.split("<Monitor>", 1)
body, tail = rest.rsplit("</Monitor>", 1)
first = fmt % 0
due = datetime.datetime.now() + datetime.timedelta(hours=ahead)
days = (due - datetime.datetime(1899, 12, 30)).total_seconds() / 86400
stamp = str(struct.unpack("<q", struct.pack("<d", days))[0])
body = re.sub(r"<NextStartTime>\d+</NextStartTime>", "<NextStartTime>%s</NextStartTime>" % stamp, body)
name = re.search(r"<Name>(.*?)</Name>", body).group(1)
parts = []
for i in range(count):
    uri = fmt % i
    one = body.replace("<URI>%s</URI>" % first, "<URI>%s</URI>" % uri)
    one = one.replace("<Name>%s</Name>" % name, "<Name>task%06d</Name>" % i)
    one = re.sub(r"(<(?:Sample|Info)Path>[^<]*?)(\.info)?</", lambda m: "%s_%d%s</" % (m.group(1), i, m.group(2) or ""), one)
    parts.append("<Monitor>" + one + "</Monitor>")
open(path, "w", encoding="utf-8").write(head + "".join(parts) + tail)
PY
}
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
rss_kib() { awk '/^VmRSS/ {print $2}' "/proc/$1/status"; }
hwm_kib() { awk '/^VmHWM/ {print $2}' "/proc/$1/status"; }
now() { date +%s.%N; }
calc() { python3 -c "print($1)"; }
# start_headless LOG: runs the program until stop_headless
start_headless() {
    "$program" --headless > "$1" 2>&1 &
    headless_pid=$!
}
stop_headless() {
    kill -TERM "$headless_pid"
    wait "$headless_pid" || true
    headless_pid=""
}
wait_lines() {  # wait_lines FILE PATTERN COUNT TIMEOUT
    local deadline=$(( $(date +%s) + $4 ))
    while [ "$(grep -c -- "$2" "$1" || true)" -lt "$3" ]; do
        [ "$(date +%s)" -lt "$deadline" ] || { echo "timed out waiting for $3 x '$2' in $1" >&2; return 1; }
        sleep 0.02
    done
}

# --- parts -----------------------------------------------------------------------------------
fleet() {
    use_home fleet
    make_queue 1000 "http://127.0.0.1:$port/f%03d.txt" hours -1
    local saved="$work/fleet.xml"
    cp "$queue" "$saved"
    # The first run makes the INFO files; the second is the one measured.
    start_headless "$work/fleet-1.txt"
    wait_lines "$work/fleet-1.txt" "Last monitor event" 1000 120
    stop_headless
    cp "$saved" "$queue"
    local start end cpu hwm
    start=$(now)
    start_headless "$work/fleet-2.txt"
    wait_lines "$work/fleet-2.txt" "Last monitor event" 1000 120
    end=$(now)
    cpu=$(cpu_ticks "$headless_pid"); hwm=$(hwm_kib "$headless_pid")
    stop_headless
    local ours_wall ours_cpu
    ours_wall=$(calc "round($end - $start, 3)"); ours_cpu=$(calc "round($cpu / $ticks, 3)")
    echo "fleet tellweir: wall ${ours_wall} s, CPU ${ours_cpu} s, peak $((hwm / 1024)) MiB (start to 1,000 runs ended, second run)"

    local urls=()
    for i in $(seq -w 0 999); do urls+=("http://127.0.0.1:$port/f$i.txt"); done
    /usr/bin/time -f "%e %U %S %M" -o "$work/curl.time" \
        curl -s -I --parallel --parallel-max 10 "${urls[@]}" > /dev/null 2>&1
    read -r cw cu cs cm < "$work/curl.time"
    echo "fleet curl:     wall $cw s, CPU $(calc "round($cu + $cs, 3)") s, peak $((cm / 1024)) MiB"
    echo "fleet ratio tellweir/curl: wall $(calc "round($ours_wall / max($cw, 0.001), 1)")x, CPU $(calc "round($ours_cpu / max($cu + $cs, 0.001), 1)")x"

    if command -v urlwatch >/dev/null; then
        local uw="$work/urlwatch"
        mkdir -p "$uw"
        for u in "${urls[@]}"; do printf -- '---\nurl: "%s"\n' "$u"; done > "$uw/urls.yaml"
        printf 'report:\n  stdout:\n    enabled: false\n' > "$uw/config.yaml"
        local uwargs=(--urls "$uw/urls.yaml" --config "$uw/config.yaml" --cache "$uw/cache.db")
        urlwatch "${uwargs[@]}" >/dev/null 2>&1 || true  # first run fills its cache
        /usr/bin/time -f "%e %U %S %M" -o "$work/uw.time" urlwatch "${uwargs[@]}" >/dev/null 2>&1 || true
        read -r uwall uu us um < "$work/uw.time"
        echo "fleet urlwatch: wall $uwall s, CPU $(calc "round($uu + $us, 3)") s, peak $((um / 1024)) MiB (second run)"
        echo "fleet ratio urlwatch/tellweir: wall $(calc "round($uwall / $ours_wall, 1)")x; tellweir/urlwatch peak memory $(calc "round($hwm / max($um, 1), 2)")"
    else
        echo "fleet urlwatch: not installed (scripts/install-deps.sh peers)"
    fi
}

idle_one() {  # idle_one COUNT
    use_home "idle$1"
    if [ "$1" -gt 0 ]; then make_queue "$1" "http://127.0.0.1:$port/f%d.txt" hours 1; fi
    start_headless "$work/idle-$1.txt"
    wait_lines "$work/idle-$1.txt" "Monitor engine started" 1 120
    wait_lines "$work/idle-$1.txt" "Task resumed" "$1" 300
    sleep 3  # past the load and its first passes
    local c0 c1 rss
    kill -0 "$headless_pid" 2>/dev/null || { echo "the program ended early:" >&2; cat "$work/idle-$1.txt" >&2; exit 1; }
    c0=$(cpu_ticks "$headless_pid"); sleep 30; c1=$(cpu_ticks "$headless_pid")
    rss=$(rss_kib "$headless_pid")
    stop_headless
    idle_cpu=$(calc "round(100.0 * ($c1 - $c0) / $ticks / 30, 2)")
    idle_rss=$rss
}
idle() {
    idle_one 0; local base_rss=$idle_rss
    echo "idle 0 tasks: CPU ${idle_cpu}% of a core, RSS $((base_rss / 1024)) MiB"
    for n in 10000 100000; do
        idle_one "$n"
        echo "idle $n tasks: CPU ${idle_cpu}% of a core, RSS $((idle_rss / 1024)) MiB," \
             "$(calc "round(($idle_rss - $base_rss) * 1024 / $n)") bytes a task beyond the base"
    done
    echo "idle peer: a loop sleeping 100 ms uses about 0.05% of a core"
}

queue() {
    use_home queue
    make_queue 10000 "http://127.0.0.1:$port/f%d.txt" hours 1
    echo "queue file of 10,000 tasks: $(( $(stat -c %s "$queue") / 1024 )) KiB"
    local start loaded stop end
    start=$(now)
    start_headless "$work/queue.txt"
    wait_lines "$work/queue.txt" "Task resumed" 10000 120
    loaded=$(now)
    sleep 1
    stop=$(now); stop_headless; end=$(now)
    echo "queue start to every task resumed: $(calc "round($loaded - $start, 3)") s; SIGTERM to exit (with the save): $(calc "round($end - $stop, 3)") s"
    /usr/bin/time -f "%e %M" -o "$work/list.time" "$program" --list > /dev/null
    read -r lw lm < "$work/list.time"
    echo "queue --list of 10,000 tasks: $lw s, peak $((lm / 1024)) MiB"
}

local_files() {
    use_home local
    mkdir -p "$work/files"
    for i in $(seq 0 999); do echo "small file $i" > "$work/files/l$i.txt"; done
    make_queue 1000 "$work/files/l%d.txt" seconds -1
    start_headless "$work/local.txt"
    wait_lines "$work/local.txt" "Last monitor event" 1000 60  # every task has had its first run
    sleep 2
    local c0 c1 l0 l1
    c0=$(cpu_ticks "$headless_pid"); l0=$(wc -l < "$work/local.txt")
    sleep 20
    c1=$(cpu_ticks "$headless_pid"); l1=$(wc -l < "$work/local.txt")
    local runs0 runs1
    stop_headless
    echo "local 1,000 tasks every second: CPU $(calc "round(100.0 * ($c1 - $c0) / $ticks / 20, 1)")% of a core," \
         "$(( (l1 - l0) / 20 )) log lines a second"
    local started late
    started=$(grep -c "Started (#" "$work/local.txt" || true)
    echo "local runs started in all: $started (about 1,000 a second is on time)"
    # Peer: one stat of every file a second, as a loop does it.
    /usr/bin/time -f "%U %S" -o "$work/stat.time" python3 - "$work/files" <<'PY'
import os, sys, time
files = [os.path.join(sys.argv[1], n) for n in os.listdir(sys.argv[1])]
for _ in range(20):
    t = time.monotonic()
    for f in files: os.stat(f)
    time.sleep(max(0, 1 - (time.monotonic() - t)))
PY
    read -r su ss < "$work/stat.time"
    echo "local peer: stat of the same files once a second: CPU $(calc "round(100.0 * ($su + $ss) / 20, 1)")% of a core (python, start-up included)"
}

commands() {
    use_home commands
    make_queue 1000 "http://127.0.0.1:$port/f%03d.txt" hours 1
    "$program" --check "http://127.0.0.1:$port/f000.txt" >/dev/null 2>&1 || true  # makes the registry file
    local what
    for what in "--help" "--list" "--check http://127.0.0.1:$port/f001.txt"; do
        # shellcheck disable=SC2086
        /usr/bin/time -f "%e %M" -o "$work/cmd.time" "$program" $what > /dev/null 2>&1 || true
        read -r w m < "$work/cmd.time"
        echo "command $what (1,000 tasks): $w s, peak $((m / 1024)) MiB"
    done
    /usr/bin/time -f "%e %M" -o "$work/cmd.time" curl -sI "http://127.0.0.1:$port/f001.txt" > /dev/null
    read -r w m < "$work/cmd.time"
    echo "command curl -sI: $w s, peak $((m / 1024)) MiB"
    rm -f "$queue"
    local start end
    start=$(now)
    for i in $(seq -w 0 999); do "$program" --add "http://127.0.0.1:$port/f$i.txt" >/dev/null; done
    end=$(now)
    echo "command --add of 1,000 tasks one by one: $(calc "round($end - $start, 1)") s"
}

start_nginx
for part in "${parts[@]}"; do
    case "$part" in
        fleet) fleet ;;
        idle) idle ;;
        queue) queue ;;
        local) local_files ;;
        commands) commands ;;
        *) echo "unknown part $part" >&2; exit 2 ;;
    esac
done
