#!/usr/bin/env bash
# Builds the native fuzz targets and codec tests (clang, ASan + UBSan) into build/fuzz,
# runs the native tests, then runs every fuzz target for SECONDS (default 5) from its seed
# corpus in fuzz/corpus/<target>. New inputs it finds stay in build/fuzz/corpus.
# tools/fuzz.sh 600 runs each target ten minutes; -only NAME runs one target.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-5}
only=${3:-}
[ "${2:-}" = -only ] || only=
out=$root/build/fuzz

if [ ! -f "$out/CMakeCache.txt" ]; then
    CC=clang CXX=clang++ cmake -S "$root/fuzz" -B "$out" -G "Unix Makefiles" >/dev/null
fi
cmake --build "$out" -j"$(nproc)" -- --no-print-directory >/dev/null
(cd "$out" && ctest --output-on-failure -j"$(nproc)" | tail -n 3)

status=0
while read -r target; do
    [ -n "$target" ] || continue
    [ -z "$only" ] || [ "$only" = "$target" ] || continue
    mkdir -p "$out/corpus/$target" "$root/fuzz/corpus/$target"
    log=$out/$target.log
    if "$out/$target" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
        -artifact_prefix="$out/$target-" \
        -rss_limit_mb=2048 "$out/corpus/$target" "$root/fuzz/corpus/$target" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1)
        echo "fuzz $target: ${runs:-?} runs in ${seconds}s, ${cov:-cov: ?}"
    else
        echo "fuzz $target: FAILED (see $log)"
        tail -n 30 "$log"
        status=1
    fi
done <"$out/fuzz-targets.txt"
exit $status
