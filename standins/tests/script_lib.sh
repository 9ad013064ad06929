# Sourced by the stand-ins' Linux-side test scripts: calling a stand-in under Wine, and
# comparing extracted trees. The caller sets root, standins, runner and work first.
# shellcheck shell=bash

wine_run="$root/tools/wine-run.sh"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

# Wine sees the whole Linux tree as drive Z:.
win() { local p=$1; printf 'Z:%s' "${p//\//\\}"; }
sj() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }

# run_standin <dll file> <export> <command text, UTF-8> [standin_run options...]
# The text reaches the DLL as Shift-JIS; the run's output lands in $work/run.log and its
# result code in $result.
run_standin() {
    local dll=$1 export=$2 text=$3
    shift 3
    printf '%s' "$text" | iconv -f UTF-8 -t CP932 > "$work/command.txt"
    "$wine_run" "$runner" "$@" "$(win "$standins/$dll")" "$export" "$(win "$work/command.txt")" \
        > "$work/run.log" 2>&1
    result=$?
    return $result
}

# The extraction command text Zibrak sends each DLL: archive, then destination folder.
extract_text() {  # <dll file> <archive (Linux path)> <destination (Linux path)>
    local a d
    a=$(win "$2")
    d=$(win "$3")
    case $1 in
    Unlha32.dll) printf 'e -c1 -a1 -x1 -jyc  "%s" "%s\\"' "$a" "$d" ;;
    Unarj32j.dll) printf 'x -jyc -p "%s" "%s\\"' "$a" "$d" ;;
    Tar32.dll) printf 'xvf "%s" "%s\\"' "$a" "$d" ;;
    *) printf -- '-x "%s" "%s\\"' "$a" "$d" ;;
    esac
}
export_of() {
    case $1 in
    Unlha32.dll) echo Unlha ;; UnZip32.dll) echo UnZip ;; Cab32.dll) echo Cab ;;
    Unrar32.dll) echo Unrar ;; Unarj32j.dll) echo Unarj ;; Tar32.dll) echo Tar ;;
    esac
}
# extract <dll file> <archive> <destination> [standin_run options...]
extract() {
    local dll=$1 archive=$2 dest=$3
    shift 3
    run_standin "$dll" "$(export_of "$dll")" "$(extract_text "$dll" "$archive" "$dest")" "$@"
}

# One line per file (name and checksum) and, with "dirs", per empty folder; names read as
# UTF-8, or as Shift-JIS when they are not UTF-8 (tools that write the stored bytes
# unchanged). Links are left out: the stand-ins make none.
manifest() {  # <folder> [dirs]
    local with_dirs=${2:-}
    (cd "$1" && find . -mindepth 1 \( -type f -o -type d -empty \) -print0 |
        while IFS= read -r -d '' p; do
            n=${p#./}
            u=$(printf '%s' "$n" | iconv -f UTF-8 -t UTF-8 2>/dev/null) ||
                u=$(printf '%s' "$n" | iconv -f CP932 -t UTF-8)
            if [ -d "$p" ]; then
                [ -n "$with_dirs" ] && echo "D $u/"
            else
                echo "F $u $(md5sum < "$p" | cut -c1-32)"
            fi
        done) | LC_ALL=C sort
}

same_tree() {  # <label> <expected manifest file> <folder> [dirs]
    if diff -u "$2" <(manifest "$3" "${4:-}") > "$work/diff.txt"; then
        pass "$1"
    else
        fail "$1"; cat "$work/diff.txt" "$work/run.log"
    fi
}

# check <label> <dll> <archive> <expected manifest> [dirs] [-- standin_run options...]
# Extracts archive into a folder of its own and compares the tree; n counts the archives.
n=0
check() {
    local label=$1 dll=$2 archive=$3 expected=$4 dirs=
    shift 4
    if [ "${1:-}" = dirs ]; then dirs=dirs; shift; fi
    if [ "${1:-}" = -- ]; then shift; fi
    n=$((n + 1))
    local dest=$work/x$n
    if [ ! -s "$archive" ]; then
        fail "$label: the tool wrote no archive"
        return
    fi
    if ! extract "$dll" "$archive" "$dest" --dialogs "$work/dialogs$n.txt" "$@"; then
        fail "$label: $dll returned $result: $(cat "$work/run.log")"
        return
    fi
    # The password dialog is expected where a password is given; a failure box never.
    if grep -q "^$dll	" "$work/dialogs$n.txt" 2>/dev/null; then
        fail "$label: a failure box was shown: $(iconv -f CP932 -t UTF-8 "$work/dialogs$n.txt")"
    fi
    same_tree "$label" "$expected" "$dest" "$dirs"
}

# refused <label> <dll> <archive> <words the box must hold> [-- standin_run options...]
# The DLL fails with a non-zero result and its own box, which names the archive and says
# why; nothing is left in the destination but what the box does not refuse.
refused() {
    local label=$1 dll=$2 archive=$3 words=$4 box
    shift 4
    if [ "${1:-}" = -- ]; then shift; fi
    n=$((n + 1))
    local dest=$work/x$n log=$work/dialogs$n.txt
    extract "$dll" "$archive" "$dest" --dialogs "$log" "$@"
    box=$(iconv -f CP932 -t UTF-8 "$log" 2>/dev/null | grep -F "$dll	")
    if [ "$result" -eq 0 ] || [ "$result" -eq 100 ]; then
        fail "$label: result $result: $(cat "$work/run.log")"
    elif ! printf '%s' "$box" | grep -qF "$(basename "$archive")" ||
         ! printf '%s' "$box" | grep -qF "$words"; then
        fail "$label: no box of $dll naming $(basename "$archive") with \"$words\": $box"
    elif find "$dest" -name '*.~zb*' 2>/dev/null | grep -q .; then
        fail "$label: a temporary file was left"
    else
        pass "$label"
    fi
}

# Decodes one of libarchive's uuencoded test samples (no uudecode on a plain system).
uudecode_to() {  # <.uu file> <output>
    python3 - "$1" "$2" <<'PY'
import binascii, sys
out = bytearray()
started = False
for line in open(sys.argv[1], "rb").read().splitlines():
    if not started:
        started = line.startswith(b"begin ")
        continue
    if line.strip() == b"end":
        break
    if not line.strip():
        continue
    length = ((line[0] - 32) & 63)
    out += binascii.a2b_uu(line[: 1 + (length + 2) // 3 * 4])
open(sys.argv[2], "wb").write(out)
PY
}
