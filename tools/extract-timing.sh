#!/usr/bin/env bash
# Times extracting a 100 MB -lh5- archive (written by jlha) and a 100 MB deflate ZIP
# (written by Info-ZIP) through the stand-ins under Wine against Linux-native bsdtar on the
# same files, alternating the two, and prints the medians and their ratio side by side.
# Not part of ./test.sh. Needs a build (tools/build.sh).
#   tools/extract-timing.sh [ROUNDS]      (default 5)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
rounds=${1:-5}
standins=$root/build/standins
runner=$root/build/bin/standin_run.exe
[ -x "$runner" ] || { echo "build first: tools/build.sh" >&2; exit 1; }

work=$(mktemp -d /tmp/zibrak-timing.XXXXXX)
source "$root/tools/wine-session.sh"
trap 'stop_session; rm -rf "$work"' EXIT
source "$root/standins/tests/script_lib.sh"

# Mixed data: random bytes (incompressible), numbered text (compressible) and programs of
# this machine (in between), about 100 MB once compressed.
src=$work/src
mkdir -p "$src/text" "$src/bin"
head -c $((80 << 20)) /dev/urandom > "$src/random.bin"
# (head ends the pipes early, which pipefail would take for a failure.)
seq 1 6000000 | sed 's/$/ a line of text to compress/' | head -c $((60 << 20)) > "$src/text/lines.txt" || true
find /usr/lib/x86_64-linux-gnu -maxdepth 1 -type f -name '*.so*' -size +200k -print0 |
    xargs -0 cat 2>/dev/null | head -c $((30 << 20)) > "$src/bin/libraries.bin" || true
echo "input: $(du -sm "$src" | cut -f1) MB in $(find "$src" -type f | wc -l) files"

(cd "$src" && LANG=ja_JP.UTF-8 jlha ao5 "$work/t.lzh" random.bin text bin > /dev/null 2>&1)
(cd "$src" && zip -qr -6 "$work/t.zip" random.bin text bin)

start_session headless

now() { date +%s.%N; }
median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

printf '\n%-24s %10s %14s %14s %8s\n' archive size "stand-in(s)" "bsdtar -xf(s)" ratio
for archive in t.lzh t.zip; do
    dll=Unlha32.dll
    [ "$archive" = t.zip ] && dll=UnZip32.dll
    : > "$work/standin.times"
    : > "$work/bsdtar.times"
    for ((r = 0; r < rounds; r++)); do
        rm -rf "$work/x"
        t0=$(now)
        extract "$dll" "$work/$archive" "$work/x" || { echo "$dll failed: $(cat "$work/run.log")" >&2; exit 1; }
        t1=$(now)
        awk "BEGIN {print $t1 - $t0}" >> "$work/standin.times"
        cmp -s "$src/random.bin" "$work/x/random.bin" || { echo "$dll: random.bin differs" >&2; exit 1; }
        rm -rf "$work/x" && mkdir "$work/x"
        t0=$(now)
        bsdtar -xf "$work/$archive" -C "$work/x"
        t1=$(now)
        awk "BEGIN {print $t1 - $t0}" >> "$work/bsdtar.times"
    done
    s=$(median < "$work/standin.times")
    b=$(median < "$work/bsdtar.times")
    printf '%-24s %8s MB %14.2f %14.2f %7.2fx\n' "$archive ($dll)" \
        "$(($(stat -c %s "$work/$archive") >> 20))" "$s" "$b" "$(awk "BEGIN {print $s / $b}")"
done
# What starting a Wine process and loading a DLL costs: a tiny archive, timed the same way.
printf 'tiny\n' > "$work/tiny.txt"
(cd "$work" && zip -q tiny.zip tiny.txt)
: > "$work/tiny.times"
for ((r = 0; r < rounds; r++)); do
    rm -rf "$work/x"
    t0=$(now)
    extract UnZip32.dll "$work/tiny.zip" "$work/x"
    t1=$(now)
    awk "BEGIN {print $t1 - $t0}" >> "$work/tiny.times"
done
printf '%-24s %11s %14.2f\n' "tiny.zip (UnZip32.dll)" "1 KB" "$(median < "$work/tiny.times")"
echo "medians of $rounds rounds, alternating; the stand-in's times include starting its Wine"
echo "process, which the tiny archive's row shows alone"
