#!/usr/bin/env bash
# Times extracting a 100 MB -lh5- archive (written by jlha), a 100 MB deflate ZIP (written
# by Info-ZIP), a 7z (LZMA2, by 7zz) and a tar.zst (by zstd) of the same data through the
# stand-ins under Wine against Linux-native readers on the same files (bsdtar -xf; 7zz x
# for the 7z), alternating the two, and prints the medians and their ratio side by side.
# Not part of ./test.sh. Needs a build (tools/build.sh).
#   tools/extract-timing.sh [ROUNDS [ARCHIVE...]]   (default 5 rounds, every archive:
#                                                  t.lzh t.zip t.7z t.tar.zst)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
rounds=${1:-5}
shift || true
archives=("$@")
[ ${#archives[@]} -gt 0 ] || archives=(t.lzh t.zip t.7z t.tar.zst)
wanted() { [[ " ${archives[*]} " == *" $1 "* ]]; }
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

wanted t.lzh && (cd "$src" && LANG=ja_JP.UTF-8 jlha ao5 "$work/t.lzh" random.bin text bin > /dev/null 2>&1)
wanted t.zip && (cd "$src" && zip -qr -6 "$work/t.zip" random.bin text bin)
wanted t.7z && (cd "$src" && 7zz a -bd -bso0 -m0=LZMA2 -mx5 "$work/t.7z" random.bin text bin > /dev/null)
wanted t.tar.zst && (cd "$src" && tar cf - random.bin text bin | zstd -q -3 -o "$work/t.tar.zst")

start_session headless

now() { date +%s.%N; }
median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# native <archive> <folder>: the Linux reader of the row.
native() {
    case $1 in
    *.7z) 7zz x -bd -bso0 -y -o"$2" "$1" > /dev/null ;;
    *) bsdtar -xf "$1" -C "$2" ;;
    esac
}
printf '\n%-24s %10s %14s %14s %8s\n' archive size "stand-in(s)" "Linux(s)" ratio
for archive in "${archives[@]}"; do
    case $archive in
    *.lzh) dll=Unlha32.dll tool="bsdtar -xf" ;;
    *.zip) dll=UnZip32.dll tool="bsdtar -xf" ;;
    *.7z) dll=Tar32.dll tool="7zz x" ;;
    *) dll=Tar32.dll tool="bsdtar -xf" ;;
    esac
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
        native "$work/$archive" "$work/x"
        t1=$(now)
        awk "BEGIN {print $t1 - $t0}" >> "$work/bsdtar.times"
    done
    s=$(median < "$work/standin.times")
    b=$(median < "$work/bsdtar.times")
    printf '%-24s %8s MB %14.2f %14.2f %7.2fx  (%s)\n' "$archive ($dll)" \
        "$(($(stat -c %s "$work/$archive") >> 20))" "$s" "$b" "$(awk "BEGIN {print $s / $b}")" "$tool"
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
