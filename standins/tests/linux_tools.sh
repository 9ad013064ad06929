#!/usr/bin/env bash
# The stand-ins' archives checked by the Linux tools (unzip, tar, lhasa, cabextract), and
# archives made by Linux tools extracted by the stand-ins. Names with Shift-JIS trail bytes
# 0x5C ("表", "ソ") are part of every round.
#   linux_tools.sh <repository root> <stand-in DLL folder> <standin_run.exe>
set -u
root=$1
standins=$2
runner=$3
wine_run="$root/tools/wine-run.sh"

work=$(mktemp -d /tmp/standin-linux.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

# Wine sees the whole Linux tree as drive Z:.
win() { local p=$1; printf 'Z:%s' "${p//\//\\}"; }

# run <dll file> <export> <command text, UTF-8>: the text reaches the DLL as Shift-JIS.
run() {
    printf '%s' "$3" | iconv -f UTF-8 -t CP932 > "$work/command.txt"
    "$wine_run" "$runner" "$(win "$standins/$1")" "$2" "$(win "$work/command.txt")" > "$work/run.log" 2>&1
}

# One line per file (name and checksum) and per empty folder; names read as UTF-8, or as
# Shift-JIS when they are not UTF-8 (tools that write the stored bytes unchanged).
manifest() {
    (cd "$1" && find . -mindepth 1 \( -type f -o -type d -empty \) -print0 |
        while IFS= read -r -d '' p; do
            n=${p#./}
            u=$(printf '%s' "$n" | iconv -f UTF-8 -t UTF-8 2>/dev/null) ||
                u=$(printf '%s' "$n" | iconv -f CP932 -t UTF-8)
            if [ -d "$p" ]; then echo "D $u/"; else echo "F $u $(md5sum < "$p" | cut -c1-32)"; fi
        done) | LC_ALL=C sort
}

same_tree() {  # <label> <expected manifest file> <folder>
    if diff -u "$2" <(manifest "$3") > "$work/diff.txt"; then
        pass "$1"
    else
        fail "$1"; cat "$work/diff.txt"
    fi
}

src=$work/src
mkdir -p "$src/表/sub" "$src/表/empty" "$work/out"
printf 'top file\r\n' > "$src/top.txt"
printf 'ソース\n' | iconv -f UTF-8 -t CP932 > "$src/表/ソース.txt"
head -c 20000 /dev/urandom > "$src/表/sub/random.bin"
yes 'compressible line' | head -n 2000 > "$src/表/sub/lines.txt"
manifest "$src" > "$work/expected.txt"
grep -v '^D ' "$work/expected.txt" > "$work/expected-files.txt"

W=$(win "$work")
files="\"$W\\src\\\" \"top.txt\" \"表\\*.*\" "

# LZH through Unlha32.dll, read by lhasa (by its own name: "lha" may be jlha-utils).
run Unlha32.dll Unlha "a -x1 -r2 -a1 -jm2 \"$W\\out\\t.lzh\" $files" || fail "Unlha32 a: $(cat "$work/run.log")"
if lhasa t "$work/out/t.lzh" > "$work/lha.log" 2>&1; then pass "lha t"; else fail "lha t"; cat "$work/lha.log"; fi
mkdir -p "$work/x-lzh" && (cd "$work/x-lzh" && lhasa xq "$work/out/t.lzh")
same_tree "lhasa extracts the LZH" "$work/expected.txt" "$work/x-lzh"

# ZIP through Zip32j.dll, read by unzip.
run Zip32j.dll Zip "-r -S \"$W\\out\\t.zip\" $files" || fail "Zip32j: $(cat "$work/run.log")"
if unzip -tq "$work/out/t.zip" > "$work/unzip.log" 2>&1; then pass "unzip -t"; else fail "unzip -t"; cat "$work/unzip.log"; fi
# unzip maps the names of an archive made on MS-DOS through an OEM table, so the tree is
# unpacked with Python's zipfile, reading the names as the Shift-JIS bytes they are.
python3 - "$work/out/t.zip" "$work/x-zip" <<'PY'
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    for info in z.infolist():
        name = info.filename.encode("cp437").decode("cp932")
        target = os.path.join(sys.argv[2], name)
        if name.endswith("/"):
            os.makedirs(target, exist_ok=True)
            continue
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as out:
            out.write(z.read(info))
PY
same_tree "the ZIP holds the tree" "$work/expected.txt" "$work/x-zip"

# Encrypted ZIP: the password comes from ARCHIVER_PASSWORD.
ARCHIVER_PASSWORD=secret run Zip32j.dll Zip "-e -r -S \"$W\\out\\crypt.zip\" $files" ||
    fail "Zip32j -e: $(cat "$work/run.log")"
if unzip -tq -P secret "$work/out/crypt.zip" > "$work/unzip.log" 2>&1; then
    pass "unzip -t -P secret"
else
    fail "unzip -t -P secret"; cat "$work/unzip.log"
fi
if unzip -tq -P wrong "$work/out/crypt.zip" > /dev/null 2>&1; then fail "wrong password accepted"; else pass "wrong password refused"; fi

# CAB through Cab32.dll, read by cabextract (a cabinet keeps no empty folders).
run Cab32.dll Cab "-a -r -mz \"$W\\out\\t.cab\" $files" || fail "Cab32 -a: $(cat "$work/run.log")"
if cabextract -q -t "$work/out/t.cab" > "$work/cab.log" 2>&1; then pass "cabextract -t"; else fail "cabextract -t"; cat "$work/cab.log"; fi
cabextract -q -e CP932 -d "$work/x-cab" "$work/out/t.cab" > /dev/null 2>&1
same_tree "cabextract extracts the CAB" "$work/expected-files.txt" "$work/x-cab"

# TAR.GZ through Tar32.dll, read by tar.
run Tar32.dll Tar "cvfz \"$W\\out\\t.tar.gz\" $files" || fail "Tar32 cvfz: $(cat "$work/run.log")"
if tar tzf "$work/out/t.tar.gz" > /dev/null 2>&1; then pass "tar tzf"; else fail "tar tzf"; fi
mkdir -p "$work/x-tgz" && tar xzf "$work/out/t.tar.gz" -C "$work/x-tgz"
same_tree "tar extracts the TAR.GZ" "$work/expected.txt" "$work/x-tgz"

# The other way: archives of the Linux tools extracted by the stand-ins. The tools store
# the names' bytes as they are, so the Linux tree gets Shift-JIS names.
sj() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }
lsrc=$work/linux-src
mkdir -p "$lsrc/$(sj 表)/sub" "$lsrc/$(sj 表)/empty"
cp "$src/top.txt" "$lsrc/"
cp "$src/表/ソース.txt" "$lsrc/$(sj 表)/$(sj ソース).txt"
cp "$src/表/sub/"* "$lsrc/$(sj 表)/sub/"
(cd "$lsrc" && tar czf "$work/out/linux.tgz" .)
run Tar32.dll Tar "xvf \"$W\\out\\linux.tgz\" \"$W\\y-tgz\\\"" || fail "Tar32 xvf: $(cat "$work/run.log")"
same_tree "Tar32 extracts a tar.gz of GNU tar" "$work/expected.txt" "$work/y-tgz"

(cd "$src" && zip -qr -X "$work/out/linux.zip" top.txt 表/sub)
grep -E '^F (top.txt|表/sub/)' "$work/expected.txt" > "$work/expected-linux-zip.txt"
run UnZip32.dll UnZip "-x \"$W\\out\\linux.zip\" \"$W\\y-zip\\\"" || fail "UnZip32 -x: $(cat "$work/run.log")"
# Info-ZIP stores these names as UTF-8 bytes; compare only what is ASCII.
grep -v '表' "$work/expected-linux-zip.txt" > "$work/expected-linux-zip-ascii.txt"
manifest "$work/y-zip" | grep -v '^D ' | grep -E '^F top.txt' > "$work/y-zip.txt"
if diff -u "$work/expected-linux-zip-ascii.txt" "$work/y-zip.txt"; then pass "UnZip32 extracts a zip of Info-ZIP"; else fail "UnZip32 extracts a zip of Info-ZIP"; fi
if [ "$(find "$work/y-zip" -name random.bin -exec md5sum {} + | cut -c1-32)" = "$(md5sum < "$src/表/sub/random.bin" | cut -c1-32)" ]; then
    pass "deflated entry of Info-ZIP"
else
    fail "deflated entry of Info-ZIP"
fi

# A single gzip-compressed file: named by its header, or by the archive without ".gz".
gzip -c "$src/top.txt" > "$work/out/renamed.gz"   # header names top.txt
gzip -nc "$src/表/sub/lines.txt" > "$work/out/plain.txt.gz"
run Tar32.dll Tar "xvf \"$W\\out\\renamed.gz\" \"$W\\y-gz\\\"" || fail "Tar32 xvf renamed.gz: $(cat "$work/run.log")"
run Tar32.dll Tar "xvf \"$W\\out\\plain.txt.gz\" \"$W\\y-gz\\\"" || fail "Tar32 xvf plain.txt.gz: $(cat "$work/run.log")"
if cmp -s "$src/top.txt" "$work/y-gz/top.txt" && cmp -s "$src/表/sub/lines.txt" "$work/y-gz/plain.txt"; then
    pass "Tar32 extracts single gzip files"
else
    fail "Tar32 extracts single gzip files"; ls -l "$work/y-gz"
fi

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
