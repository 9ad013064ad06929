# Sourced by the scripts: a display and the project's Wine prefix for this run, and
# stopping both again. Whatever the session starts it stops: a wineserver left running
# keeps the caller's pipes open (and CI waiting).
# shellcheck shell=bash

ZIBRAK_ROOT=${ZIBRAK_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export ZIBRAK_WINEPREFIX=${ZIBRAK_WINEPREFIX:-$ZIBRAK_ROOT/build/wine}
session_xvfb_pid=

# start_session [headless]: starts Xvfb when there is no usable display (or when asked to).
start_session() {
    if [ "${1:-}" = headless ] || [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
        local fifo display
        fifo=$(mktemp -u)
        mkfifo "$fifo"
        Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
        session_xvfb_pid=$!
        read -r display <"$fifo"
        rm -f "$fifo"
        export DISPLAY=":$display"
    fi
    if [ ! -f "$ZIBRAK_WINEPREFIX/system.reg" ]; then
        echo "Creating the Wine prefix $ZIBRAK_WINEPREFIX (once, about 20 s)..."
        "$ZIBRAK_ROOT/tools/wine-run.sh" wineboot -i >/dev/null 2>&1 || true
    fi
    keep_prefix_to_itself
    use_japanese_fonts
    [ "${1:-}" = headless ] && use_virtual_desktop
    return 0
}

# Without a window manager, Wine waits up to two seconds for the X server each time a window
# is hidden or destroyed. The headless runs therefore draw inside a Wine desktop of their own,
# where windows come and go at once; a session with a real display keeps real windows.
use_virtual_desktop() {
    local marker=$ZIBRAK_WINEPREFIX/.zibrak-desktop
    [ -f "$marker" ] && return
    "$ZIBRAK_ROOT/tools/wine-run.sh" reg add 'HKCU\Software\Wine\Explorer' /v Desktop \
        /d Default /f >/dev/null 2>&1 &&
        "$ZIBRAK_ROOT/tools/wine-run.sh" reg add 'HKCU\Software\Wine\Explorer\Desktops' \
            /v Default /d 1024x768 /f >/dev/null 2>&1 &&
        touch "$marker"
    # The desktop the running wineserver already made is a plain one: start afresh, so that
    # the next program opens the Wine desktop.
    WINEPREFIX=$ZIBRAK_WINEPREFIX wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX=$ZIBRAK_WINEPREFIX wineserver -w >/dev/null 2>&1 || true
}

# Wine has no MS Gothic fonts and would draw the dialog's "ＭＳ Ｐゴシック" with a wide
# monospace fallback that clips the labels; the proportional IPA font comes close to the
# widths the layout was made for. The .reg file is UTF-16 so the Japanese names arrive intact.
use_japanese_fonts() {
    local marker=$ZIBRAK_WINEPREFIX/.zibrak-fonts reg face
    [ -f "$marker" ] && return
    reg=$(mktemp --suffix=.reg)
    {
        printf '\xff\xfe'
        {
            printf 'Windows Registry Editor Version 5.00\r\n\r\n'
            printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
            for face in "ＭＳ Ｐゴシック" "MS PGothic" "ＭＳ ゴシック" "MS Gothic" "MS UI Gothic"; do
                printf '"%s"="IPAPGothic"\r\n' "$face"
            done
        } | iconv -f UTF-8 -t UTF-16LE
    } >"$reg"
    # Wine shows the Linux tree as drive Z:.
    "$ZIBRAK_ROOT/tools/wine-run.sh" regedit /S "Z:${reg//\//\\}" >/dev/null 2>&1 && touch "$marker"
    rm -f "$reg"
}

# Wine links the user's Desktop, Documents, ... to the Linux home folder; the prefix gets
# real folders instead, so that what Zibrak and the tests write stays inside it.
keep_prefix_to_itself() {
    local link
    for link in "$ZIBRAK_WINEPREFIX"/drive_c/users/*/*; do
        if [ -L "$link" ]; then
            rm -f "$link"
            mkdir -p "$link"
        fi
    done
}

stop_session() {
    WINEPREFIX=$ZIBRAK_WINEPREFIX wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX=$ZIBRAK_WINEPREFIX wineserver -w >/dev/null 2>&1 || true
    if [ -n "$session_xvfb_pid" ]; then
        kill "$session_xvfb_pid" 2>/dev/null || true
        wait "$session_xvfb_pid" 2>/dev/null || true
        session_xvfb_pid=
    fi
}
