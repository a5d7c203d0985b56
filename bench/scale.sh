#!/usr/bin/env bash
# How the program's cost grows with its tasks, beside its peers in the same run:
#   fleet     1,000 HEAD tasks run once against local nginx, 10 connections, vs
#             curl --parallel-max 10 -sI and urlwatch (10 workers) on the same URLs
#   idle      10,000 and 100,000 tasks due in an hour: CPU share over 30 s, memory per task
#   queue     10,000 tasks: start to loaded, SIGTERM to exit (the save), --list time and peak
#   local     1,000 local-file tasks every second on unchanged small files: CPU share, late
#             starts, log lines a second, vs a loop that stats the same files
#   commands  start time and peak memory of --help, --list, --check vs curl -sI; 1,000 --add
#             alone and handed to a running headless instance
#   download  1 GiB through --check --download vs curl -o: user and system CPU
# Usage: bench/scale.sh [program or build folder, default build-bench] [part...]
# Every figure is taken on this machine in this run; CPU is user + system time of the process
# (all its threads). Everything lives in one temporary folder, removed at the end; nginx is
# started on 127.0.0.1 with a free port and stopped again.
set -euo pipefail
cd "$(dirname "$0")/.."
program="${1:-build-bench}"
[ -d "$program" ] && program="$program/bin/tellweir"
program="$(realpath "$program")"
shift || true
parts=("$@")
[ ${#parts[@]} -eq 0 ] && parts=(fleet idle queue local commands download)
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
# With a display the program without options would open its window: every run here means the
# program without windows or a command, so none sees a display.
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
ticks="$(getconf CLK_TCK)"
echo "program: $program; load average $(cut -d' ' -f1-3 /proc/loadavg); $(nproc) cores"

# --- helpers ---------------------------------------------------------------------------------
registry_text() {  # the connection limits every part runs with
    printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quandor Software\\Tellweir\\Settings\\Connections]\n'
    printf '"Max Connects"=dword:%08x\n"Max Connects Per Site"=dword:%08x\n' 10 10
}
use_home() {  # a fresh data folder for the program, with the connection limits set
    local home="$work/home-$1"
    export HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
        XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/run"
    mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME/Quandor Software/Tellweir" && chmod 700 "$XDG_RUNTIME_DIR"
    registry_text > "$XDG_CONFIG_HOME/Quandor Software/Tellweir/registry.reg"
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
    sendfile on;
    default_type application/octet-stream;
    keepalive_requests 100000;
    client_body_temp_path $work/temp/body;
    proxy_temp_path $work/temp/proxy;
    fastcgi_temp_path $work/temp/fastcgi;
    uwsgi_temp_path $work/temp/uwsgi;
    scgi_temp_path $work/temp/scgi;
    server {
        listen 127.0.0.1:$port;
        root $work/www;
        location = /nginx-status { stub_status; }
    }
}
CONF
    nginx -p "$work" -e "$work/nginx-error.log" -c "$work/nginx.conf" &
    nginx_pid=$!
    for _ in $(seq 50); do curl -sf -o /dev/null "http://127.0.0.1:$port/f000.txt" && return; sleep 0.1; done
    echo "nginx did not start" >&2; exit 1
}
accepted() {  # connections nginx has accepted so far (the status request itself included)
    curl -s "http://127.0.0.1:$port/nginx-status" | awk 'NR == 3 {print $1}'
}
# make_queue COUNT FORMAT HOURS_AHEAD SCHEDULE...: a queue of COUNT tasks on printf FORMAT %
# index, with the --add schedule options SCHEDULE, first due HOURS_AHEAD from now; made from
# one task the program added itself, so the file is the program's own format.
make_queue() {
    local count=$1 format=$2 ahead=$3 first
    shift 3
    # shellcheck disable=SC2059 # the format is the point
    first="$(printf "$format" 0)"
    rm -f "$queue"
    "$program" --add "$first" "$@" >/dev/null
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
mib() { calc "round($1 / 1024, 1)"; }
# start_headless LOG: runs the program until stop_headless
start_headless() {
    "$program" --headless > "$1" 2>&1 &
    headless_pid=$!
}
stop_headless() {
    kill -TERM "$headless_pid" 2>/dev/null || true
    wait "$headless_pid" || true
    headless_pid=""
}
# wait_lines FILE TEXT COUNT TIMEOUT: until FILE holds COUNT lines with TEXT; fails when the
# time runs out, the headless program has ended or it could not read its queue. Reads only what was added since the last
# look, so the wait costs little beside the program it watches.
wait_lines() {
    python3 - "$@" "${headless_pid:-0}" <<'PY' || { echo "no $3 x '$2' in $1: $(tail -n 1 "$1")" >&2; return 1; }
import sys, time
path, text, count, timeout = sys.argv[1], sys.argv[2].encode(), int(sys.argv[3]), float(sys.argv[4])
pid = int(sys.argv[5])
def gone():
    try:
        return pid > 0 and open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()[0] == "Z"
    except OSError:
        return True
deadline = time.monotonic() + timeout
seen, rest = 0, b""
with open(path, "rb") as f:
    while seen < count:
        chunk = f.read(1 << 20)
        if not chunk:
            if time.monotonic() > deadline or gone(): sys.exit(1)
            time.sleep(0.005)
            continue
        lines = (rest + chunk).split(b"\n")
        rest = lines.pop()
        seen += sum(1 for line in lines if text in line)
        if any(b"annot read the queue file" in line for line in lines): sys.exit(1)
PY
}
# measure RUNS COMMAND...: runs COMMAND RUNS times (output discarded); prints the best wall
# time, the user and system CPU of that run, and the largest peak RSS of all runs (KiB).
measure() {
    python3 - "$@" <<'PY'
import os, subprocess, sys, time
runs, cmd = int(sys.argv[1]), sys.argv[2:]
best, peak = None, 0
for _ in range(runs):
    t = time.perf_counter()
    p = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, _, usage = os.wait4(p.pid, 0)
    wall = time.perf_counter() - t
    peak = max(peak, usage.ru_maxrss)
    if best is None or wall < best[0]: best = (wall, usage.ru_utime, usage.ru_stime)
print("%.4f %.3f %.3f %d" % (best[0], best[1], best[2], peak))
PY
}

# --- parts -----------------------------------------------------------------------------------
fleet() {
    use_home fleet
    make_queue 1000 "http://127.0.0.1:$port/f%03d.txt" -1 --once
    local saved="$work/fleet.xml"
    cp "$queue" "$saved"
    # Run 1 makes the INFO files; run 2 finds them and is the one the goals mean.
    local run start end cpu hwm conns ours_wall ours_cpu ours_hwm
    for run in 1 2; do
        cp "$saved" "$queue"
        conns=$(accepted)
        start=$(now)
        start_headless "$work/fleet-$run.txt"
        wait_lines "$work/fleet-$run.txt" "Last monitor event" 1000 120
        end=$(now)
        cpu=$(cpu_ticks "$headless_pid"); hwm=$(hwm_kib "$headless_pid")
        stop_headless
        conns=$(( $(accepted) - conns - 1 ))
        ours_wall=$(calc "round($end - $start, 3)"); ours_cpu=$(calc "round($cpu / $ticks, 3)"); ours_hwm=$hwm
        echo "fleet tellweir run $run: wall $ours_wall s, CPU $ours_cpu s, peak $(mib "$hwm") MiB," \
             "$conns connections (start to the 1,000th run ended)"
    done

    local urls=() cw cu cs cm
    for i in $(seq -w 0 999); do urls+=("http://127.0.0.1:$port/f$i.txt"); done
    conns=$(accepted)
    read -r cw cu cs cm < <(measure 3 curl -s -I --parallel --parallel-max 10 "${urls[@]}")
    conns=$(( ($(accepted) - conns - 1) / 3 ))
    echo "fleet curl --parallel-max 10 -sI: wall $cw s, CPU $(calc "round($cu + $cs, 3)") s, peak $(mib "$cm") MiB, $conns connections (best of 3)"
    echo "fleet ratio tellweir/curl: wall $(calc "round($ours_wall / $cw, 1)")x, CPU $(calc "round($ours_cpu / max($cu + $cs, 0.001), 1)")x, peak $(calc "round($ours_hwm / $cm, 1)")x (goal: wall and CPU within 3x)"

    if command -v urlwatch >/dev/null; then
        # urlwatch runs its jobs on a fixed pool of 10 threads; it asks with GET and the
        # validators of its cache (If-Modified-Since, ETag), so its second run gets 304 replies.
        local uw="$work/urlwatch" uwall uu us um
        mkdir -p "$uw"
        for u in "${urls[@]}"; do printf -- '---\nurl: "%s"\n' "$u"; done > "$uw/urls.yaml"
        printf 'display:\n  new: false\n  error: true\n  unchanged: false\nreport:\n  stdout:\n    enabled: false\n' > "$uw/config.yaml"
        local uwargs=(urlwatch --urls "$uw/urls.yaml" --config "$uw/config.yaml" --cache "$uw/cache.db")
        for run in 1 2; do
            read -r uwall uu us um < <(measure 1 "${uwargs[@]}")
            echo "fleet urlwatch run $run: wall $uwall s, CPU $(calc "round($uu + $us, 3)") s, peak $(mib "$um") MiB"
        done
        echo "fleet ratio urlwatch/tellweir (run 2): wall $(calc "round($uwall / $ours_wall, 1)")x (goal: 10x or more);" \
             "tellweir/urlwatch peak $(calc "round($ours_hwm / $um, 2)") (goal: under 0.5)"
    else
        echo "fleet urlwatch: not installed (scripts/install-deps.sh peers)"
    fi
}

idle_one() {  # idle_one COUNT: sets idle_cpu, idle_rss, idle_hwm, idle_load; fails when not loaded
    use_home "idle$1"
    if [ "$1" -gt 0 ]; then make_queue "$1" "http://127.0.0.1:$port/f%d.txt" 1 --every 1 hours; fi
    local start loaded
    start=$(now)
    start_headless "$work/idle-$1.txt"
    if ! wait_lines "$work/idle-$1.txt" "Task resumed" "$1" 600 2>/dev/null; then
        echo "idle $1 tasks: not loaded ($(stat -c %s "$queue" | awk '{printf "%.0f", $1 / 1048576}') MiB queue file):" \
             "$(grep -v "Task resumed" "$work/idle-$1.txt" | tail -n 1)"
        stop_headless
        return 1
    fi
    loaded=$(now)
    sleep 3  # past the load and its first passes
    local c0 c1
    kill -0 "$headless_pid" 2>/dev/null || { echo "the program ended early:" >&2; tail "$work/idle-$1.txt" >&2; exit 1; }
    local peer=""
    if [ "$1" = 0 ]; then  # the peer runs beside the program's base: both cost next to nothing
        python3 -c '
import os, time
t = os.times()
for _ in range(300): time.sleep(0.1)
u = os.times()
print(round(100.0 * (u.user + u.system - t.user - t.system) / 30, 2))' > "$work/peer.txt" &
        peer=$!
    fi
    c0=$(cpu_ticks "$headless_pid"); sleep 30; c1=$(cpu_ticks "$headless_pid")
    [ -z "$peer" ] || wait "$peer"
    idle_rss=$(rss_kib "$headless_pid"); idle_hwm=$(hwm_kib "$headless_pid")
    stop_headless
    rm -f "$work/idle-$1.txt"
    idle_cpu=$(calc "round(100.0 * ($c1 - $c0) / $ticks / 30, 2)")
    idle_load=$(calc "round($loaded - $start, 2)")
}
idle() {
    idle_one 0; local base_rss=$idle_rss
    echo "idle 0 tasks: CPU ${idle_cpu}% of a core, RSS $(mib "$base_rss") MiB (the base)"
    for n in 10000 100000; do
        idle_one "$n" || continue
        echo "idle $n tasks: CPU ${idle_cpu}% of a core over 30 s (goal: under $([ "$n" = 10000 ] && echo 0.5 || echo 2)%)," \
             "RSS $(mib "$idle_rss") MiB (peak $(mib "$idle_hwm") MiB, loaded in $idle_load s)," \
             "$(calc "round(($idle_rss - $base_rss) * 1024 / $n)") bytes a task beyond the base (goal: under 4096)"
    done
    echo "idle peer: a Python loop that sleeps 100 ms at a time: CPU $(cat "$work/peer.txt")% of a core over 30 s"
}

queue() {
    use_home queue
    make_queue 10000 "http://127.0.0.1:$port/f%d.txt" 1 --every 1 hours
    echo "queue file of 10,000 tasks: $(( $(stat -c %s "$queue") / 1024 )) KiB"
    local start loaded stop end
    start=$(now)
    start_headless "$work/queue.txt"
    wait_lines "$work/queue.txt" "Task resumed" 10000 120
    loaded=$(now)
    sleep 1
    stop=$(now); stop_headless; end=$(now)
    echo "queue start to every task resumed: $(calc "round($loaded - $start, 3)") s (goal: under 0.3 s);" \
         "SIGTERM to exit, with the save: $(calc "round($end - $stop, 3)") s (goal: under 0.3 s)"
    local lw lu ls lm
    read -r lw lu ls lm < <(measure 3 "$program" --list)
    echo "queue --list of 10,000 tasks: $lw s wall, $(calc "round($lu + $ls, 3)") s CPU, peak $(mib "$lm") MiB (goal: under 0.2 s and 50 MiB)"
}

local_files() {
    use_home local
    mkdir -p "$work/files"
    for i in $(seq 0 999); do echo "small file $i" > "$work/files/l$i.txt"; done
    make_queue 1000 "$work/files/l%d.txt" -1 --every 1 seconds
    start_headless "$work/local.txt"
    wait_lines "$work/local.txt" "Last monitor event" 1000 60  # every task has had its first run
    sleep 2
    local c0 c1 l0 l1
    c0=$(cpu_ticks "$headless_pid"); l0=$(wc -l < "$work/local.txt")
    sleep 20
    c1=$(cpu_ticks "$headless_pid"); l1=$(wc -l < "$work/local.txt")
    stop_headless
    echo "local 1,000 tasks every second: CPU $(calc "round(100.0 * ($c1 - $c0) / $ticks / 20, 1)")% of a core over 20 s (goal: under 5%)," \
         "$(( (l1 - l0) / 20 )) log lines a second"
    # A start is late when it falls in a later second than the one it was scheduled for (the
    # log's times are whole seconds).
    tail -n +"$((l0 + 1))" "$work/local.txt" | head -n "$((l1 - l0))" | python3 -c '
import re, sys
started = late = 0
for line in sys.stdin:
    m = re.search(r"Started \(#\d+\): \[([^]]*)\], scheduled: \[([^]]*)\]", line)
    if m:
        started += 1
        late += m.group(1) != m.group(2)
print("local runs started in those 20 s: %d (%d a second; 1,000 a second is every run), %d late (%.1f%%)"
      % (started, started / 20, late, 100.0 * late / max(started, 1)))'
    # Peer: a loop that stats every file once a second.
    local su ss
    /usr/bin/time -f "%U %S" -o "$work/stat.time" python3 - "$work/files" <<'PY'
import os, sys, time
files = [os.path.join(sys.argv[1], n) for n in os.listdir(sys.argv[1])]
for _ in range(20):
    t = time.monotonic()
    for f in files: os.stat(f)
    time.sleep(max(0, 1 - (time.monotonic() - t)))
PY
    read -r su ss < "$work/stat.time"
    echo "local peer: python stat of the same files once a second: CPU $(calc "round(100.0 * ($su + $ss) / 20, 1)")% of a core (its start included)"
}

commands() {
    use_home commands
    make_queue 1000 "http://127.0.0.1:$port/f%03d.txt" 1 --every 1 hours
    "$program" --check "http://127.0.0.1:$port/f000.txt" >/dev/null 2>&1 || true  # the registry file is there
    local what w u s m cw cu cs cm
    read -r cw cu cs cm < <(measure 5 curl -sI "http://127.0.0.1:$port/f001.txt")
    for what in "--help" "--list" "--check http://127.0.0.1:$port/f001.txt"; do
        # shellcheck disable=SC2086
        read -r w u s m < <(measure 5 "$program" $what)
        echo "command $what (1,000 tasks): $(calc "round($w * 1000, 1)") ms, CPU $(calc "round(($u + $s) * 1000)") ms," \
             "peak $(mib "$m") MiB (goal: under 20 ms and 15 MiB)"
    done
    echo "command curl -sI: $(calc "round($cw * 1000, 1)") ms, CPU $(calc "round(($cu + $cs) * 1000)") ms, peak $(mib "$cm") MiB"
    echo "command ratio --check/curl -sI: $(calc "round($w / $cw, 2)")x (goal: within 1.2x); all best of 5"
    rm -f "$queue"
    add_many "no instance running"
    # The same with a headless instance: each --add goes over the control socket and the
    # instance adds the task, starts it and saves the queue.
    rm -f "$queue"
    start_headless "$work/add-instance.txt"
    local _
    for _ in $(seq 100); do compgen -G "$XDG_RUNTIME_DIR/tellweir-*.sock" >/dev/null && break; sleep 0.05; done
    compgen -G "$XDG_RUNTIME_DIR/tellweir-*.sock" >/dev/null || { echo "the headless instance made no control socket" >&2; exit 1; }
    local c0 c1
    c0=$(cpu_ticks "$headless_pid")
    add_many "a headless instance running"
    c1=$(cpu_ticks "$headless_pid")
    stop_headless
    echo "command --add with an instance: the instance used $(calc "round(($c1 - $c0) / $ticks, 2)") s CPU;" \
         "$(grep -o "<Monitor>" "$queue" | wc -l) tasks in the saved queue"
}
# add_many LABEL: 1,000 --add one by one; a program whose --add grows with the queue would take
# minutes, so it stops after 60 s.
add_many() {
    local start end added=0 i
    start=$(now)
    for i in $(seq -w 0 999); do
        "$program" --add "http://127.0.0.1:$port/f$i.txt" >/dev/null
        added=$((added + 1))
        [ $(( $(date +%s) - ${start%.*} )) -lt 60 ] || break
    done
    end=$(now)
    if [ "$added" = 1000 ]; then
        echo "command --add of 1,000 tasks one by one, $1: $(calc "round($end - $start, 1)") s (goal: under 10 s)"
    else
        echo "command --add one by one, $1: stopped after $added tasks in $(calc "round($end - $start, 1)") s;" \
             "1,000 would take more than $(calc "round(($end - $start) * 1000 / $added)") s (goal: under 10 s)"
    fi
}

download() {
    use_home download
    local base="${TMPDIR:-/tmp}"
    [ "$(df -Pk "$work" | awk 'NR == 2 { print $4 }')" -gt $((3 * 1024 * 1024)) ] ||
        { echo "download: less than 3 GiB free in $base, skipped"; return; }
    head -c 1G /dev/urandom > "$work/www/big.bin"
    local url="http://127.0.0.1:$port/big.bin" run who w u s m
    local -A best_user best_sys best_wall
    for run in 1 2; do
        for who in curl tellweir; do
            sync
            if [ "$who" = curl ]; then
                read -r w u s m < <(measure 1 curl -s -o "$work/out.bin" "$url")
            else
                read -r w u s m < <(measure 1 "$program" --check "$url" --download --output "$work/out.bin")
            fi
            cmp -s "$work/www/big.bin" "$work/out.bin" || { echo "download: $who made no complete copy" >&2; exit 1; }
            rm -f "$work/out.bin"
            echo "download run $run $who: wall $w s, user $u s, system $s s, peak $(mib "$m") MiB"
            if [ -z "${best_user[$who]:-}" ] || python3 -c "import sys; sys.exit(not $u < ${best_user[$who]})"; then
                best_user[$who]=$u; best_sys[$who]=$s; best_wall[$who]=$w
            fi
        done
    done
    rm -f "$work/www/big.bin"
    echo "download ratio tellweir/curl (best of 2 each): user CPU $(calc "round(${best_user[tellweir]} / max(${best_user[curl]}, 0.001), 1)")x (goal: within 3x)," \
         "system CPU $(calc "round(${best_sys[tellweir]} / max(${best_sys[curl]}, 0.001), 1)")x, wall $(calc "round(${best_wall[tellweir]} / ${best_wall[curl]}, 2)")x"
}

start_nginx
for part in "${parts[@]}"; do
    case "$part" in
        fleet) fleet ;;
        idle) idle ;;
        queue) queue ;;
        local) local_files ;;
        commands) commands ;;
        download) download ;;
        *) echo "unknown part $part (fleet idle queue local commands download)" >&2; exit 2 ;;
    esac
done
