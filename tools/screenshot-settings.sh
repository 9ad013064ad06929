#!/usr/bin/env bash
# Builds what is missing, opens the settings window under Wine on a display of its own and
# saves a picture of the window as docs/settings-window.png (or the file given).
#
# A Wine prefix of its own (build/wine-screenshot): stopping its wineserver at the end
# cannot disturb tests that run at the same time in the project's prefix.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export ZIBRAK_WINEPREFIX=${ZIBRAK_WINEPREFIX:-$root/build/wine-screenshot}
# shellcheck source=tools/wine-session.sh
source "$root/tools/wine-session.sh"

caption="Zibrak Version 0.05 設定画面"
output=$(realpath -m "${1:-$root/docs/settings-window.png}")
build=${ZIBRAK_BUILD_DIR:-$root/build}

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" >/dev/null
fi
cmake --build "$build" -j2 --target Zibrak zibrak_readme standins >/dev/null
program=$build/bin/Zibrak.exe

# The program runs from a folder of its own with the stand-in archivers beside it, as a
# user would put the real ones.
stage=$(mktemp -d)
# Runs on every way out (an error, the window not appearing, Ctrl-C, kill): the prefix's
# wineserver and the Xvfb of this run must not outlive the script.
cleanup() {
    set +e
    trap - EXIT INT TERM HUP
    stop_session
    rm -rf "$stage"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP
cp "$program" "$build"/standins/*.dll "$build/bin/readme.txt" "$stage/"

start_session headless
# Without a window manager Wine draws the caption and frame itself only when told to.
"$root/tools/wine-run.sh" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f \
    >/dev/null 2>&1
(cd "$stage" && exec "$root/tools/wine-run.sh" ./Zibrak.exe) >/dev/null 2>&1 &

window=
for _ in $(seq 1 120); do
    for id in $(xwininfo -root -tree 2>/dev/null | awk '/"Zibrak Version 0.05/ {print $1}'); do
        if xprop -id "$id" _NET_WM_NAME 2>/dev/null | grep -qF "\"$caption\""; then
            window=$id
        fi
    done
    [ -n "$window" ] && break
    sleep 0.5
done
if [ -z "$window" ]; then
    echo "The window \"$caption\" did not appear." >&2
    exit 1
fi
sleep 1  # let it finish painting

mkdir -p "$(dirname "$output")"
xwd -silent -id "$window" | convert xwd:- "png:$output"
echo "Wrote $output ($(identify -format '%wx%h' "$output"))"
