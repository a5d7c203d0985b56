#!/usr/bin/env bash
# Builds every libFuzzer target with clang, AddressSanitizer and UndefinedBehaviorSanitizer in its
# own folder (build-fuzz/), then runs each over its seed corpus and for a short bounded time
# beyond it, so a parser change that crashes on its seeds, or soon after, is caught before it
# lands. Fails on a crash, a sanitizer report, a leak, an input that runs past the time-out, or a
# target without seeds. Usage: scripts/fuzz-smoke.sh [seconds per target, default 15]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-15}
build="build-fuzz"
results=$build/fuzz-smoke

scripts/install-deps.sh build fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTELLWEIR_BUILD_TESTS=OFF -DTELLWEIR_BUILD_FUZZ=ON -DTELLWEIR_SANITIZE=address,undefined \
    >/dev/null
mapfile -t targets < <(sed -n 's/^tellweir_add_fuzzer(\([a-z_0-9]*\).*/\1/p' fuzz/*/CMakeLists.txt)
[ ${#targets[@]} -gt 0 ] || { echo "fuzz-smoke: no fuzz targets found" >&2; exit 1; }
cmake --build "$build" --target "${targets[@]}"

# Every target needs seeds: without them the short run starts from nothing and proves little.
missing=0
for t in "${targets[@]}"; do
    seeds=fuzz/corpus/${t#fuzz_}
    if [ -z "$(ls -A "$seeds" 2>/dev/null)" ]; then
        echo "fuzz-smoke: $t has no seed corpus in $seeds/" >&2
        missing=1
    fi
done
[ "$missing" = 0 ] || exit 1

rm -rf "$results"
mkdir -p "$results/artifacts"
# New inputs go to a scratch copy, never into the seed folders of the repository.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export UBSAN_OPTIONS="print_stacktrace=1 halt_on_error=1 ${UBSAN_OPTIONS:-}"

failed=()
for t in "${targets[@]}"; do
    binary=$(find "$build/fuzz" -type f -name "$t" -perm -u+x | head -n 1)
    mkdir -p "$work/$t"
    log=$results/$t.log
    # One input may take at most 10 s, and the whole run stops after `seconds`.
    if "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$results/artifacts/$t-" "$work/$t" "fuzz/corpus/${t#fuzz_}" \
        >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        edges=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2 || true)
        printf '%-22s ok   %9s runs  %5s edges\n' "$t" "${runs:-?}" "${edges:-?}"
    else
        printf '%-22s FAILED, see %s\n' "$t" "$log"
        tail -n 40 "$log"
        failed+=("$t")
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz-smoke: failed: ${failed[*]} (inputs in $results/artifacts/)" >&2
    exit 1
fi
echo "fuzz-smoke: all ${#targets[@]} targets ran ${seconds} s each without a finding"
