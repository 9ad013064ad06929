#!/usr/bin/env bash
# The benchmark of Zibrak's own cost: job overhead, start-up, scale and size, measured in
# one Wine prefix of its own (build/wine-bench) and printed. It judges nothing.
# Usage: bench/run.sh [PAIRS]   (pairs of A and B per comparison, at least 15 by default)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
pairs=${1:-15}

"$root/tools/build.sh" >/dev/null

export ZIBRAK_WINEPREFIX=$root/build/wine-bench
# shellcheck source=../tools/wine-session.sh
source "$root/tools/wine-session.sh"
trap stop_session EXIT
start_session headless

bench=$ZIBRAK_WINEPREFIX/drive_c/bench
app=$bench/app
data=$bench/data
run() { "$root/tools/wine-run.sh" "$@" | tr -d '\r'; }

# Base64 text of random bytes: it packs to about three quarters, as ordinary data might.
write_text_files() {  # folder count bytes-each
    mkdir -p "$1"
    local i
    for ((i = 0; i < $2; i++)); do
        head -c $(($3 * 3 / 4)) /dev/urandom | base64 -w 76 >"$1/part$(printf %02d "$i").txt"
    done
}

# The inputs, made once: two 50 MB archives and a 50 MB folder, their tiny twins, and the
# 100,000 files and 100,000 ZIP archives of the scale test.
make_data() {
    [ -f "$data/.complete" ] && return
    echo "Making the benchmark's data in $data (once)..." >&2
    rm -rf "$data" "$bench/src"
    mkdir -p "$data" "$bench/src"
    write_text_files "$bench/src/bigzip" 20 3500000
    (cd "$bench/src" && zip -qr "$data/bigzip.zip" bigzip)
    cp -r "$bench/src/bigzip" "$bench/src/biglzh"
    (cd "$bench/src" && jlha a "$data/biglzh.lzh" biglzh >/dev/null)
    write_text_files "$data/bigdir" 15 3500000
    mkdir -p "$bench/src/tinyzip" "$bench/src/tinylzh" "$data/tinydir"
    for d in tinyzip tinylzh; do echo "a tiny file to pack" >"$bench/src/$d/tiny.txt"; done
    echo "a tiny file to pack" >"$data/tinydir/tiny.txt"
    (cd "$bench/src" && zip -qr "$data/tinyzip.zip" tinyzip)
    (cd "$bench/src" && jlha a "$data/tinylzh.lzh" tinylzh >/dev/null)
    python3 - "$data" "$data/tinyzip.zip" <<'PY'
import os, sys
data, tiny = sys.argv[1], open(sys.argv[2], 'rb').read()
os.makedirs(f'{data}/scale/files', exist_ok=True)
os.makedirs(f'{data}/scale/archives', exist_ok=True)
os.makedirs(f'{data}/scale/out', exist_ok=True)
for i in range(100000):
    with open(f'{data}/scale/files/f{i:06d}.txt', 'w') as f:
        f.write(f'file {i} of the scale test\r\n')
    with open(f'{data}/scale/archives/a{i:06d}.zip', 'wb') as f:
        f.write(tiny)
PY
    rm -rf "$bench/src"
    touch "$data/.complete"
}

install_app() {
    rm -rf "$app"
    mkdir -p "$app"
    cp "$root/build/bin/Zibrak.exe" "$root/build/bin/readme.txt" "$root/build/standins/"*.dll \
       "$root/build/bin/bench_driver.exe" "$root/build/bin/bench_dialog.exe" \
       "$root/build/bin/bench_dialog_settings.exe" \
       "$root/build/bin/bench_cost.exe" "$root/build/bin/bench_scale.exe" "$app/"
    # Nothing but the job: the archive's own folder, no Explorer window, no question.
    printf '%s\r\n' '[Option]' MeltDirType=1 CompDirType=1 CompType=0 LzhType=1 MakeSFX=0 \
        MeltForAllArc=1 MeltMakeDir=1 MeltOverWrite=0 CompOverWrite=1 MeltOpenDir=0 \
        CompOpenDir=0 CompWarn=0 SendTo=0 >"$ZIBRAK_WINEPREFIX/drive_c/windows/Zibrak.ini"
}

make_data
install_app

echo "== Zibrak's own cost, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "machine: $(nproc) cores ($(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')),"\
     "$(. /etc/os-release && echo "$PRETTY_NAME"), $(wine --version)"
echo "load average at start: $(cut -d' ' -f1-3 /proc/loadavg) (the CPU is shared; the ratios are what survive the noise)"
echo "A is Zibrak.exe, B the bare program; medians of $pairs pairs, run in turns"
echo
echo "-- size"
for file in "$app/Zibrak.exe" "$root/build/standins/"*.dll; do
    stat -c '%n %s' "$file" | awk '{ n = split($1, p, "/");
        printf "%-14s %9d bytes (%.1f KiB)\n", p[n], $2, $2 / 1024 }'
done
echo
echo "-- job overhead"
for job in bigzip.zip:bigzip biglzh.lzh:biglzh bigdir:bigdir.lzh \
           tinyzip.zip:tinyzip tinylzh.lzh:tinylzh tinydir:tinydir.lzh; do
    run "$app/bench_cost.exe" job "${job%%:*}" "$pairs" "C:\\bench\\data\\${job%%:*}" \
        "C:\\bench\\data\\${job#*:}"
done
echo
echo "-- start-up"
run "$app/bench_cost.exe" startup "$pairs"
echo
echo "-- scale (Zibrak's own code in one process, stand-in DLLs loaded)"
run "$app/bench_scale.exe" scale 'C:\bench\data\scale\files' 'C:\bench\data\scale\archives' \
    'C:\bench\data\scale\out'
run "$app/bench_scale.exe" job 'C:\bench\data\scale\files' 10000 'C:\bench\data\scale\out'
echo
echo "load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"
