#!/usr/bin/env bash
# Gigabytes through the 32-bit stand-ins under Wine: an entry just over 2 GiB (a sparse
# file in a GNU tar, and the same file deflated in a ZIP64 by Info-ZIP) and a gzip bomb
# that expands to 4 GiB. Prints for each the result, the time, the peak memory of the
# Wine process and whether the output is whole. Not part of ./test.sh (it writes about
# 9 GB and takes minutes). Needs a build (tools/build.sh).
#   tools/big-inputs.sh
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
standins=$root/build/standins
runner=$root/build/bin/standin_run.exe
[ -x "$runner" ] || { echo "build first: tools/build.sh" >&2; exit 1; }

work=$(mktemp -d /tmp/zibrak-big.XXXXXX)
source "$root/tools/wine-session.sh"
trap 'stop_session; rm -rf "$work"' EXIT
source "$root/standins/tests/script_lib.sh"

# 2 GiB of hole, then 1 MiB of random bytes: the tail checks offsets past 2^31.
big=$work/src/big.bin
mkdir -p "$work/src"
head -c $((1 << 20)) /dev/urandom > "$work/tail.bin"
truncate -s $((2 << 30)) "$big"
cat "$work/tail.bin" >> "$big"
size=$(stat -c %s "$big")
echo "making the archives..."
(cd "$work/src" && tar -cSf "$work/big.tar" big.bin)
(cd "$work/src" && zip -q -1 "$work/big.zip" big.bin)
rm -f "$big"
head -c $((4 << 30)) /dev/zero | gzip -9 > "$work/zeros.gz"

start_session headless
printf '\n%-34s %10s %8s %8s %16s  %s\n' archive "size(MB)" result "time(s)" "peak memory(MiB)" output
measure() {  # <label> <dll> <archive> <file extracted> <expected size> <check: tail|zeros>
    local label=$1 dll=$2 archive=$3 file=$4 expect=$5 check=$6 t0 t1 ok=whole peak
    rm -rf "$work/x"
    t0=$(date +%s.%N)
    extract "$dll" "$archive" "$work/x" --memory --dialogs "$work/dialogs.txt" || true
    t1=$(date +%s.%N)
    peak=$(tr -d '\r' < "$work/run.log" | sed -n 's/^peak working set \([0-9]*\) KiB$/\1/p')
    if [ "$(stat -c %s "$work/x/$file" 2>/dev/null)" != "$expect" ]; then
        ok="wrong size: $(stat -c %s "$work/x/$file" 2>/dev/null || echo "no file"); $(tr -d '\r' < "$work/run.log" | head -3 | iconv -f CP932 -t UTF-8 -c)"
    elif [ "$check" = tail ] && ! tail -c $((1 << 20)) "$work/x/$file" | cmp -s - "$work/tail.bin"; then
        ok="tail differs"
    elif [ "$check" = zeros ] && ! cmp -s -n "$expect" "$work/x/$file" /dev/zero; then
        ok="not all zeros"
    fi
    printf '%-34s %10s %8s %8.1f %16s  %s\n' "$label" "$(($(stat -c %s "$archive") >> 20))" \
        "$result" "$(awk "BEGIN {print $t1 - $t0}")" "$(( ${peak:-0} >> 10 ))" "$ok"
    if [ -s "$work/dialogs.txt" ]; then
        iconv -f CP932 -t UTF-8 -c "$work/dialogs.txt"
        : > "$work/dialogs.txt"
    fi
    rm -rf "$work/x"
}
measure "2 GiB + 1 MiB sparse entry (tar)" Tar32.dll "$work/big.tar" big.bin "$size" tail
measure "2 GiB + 1 MiB entry (ZIP64, zip)" UnZip32.dll "$work/big.zip" big.bin "$size" tail
measure "gzip bomb, 4 GiB of zeros (.gz)" Tar32.dll "$work/zeros.gz" zeros $((4 << 30)) zeros
