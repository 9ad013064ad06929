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

# LZH through Unlha32.dll, read by lhasa (by its own name: "lha" may be jlha-utils) and
# by jlha. Each round: the archive's name, Unlha32's switch, the method of the packed text.
# The random file is stored in every round: packing would make it larger.
for round in "lh0|-jm0|-lh0-" "lh5|-jm2|-lh5-" "lh7|-jm4|-lh7-"; do
    IFS='|' read -r name switch method <<< "$round"
    lzh=$work/out/$name.lzh
    run Unlha32.dll Unlha "a -x1 -r2 -a1 $switch \"$W\\out\\$name.lzh\" $files" ||
        fail "Unlha32 a $switch: $(cat "$work/run.log")"
    if lhasa t "$lzh" > "$work/lha.log" 2>&1; then pass "lha t ($name)"; else fail "lha t ($name)"; cat "$work/lha.log"; fi
    methods="$(lhasa v "$lzh" | grep -a lines.txt | grep -ao -- '-lh.-') $(lhasa v "$lzh" | grep -a random.bin | grep -ao -- '-lh.-')"
    if [ "$methods" = "$method -lh0-" ]; then pass "$name: text $method, random data -lh0-"; else fail "$name methods: $methods"; lhasa v "$lzh"; fi
    mkdir -p "$work/x-$name" && (cd "$work/x-$name" && lhasa xq "$lzh")
    same_tree "lhasa extracts $name" "$work/expected.txt" "$work/x-$name"
    # jlha's "y" reads the names as Shift-JIS and writes them in UTF-8.
    mkdir -p "$work/j-$name" && (cd "$work/j-$name" && jlha xqy "$lzh" > "$work/jlha.log" 2>&1)
    same_tree "jlha extracts $name" "$work/expected.txt" "$work/j-$name"
    # The self-extracting program ("s -gw3", as Zibrak asks) carries the archive and
    # extracts it with the stub's own reader.
    run Unlha32.dll Unlha "s -gw3 \"$W\\out\\$name.lzh\" \"$W\\out\\\"" ||
        fail "Unlha32 s ($name): $(cat "$work/run.log")"
    "$wine_run" "$work/out/$name.exe" "$(win "$work/s-$name")" > "$work/sfx.log" 2>&1 ||
        fail "$name.exe: $(cat "$work/sfx.log")"
    same_tree "the program of $name extracts its tree" "$work/expected.txt" "$work/s-$name"
done

# unzip maps the names of an archive made on MS-DOS through an OEM table, so trees are
# unpacked with Python's zipfile, reading the names as the Shift-JIS bytes they are.
# unpack_zip <archive> <folder> [password]
unpack_zip() {
    python3 - "$@" <<'PY'
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    if len(sys.argv) > 3:
        z.setpassword(sys.argv[3].encode())
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
}

# ZIP through Zip32j.dll, read by unzip: deflated where that pays, stored where it does not.
run Zip32j.dll Zip "-r -S \"$W\\out\\t.zip\" $files" || fail "Zip32j: $(cat "$work/run.log")"
if unzip -tq "$work/out/t.zip" > "$work/unzip.log" 2>&1; then pass "unzip -t"; else fail "unzip -t"; cat "$work/unzip.log"; fi
method_of() { unzip -v "$work/out/t.zip" | grep -a "$1" | awk '{print $2}'; }
if [ "$(method_of lines.txt)" = Defl:N ]; then pass "the text is deflated"; else fail "the text: $(method_of lines.txt)"; fi
if [ "$(method_of random.bin)" = Stored ]; then pass "random data is stored"; else fail "random data: $(method_of random.bin)"; fi
unpack_zip "$work/out/t.zip" "$work/x-zip"
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
unpack_zip "$work/out/crypt.zip" "$work/x-crypt" secret
same_tree "the encrypted ZIP holds the tree" "$work/expected.txt" "$work/x-crypt"

