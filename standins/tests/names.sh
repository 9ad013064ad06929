#!/usr/bin/env bash
# Names through the stand-ins under Wine, in archives the Linux tools (and Python, for the
# crafted ones) make: names beyond the code page, a Mac's decomposed names, names Windows
# cannot hold, entries that land on one path, an existing file, a link already in the
# destination, a hard link. Each case checks the names on the disk (Wine keeps them in
# UTF-8 on the Linux side), the contents, the DLL's box (read wide) and the result code.
#   names.sh <repository root> <stand-in DLL folder> <standin_run.exe>
set -u
root=$1
standins=$2
runner=$3
work=$(mktemp -d /tmp/standin-names.XXXXXX)
trap 'rm -rf "$work"' EXIT
source "$root/standins/tests/script_lib.sh"

a=$work/archives
mkdir -p "$a"
n=0

# Every file below a folder as "name=content", sorted, one line each.
tree_of() {
    (cd "$1" && find . -mindepth 1 -type f -printf '%P\n' | LC_ALL=C sort |
        while IFS= read -r f; do printf '%s=%s\n' "$f" "$(cat "$f")"; done)
}

# run_case <label> <dll> <archive> <expected tree> <expected code> [box words...]
# Extracts into a fresh folder; the box (read wide) must hold every word given, and a case
# that gives none must show no box at all.
run_case() {
    local label=$1 dll=$2 archive=$3 expected=$4 code=$5
    shift 5
    n=$((n + 1))
    local dest=$work/x$n
    extract "$dll" "$archive" "$dest" --utf8-dialogs "$work/box$n.txt"
    check_run "$label" "$dest" "$expected" "$code" "$work/box$n.txt" "$@"
}

