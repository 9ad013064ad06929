#!/usr/bin/env bash
# Installs what is missing, builds, and runs Zibrak.exe under Wine with the stand-in
# archiver DLLs beside it: on the given files (compressed, or extracted when all are
# archives), or, with no files, its settings window.
set -euo pipefail
# The files are named from where the user stands: resolve them before moving to the
# repository, or "notes.txt" would mean the repository's own (or nothing).
files=()
for f in "$@"; do
    [ -e "$f" ] || { echo "run.sh: $f does not exist" >&2; exit 2; }
    files+=("$(realpath "$f")")
done
cd "$(dirname "$0")"
root=$(pwd)

./tools/install-deps.sh
./tools/build.sh

# No files and no screen to show the settings window on: show it on a virtual display
# and save a picture of it instead.
if [ $# -eq 0 ] && { [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; }; then
    echo "There is no display here, so the settings window is shown on a virtual one."
    ./tools/screenshot-settings.sh "$root/build/settings-window.png"
    echo "That is a picture of it; with a display (DISPLAY set) ./run.sh opens the window itself."
    exit 0
fi

# A prefix of its own, apart from the tests' one, so the two never stop each other's Wine.
export ZIBRAK_WINEPREFIX=${ZIBRAK_WINEPREFIX:-$root/build/wine-run}
source tools/wine-session.sh
trap stop_session EXIT
start_session

# Zibrak.exe lives in C:\Zibrak with readme.txt and the archiver DLLs, as a user installs it.
install_dir=$ZIBRAK_WINEPREFIX/drive_c/Zibrak
mkdir -p "$install_dir"
cp build/bin/Zibrak.exe "$install_dir/"
[ -f build/bin/readme.txt ] && cp build/bin/readme.txt "$install_dir/"
cp build/standins/*.dll "$install_dir/"

win_args=()
for f in "${files[@]}"; do
    win_args+=("$(./tools/wine-run.sh winepath -w "$f" 2>/dev/null)")
done

desktop_win=$(./tools/wine-run.sh cmd /c echo %USERPROFILE%\\Desktop 2>/dev/null | tr -d '\r')
desktop=$(./tools/wine-run.sh winepath -u "$desktop_win" 2>/dev/null)
mkdir -p "$desktop"
desktop=$(realpath "$desktop")
marker=$(mktemp)

if [ ${#win_args[@]} -eq 0 ]; then
    echo "Opening the settings window of Zibrak (close it to end)..."
fi

# The window's Japanese texts need the Japanese locale, which wine-run.sh sets. On a
# virtual display of the session's own nobody sees a box, which would wait for ever: then
# every box is printed here and answered with its default button (No to a question).
runner=()
if [ -n "$session_xvfb_pid" ]; then
    echo "There is no display here: boxes are printed below and answered with their default button."
    runner=(build/bin/box_answerer.exe)
fi
status=0
./tools/wine-run.sh "${runner[@]}" 'C:\Zibrak\Zibrak.exe' "${win_args[@]}" || status=$?

if [ ${#win_args[@]} -gt 0 ]; then
    echo "Zibrak finished (exit code $status)."
    echo "Results go to the Wine desktop by default: $desktop"
    echo "(with the settings \"ファイルと同じ場所\" they go beside the given files instead)."
    new=$(find "$desktop" "$(dirname "${files[0]}")" -mindepth 1 -maxdepth 1 -newer "$marker" 2>/dev/null | sort -u)
    if [ -n "$new" ]; then
        echo "New there now:"
        printf '%s\n' "$new" | sed 's/^/  /'
    fi
fi
rm -f "$marker"
exit "$status"
