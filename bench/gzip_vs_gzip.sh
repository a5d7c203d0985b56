#!/usr/bin/env bash
# Compares InflateGzipFile with `gzip -dc` on the same 100 MiB of compressible text, both writing
# their output to a file, and prints the time ratio of one run.
# Usage: bench/gzip_vs_gzip.sh [build directory with bench/transfer/inflate_file, default build-bench]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-bench}"
driver="$build/bench/transfer/inflate_file"
[ -x "$driver" ] || { echo "build $driver first (target inflate_file)" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/tw-gzip-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# 1 MiB of pseudo-random words, repeated: gzip's 32 KiB window never sees the repetition, so
# the whole file compresses like the first MiB (about 2:1).
python3 - "$work/text" <<'PY'
import random, sys
random.seed(20240615)
words = [''.join(random.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(random.randint(2, 9)))
         for _ in range(5000)]
chunk = []
size = 0
while size < (1 << 20):
    w = random.choice(words) + random.choice('     \n,.')
    chunk.append(w)
    size += len(w)
block = ''.join(chunk)[: 1 << 20].encode()
with open(sys.argv[1], 'wb') as f:
    for _ in range(100):
        f.write(block)
PY
gzip -6 -c "$work/text" > "$work/text.gz"
rm "$work/text"
echo "input: $(stat -c %s "$work/text.gz") bytes of gzip, 104857600 bytes inflated"

ours="$("$driver" "$work/text.gz" "$work/ours")"
start="$(date +%s.%N)"
gzip -dc "$work/text.gz" > "$work/theirs"
end="$(date +%s.%N)"
theirs="$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')"
cmp -s "$work/ours" "$work/theirs" || { echo "outputs differ" >&2; exit 1; }

awk -v o="$ours" -v t="$theirs" 'BEGIN {
    printf "InflateGzipFile: %.3f s\ngzip -dc:        %.3f s\nratio (ours / gzip): %.2f\n", o, t, o / t }'