# CAB through Cab32.dll, stored, MSZIP and LZX, read by cabextract and 7-Zip (a cabinet
# keeps no empty folders).
# Each round: the cabinet's name, the method 7-Zip names for its folder, Cab32's switch.
for round in "stored||" "mszip|MSZip|-mz" "lzx|LZX:21|-ml21"; do
    IFS='|' read -r label shown switch <<< "$round"
    cab="$work/out/t-$label.cab"
    run Cab32.dll Cab "-a -r $switch \"$W\\out\\t-$label.cab\" $files" ||
        fail "Cab32 -a $switch: $(cat "$work/run.log")"
    if cabextract -q -t "$cab" > "$work/cab.log" 2>&1; then pass "cabextract -t ($label)"; else fail "cabextract -t ($label)"; cat "$work/cab.log"; fi
    if [ -n "$shown" ]; then
        methods=$(7zz l -slt "$cab" | awk -F' = ' '/^Method = / {print $2}' | sort -u | tr '\n' ' ')
        if [ "$methods" = "$shown " ]; then pass "7zz shows $shown"; else fail "7zz shows '$methods' for $label"; fi
    fi
    cabextract -q -e CP932 -d "$work/x-cab-$label" "$cab" > /dev/null 2>&1
    same_tree "cabextract extracts the $label CAB" "$work/expected-files.txt" "$work/x-cab-$label"
done
stored=$(stat -c %s "$work/out/t-stored.cab")
for label in mszip lzx; do
    size=$(stat -c %s "$work/out/t-$label.cab")
    if [ "$size" -lt $((stored * 2 / 3)) ]; then pass "$label compresses ($size of $stored bytes)"; else fail "$label: $size of $stored bytes"; fi
done

# TAR.GZ and TAR.BZ2 through Tar32.dll, read by gzip, bzip2 and tar.
run Tar32.dll Tar "cvfz \"$W\\out\\t.tar.gz\" $files" || fail "Tar32 cvfz: $(cat "$work/run.log")"
if gzip -t "$work/out/t.tar.gz" && tar tzf "$work/out/t.tar.gz" > /dev/null 2>&1; then pass "gzip -t, tar tzf"; else fail "gzip -t, tar tzf"; fi
mkdir -p "$work/x-tgz" && tar xzf "$work/out/t.tar.gz" -C "$work/x-tgz"
same_tree "tar extracts the TAR.GZ" "$work/expected.txt" "$work/x-tgz"

run Tar32.dll Tar "cvfzB \"$W\\out\\t.bz2\" $files" || fail "Tar32 cvfzB: $(cat "$work/run.log")"
if bzip2 -tq "$work/out/t.bz2" && tar tjf "$work/out/t.bz2" > /dev/null 2>&1; then pass "bzip2 -t, tar tjf"; else fail "bzip2 -t, tar tjf"; fi
# Level 9: the block-size digit of the bzip2 header.
if [ "$(head -c 4 "$work/out/t.bz2")" = BZh9 ]; then pass "bzip2 level 9"; else fail "bzip2 header $(head -c 4 "$work/out/t.bz2" | od -c)"; fi
mkdir -p "$work/x-tbz" && tar xjf "$work/out/t.bz2" -C "$work/x-tbz"
same_tree "tar extracts the TAR.BZ2" "$work/expected.txt" "$work/x-tbz"

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

# A single gzip-compressed file is named by the archive without ".gz", as gzip -d names it,
# whatever its header says; by its header only when the archive's name has no such suffix.
gzip -c "$src/top.txt" > "$work/out/renamed.txt.gz"   # header names top.txt
gzip -nc "$src/表/sub/lines.txt" > "$work/out/plain.txt.gz"
gzip -c "$src/top.txt" > "$work/out/download"         # no suffix: the header's top.txt
for g in renamed.txt.gz plain.txt.gz download; do
    run Tar32.dll Tar "xvf \"$W\\out\\$g\" \"$W\\y-gz\\\"" || fail "Tar32 xvf $g: $(cat "$work/run.log")"
done
if cmp -s "$src/top.txt" "$work/y-gz/renamed.txt" && cmp -s "$src/表/sub/lines.txt" "$work/y-gz/plain.txt" &&
   cmp -s "$src/top.txt" "$work/y-gz/top.txt" && [ "$(ls "$work/y-gz" | wc -l)" -eq 3 ]; then
    pass "Tar32 extracts single gzip files under the archive's name"
else
    fail "Tar32 extracts single gzip files under the archive's name"; ls -l "$work/y-gz"
fi

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