check_run() {  # <label> <dest> <expected tree> <expected code> <box log> [box words...]
    local label=$1 dest=$2 expected=$3 code=$4 box=$5 word ok=1
    shift 5
    local got
    got=$(tree_of "$dest")
    if [ "$got" != "$expected" ]; then
        fail "$label: tree"; diff <(echo "$expected") <(echo "$got"); ok=0
    fi
    # A process's exit code keeps the result's low byte.
    if [ "$result" != $((code & 255)) ]; then fail "$label: result $result, not $code"; ok=0; fi
    if [ $# -eq 0 ] && [ -s "$box" ]; then fail "$label: a box: $(cat "$box")"; ok=0; fi
    for word in "$@"; do
        if ! grep -qF -- "$word" "$box" 2>/dev/null; then
            fail "$label: the box lacks '$word': $(cat "$box" 2>/dev/null)"; ok=0
        fi
    done
    [ $ok = 1 ] && pass "$label"
}

# Names beyond code page 932 and of Latin-1 letters alone, as the tools store them.
u=$work/u
mkdir -p "$u/ü" "$u/データ"
printf 1 > "$u/한국어.txt"
printf 2 > "$u/emoji😀.txt"
printf 3 > "$u/〜波.txt"
printf 4 > "$u/们.txt"
printf 5 > "$u/résumé.txt"
printf 6 > "$u/Straße.txt"
printf 7 > "$u/ü/x.txt"
printf 8 > "$u/データ/ガイドブック.txt"
expected=$(tree_of "$u")

(cd "$u" && LANG=C.UTF-8 zip -qr "$a/infozip.zip" .)
run_case "Info-ZIP, UTF-8 bytes unflagged" UnZip32.dll "$a/infozip.zip" "$expected" 0
(cd "$u" && 7zz a -bd -tzip "$a/7zz.zip" . > /dev/null)
run_case "7zz ZIP, UTF-8 flagged" UnZip32.dll "$a/7zz.zip" "$expected" 0
(cd "$u" && tar cf "$a/gnu.tar" .)
run_case "GNU tar, bytes" Tar32.dll "$a/gnu.tar" "$expected" 0
(cd "$u" && tar --format=posix -cf "$a/pax.tar" .)
run_case "GNU tar, pax" Tar32.dll "$a/pax.tar" "$expected" 0
(cd "$u" && LANG=C.UTF-8 bsdtar cf "$a/bsdtar.tar" .)
run_case "bsdtar, pax" Tar32.dll "$a/bsdtar.tar" "$expected" 0
(cd "$u" && LANG=C bsdtar --format=ustar -cf "$a/ustar.tar" .)
run_case "bsdtar, ustar" Tar32.dll "$a/ustar.tar" "$expected" 0
(cd "$u" && find . -type f -printf '%P\0' | xargs -0 gcab -c "$a/gcab.cab")
run_case "gcab, _A_NAME_IS_UTF" Cab32.dll "$a/gcab.cab" "$expected" 0
(cd "$u" && LANG=C.UTF-8 arj a -r -y "$a/names.arj" '*' > /dev/null)
run_case "arj, UTF-8 bytes" Unarj32j.dll "$a/names.arj" "$expected" 0

# A Mac's "Compress": UTF-8 names decomposed, with no flag; and the Unicode Path field
# 0x7075 over a Shift-JIS name that cannot say 한국.
python3 - "$a" <<'PY'
import struct, sys, unicodedata, zipfile, zlib
out = sys.argv[1]

def unflag(path):
    data = bytearray(open(path, "rb").read())
    for sig, at in ((b"PK\x03\x04", 6), (b"PK\x01\x02", 8)):
        i = data.find(sig)
        while i >= 0:
            flags = struct.unpack_from("<H", data, i + at)[0]
            struct.pack_into("<H", data, i + at, flags & ~0x0800)
            i = data.find(sig, i + 4)
    open(path, "wb").write(data)

with zipfile.ZipFile(out + "/mac.zip", "w") as z:
    z.writestr(unicodedata.normalize("NFD", "データ/ガイドブック.txt"), "8")
    z.writestr(unicodedata.normalize("NFD", "résumé.txt"), "5")
unflag(out + "/mac.zip")

def upath(raw, real):
    field = b"\x01" + struct.pack("<I", zlib.crc32(raw)) + real.encode()
    return struct.pack("<HH", 0x7075, len(field)) + field

def stored_zip(path, entries):
    # Written by hand: Python's zipfile would flag a name it cannot keep in CP437.
    local, central = b"", b""
    for raw, extra, data in entries:
        crc = zlib.crc32(data)
        head = struct.pack("<HHHHHIII", 20, 0, 0, 0, 0x21, crc, len(data), len(data))
        central += (b"PK\x01\x02" + struct.pack("<H", 20) + head +
                    struct.pack("<HHHHHII", len(raw), len(extra), 0, 0, 0, 0, len(local)) +
                    raw + extra)
        local += b"PK\x03\x04" + head + struct.pack("<HH", len(raw), len(extra)) + raw + extra + data
    end = struct.pack("<4sHHHHIIH", b"PK\x05\x06", 0, 0, len(entries), len(entries),
                      len(central), len(local), 0)
    open(path, "wb").write(local + central + end)

# The field's CRC is over the stored bytes; a field whose CRC does not match is stale.
kor = "表_.txt".encode("cp932")
stored_zip(out + "/upath.zip", [(kor, upath(kor, "한국.txt"), b"k"),
                                (b"caf\x82.txt", upath(b"caf\x82.txt", "café.txt"), b"c"),
                                (b"old.txt", upath(b"other", "stale.txt"), b"o")])
PY
run_case "macOS ZIP, NFD unflagged" UnZip32.dll "$a/mac.zip" \
    "$(printf 'résumé.txt=5\nデータ/ガイドブック.txt=8')" 0
run_case "ZIP, Unicode Path field 0x7075" UnZip32.dll "$a/upath.zip" \
    "$(printf 'café.txt=c\nold.txt=o\n한국.txt=k')" 0

# Names Windows cannot hold are mapped and listed; the result stays 0: every file came out.
python3 - "$a" <<'PY'
import sys, tarfile, io
def add(t, name, data):
    info = tarfile.TarInfo(name); info.size = len(data); t.addfile(info, io.BytesIO(data))
with tarfile.open(sys.argv[1] + "/mapped.tar", "w", format=tarfile.GNU_FORMAT) as t:
    add(t, 'a<b>c:d"e|f?g*h.txt', b"m")
    add(t, "CON.txt", b"d")
    add(t, "sub/trail. .", b"t")
    add(t, "README.txt", b"1")
    add(t, "Readme.txt", b"2")
    add(t, "name.", b"3")
    add(t, "name ", b"4")
    add(t, "same.txt", b"old")
    add(t, "same.txt", b"new")  # appended to: the later copy replaces the earlier
    add(t, "../up.txt", b"x")
PY
run_case "mapped names and collisions" Tar32.dll "$a/mapped.tar" \
    "$(printf '%s\n' 'README.txt=1' 'Readme (2).txt=2' '_CON.txt=d' \
        'a_b_c_d_e_f_g_h.txt=m' 'name=3' 'name (2)=4' 'same.txt=new' 'sub/trail=t')" 32787 \
    'a<b>c:d"e|f?g*h.txt → a_b_c_d_e_f_g_h.txt' 'Readme.txt → Readme (2).txt' \
    'CON.txt → _CON.txt' 'name  → name (2)' '../up.txt'

# A hard link to a name beyond the code page gets its target's data.
mkdir -p "$work/h"
printf 'linked' > "$work/h/한.txt"
ln "$work/h/한.txt" "$work/h/copy.txt"
(cd "$work/h" && tar cf "$a/hard.tar" 한.txt copy.txt)
run_case "hard link to 한.txt" Tar32.dll "$a/hard.tar" "$(printf 'copy.txt=linked\n한.txt=linked')" 0

# A path past 260 characters.
deep=$(printf 'folder-%02d/' $(seq 1 30))
mkdir -p "$work/deep/$deep"
printf long > "$work/deep/${deep}file.txt"
(cd "$work/deep" && tar cf "$a/deep.tar" .)
run_case "a path of $(( ${#deep} + 60 )) characters" Tar32.dll "$a/deep.tar" "${deep}file.txt=long" 0

# A link already in the destination is never followed: the entry below it is refused.
mkdir -p "$work/elsewhere" "$work/linked"
ln -s "$work/elsewhere" "$work/linked/link"
python3 - "$a" <<'PY'
import sys, tarfile, io
with tarfile.open(sys.argv[1] + "/through.tar", "w") as t:
    for name, data in (("link/evil.txt", b"evil"), ("fine.txt", b"fine")):
        info = tarfile.TarInfo(name); info.size = len(data); t.addfile(info, io.BytesIO(data))
PY
extract Tar32.dll "$a/through.tar" "$work/linked" --utf8-dialogs "$work/box-link.txt"
n=$((n + 1))
if [ -n "$(ls -A "$work/elsewhere")" ]; then fail "a link in the destination was followed"; fi
check_run "a symbolic link already in the destination" "$work/linked" "fine.txt=fine" 32787 \
    "$work/box-link.txt" "link/evil.txt"

# An existing file: the question, answered skip, overwrite, all, and Cancel.
mkdir -p "$work/e"
printf new > "$work/e/a.txt"
printf new > "$work/e/b.txt"
(cd "$work/e" && tar cf "$a/exist.tar" a.txt b.txt)
answer() {  # <label> <button> <expected tree> <code>
    local dest=$work/ex-$2
    mkdir -p "$dest"
    printf old > "$dest/a.txt"
    printf old > "$dest/b.txt"
    extract Tar32.dll "$a/exist.tar" "$dest" --overwrite "$2" --utf8-dialogs "$work/q-$2.txt"
    local asked
    asked=$(grep -c '上書き' "$work/q-$2.txt")
    check_run "$1" "$dest" "$3" "$4" /dev/null
    [ "$asked" = "$5" ] || fail "$1: asked $asked times, not $5"
}
answer "existing files, skip" 120 "$(printf 'a.txt=old\nb.txt=old')" 0 2
answer "existing files, overwrite" 1 "$(printf 'a.txt=new\nb.txt=new')" 0 2
answer "existing files, overwrite all" 121 "$(printf 'a.txt=new\nb.txt=new')" 0 1
answer "existing files, skip all" 122 "$(printf 'a.txt=old\nb.txt=old')" 0 1
answer "existing files, cancel" 2 "$(printf 'a.txt=old\nb.txt=old')" 32800 1

echo "$n cases, $failures failure(s)"
[ "$failures" -eq 0 ]
