#!/usr/bin/env bash
# 2,000 small ZIP entries through UnZip32.dll under Wine, not part of ./test.sh: in Deflate64,
# each decoded by the project's own decoder, and in deflate, which libarchive decodes. Prints
# each extraction's time (the best of two) and checks the tree. Given another folder of
# stand-in DLLs (an older build), times its UnZip32.dll the same way for comparison.
#   standins/tests/many_entries.sh [other stand-in folder]  (after ./tools/build.sh)
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
runner=$root/build/bin/standin_run.exe
work=$(mktemp -d /tmp/standin-many.XXXXXX)
# shellcheck source=../../tools/wine-session.sh
source "$root/tools/wine-session.sh"
source "$root/standins/tests/script_lib.sh"
start_session headless
trap 'stop_session; rm -rf "$work"' EXIT

mkdir -p "$work/many"
(cd "$work/many" && for i in $(seq 1 2000); do seq 1 "$((i % 50 + 1))" > "f$i.txt"; done)
for m in Deflate Deflate64; do
    (cd "$work/many" && 7zz a -bd -tzip -mm=$m "$work/$m.zip" . > /dev/null)
done
for standins in "$root/build/standins" ${1:+"$1"}; do
    for m in Deflate Deflate64; do
        best=
        for round in 1 2; do
            rm -rf "$work/out"
            started=$(date +%s.%N)
            extract UnZip32.dll "$work/$m.zip" "$work/out" --dialogs "$work/dialogs.txt"
            seconds=$(echo "$(date +%s.%N) - $started" | bc)
            if [ "$result" -ne 0 ] || [ -s "$work/dialogs.txt" ] || ! diff -r -q "$work/many" "$work/out" > /dev/null; then
                fail "$standins, $m: result $result, $(iconv -f CP932 -t UTF-8 "$work/dialogs.txt" 2>/dev/null | head -3)"
            fi
            rm -f "$work/dialogs.txt"
            if [ -z "$best" ] || [ "$(echo "$seconds < $best" | bc)" = 1 ]; then best=$seconds; fi
        done
        printf '%s\t%s\t%.1f s\n' "$standins" "$m" "$best"
    done
done
echo "$failures failure(s)"
[ "$failures" -eq 0 ]
