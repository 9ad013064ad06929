#!/usr/bin/env bash
# Zibrak.exe under Wine with the stand-ins beside it, once per compression label but the LZH
# ones (chosen in Zibrak.ini as the settings window would), on a file and a folder with
# Shift-JIS names; each archive is read by the matching Linux tool and compared byte for
# byte with the source tree.
#   compression_labels.sh <repository root> <Zibrak.exe> <stand-in DLL folder>
set -u
root=$1
exe=$2
standins=$3
wine_run="$root/tools/wine-run.sh"
prefix=${ZIBRAK_WINEPREFIX:-$root/build/wine}
ini="$prefix/drive_c/windows/Zibrak.ini"

work=$(mktemp -d /tmp/zibrak-labels.XXXXXX)
saved=
if [ -f "$ini" ]; then saved=$work/saved.ini; cp "$ini" "$saved"; fi
restore() {
    if [ -n "$saved" ]; then cp "$saved" "$ini"; else rm -f "$ini"; fi
    rm -rf "$work"
}
trap restore EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
win() { local p=$1; printf 'Z:%s' "${p//\//\\}"; }

mkdir -p "$work/install"
cp "$exe" "$work/install/Zibrak.exe"
for dll in Unlha32 UnZip32 Zip32j Cab32 Unrar32 Unarj32j Tar32 Zcrypt32; do
    cp "$standins/$dll.dll" "$work/install/"
done

# The tree: UTF-8 names on the Linux side, which Wine shows to Zibrak as "表" and "ソース"
# (Shift-JIS, both ending in 0x5C).
src=$work/src
mkdir -p "$src/表/sub" "$src/表/empty"
printf 'top file\r\n' > "$src/top.txt"
yes 'a line that compresses' | head -n 3000 > "$src/表/ソース.txt"
head -c 30000 /dev/urandom > "$src/表/sub/random.bin"

# One line per file (name, checksum) and per empty folder, names shown as UTF-8.
manifest() {
    (cd "$1" && find . -mindepth 1 \( -type f -o -type d -empty \) -print0 |
        while IFS= read -r -d '' p; do
            # UTF-8 as cabextract -e writes them, else the Shift-JIS bytes tar and zip keep.
            n=$(printf '%s' "${p#./}" | iconv -f UTF-8 -t UTF-8 2>/dev/null) ||
                n=$(printf '%s' "${p#./}" | iconv -f CP932 -t UTF-8)
            if [ -d "$p" ]; then echo "D $n/"; else echo "F $n $(md5sum < "$p" | cut -c1-32)"; fi
        done) | LC_ALL=C sort
}
manifest "$src" > "$work/expected.txt"
grep -v '^D ' "$work/expected.txt" > "$work/expected-files.txt"

same_tree() {  # <label> <expected> <folder>
    if diff -u "$2" <(manifest "$3") > "$work/diff.txt"; then pass "$1"; else fail "$1"; cat "$work/diff.txt"; fi
}

# Each row: label, the settings that choose it, the archive's extension.
rows=(
    "ZIP_6|CompType=1|zip"
    "ZIP_Cr|CompType=1 ZipCrypt=1|zip"
    "MSZIP|CompType=2 CabType=1|cab"
    "LZX_21|CompType=2 CabType=0|cab"
    "GZIP_6|CompType=3|tar.gz"
    "BZIP2_9|CompType=4|bz2"
)
for row in "${rows[@]}"; do
    IFS='|' read -r label settings ext <<< "$row"
    archive=$src/top.$ext
    rm -f "$archive"
    {
        printf '[Option]\r\nCompDirType=1\r\nCompWarn=0\r\nCompOverWrite=1\r\nCompOpenDir=0\r\n'
        printf 'MeltOpenDir=0\r\nMakeSFX=0\r\n'
        for s in $settings; do printf '%s\r\n' "$s"; done
    } > "$ini"
    # The encrypted label's password comes from the script's way in, not the dialog.
    # A box nobody answers would hold the run: it is given a minute.
    ARCHIVER_PASSWORD=secret timeout 60 "$wine_run" "$work/install/Zibrak.exe" \
        "$(win "$src/top.txt")" "$(win "$src/表")" > "$work/run.log" 2>&1
    if [ ! -f "$archive" ]; then fail "$label: no archive top.$ext"; cat "$work/run.log"; continue; fi
    out=$work/x-$label
    mkdir -p "$out"
    case $label in
        ZIP_6|ZIP_Cr)
            password=; [ "$label" = ZIP_Cr ] && password=secret
            if unzip -tq ${password:+-P "$password"} "$archive" > "$work/tool.log" 2>&1; then pass "$label: unzip -t"; else fail "$label: unzip -t"; cat "$work/tool.log"; fi
            # unzip maps MS-DOS names through an OEM table: Python keeps the Shift-JIS bytes.
            python3 - "$archive" "$out" "$password" <<'PY'
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    if sys.argv[3]:
        z.setpassword(sys.argv[3].encode())
    for info in z.infolist():
        target = os.path.join(os.fsencode(sys.argv[2]), info.filename.encode("cp437"))
        if info.filename.endswith("/"):
            os.makedirs(target, exist_ok=True)
            continue
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(z.read(info))
PY
            same_tree "$label: the tree" "$work/expected.txt" "$out" ;;
        MSZIP|LZX_21)
            if cabextract -q -t "$archive" > "$work/tool.log" 2>&1; then pass "$label: cabextract -t"; else fail "$label: cabextract -t"; cat "$work/tool.log"; fi
            want=MSZip; [ "$label" = LZX_21 ] && want=LZX:21
            methods=$(7zz l -slt "$archive" | awk -F' = ' '/^Method = / {print $2}' | sort -u | tr '\n' ' ')
            if [ "$methods" = "$want " ]; then pass "$label: 7zz shows $want"; else fail "$label: 7zz shows '$methods'"; fi
            cabextract -q -e CP932 -d "$out" "$archive" > /dev/null 2>&1
            same_tree "$label: the tree" "$work/expected-files.txt" "$out" ;;
        GZIP_6)
            if tar tzf "$archive" > /dev/null 2>&1; then pass "$label: tar tzf"; else fail "$label: tar tzf"; fi
            tar xzf "$archive" -C "$out"
            same_tree "$label: the tree" "$work/expected.txt" "$out" ;;
        BZIP2_9)
            if bzip2 -tq "$archive" && tar tjf "$archive" > /dev/null 2>&1; then pass "$label: bzip2 -t, tar tjf"; else fail "$label: bzip2 -t, tar tjf"; fi
            tar xjf "$archive" -C "$out"
            same_tree "$label: the tree" "$work/expected.txt" "$out" ;;
    esac
done

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
