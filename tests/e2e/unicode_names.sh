#!/usr/bin/env bash
# Files whose names the code page cannot hold, packed through Zibrak.exe under Wine under every
# compression label, and read back under their exact names by programs that share no code
# with the stand-ins: bsdtar for every format, unzip and Python's zipfile for ZIP, cabextract
# for CAB, GNU tar for the tars. Names that fit (表示.txt) keep their Shift-JIS bytes; the
# others are stored the way each format records Unicode.
#   unicode_names.sh <repository root> <Zibrak.exe> <stand-in DLL folder> <standin_run.exe>
#                    [tools|own]
# "own" reads the same archives back through the stand-ins' own extraction instead.
set -u
root=$1
exe=$2
standins=$3
runner=$4
mode=${5:-tools}
wine_run="$root/tools/wine-run.sh"
prefix=${ZIBRAK_WINEPREFIX:-$root/build/wine}
ini="$prefix/drive_c/windows/Zibrak.ini"

work=$(mktemp -d /tmp/zibrak-unicode.XXXXXX)
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
export LC_ALL=C.UTF-8

mkdir -p "$work/install"
cp "$exe" "$work/install/Zibrak.exe"
for dll in Unlha32 UnZip32 Zip32j Cab32 Unrar32 Unarj32j Tar32 Zcrypt32; do
    cp "$standins/$dll.dll" "$work/install/"
done

# The tree, UTF-8 on the Linux side as Wine shows it in Unicode. 波〜 is U+301C, which
# Shift-JIS has only by best fit. Müller/up leads back to the folder itself (a loop, walked
# once); link-out leads outside it and is packed as a folder.
src=$work/src
tree=$src/names
mkdir -p "$tree/Müller" "$src/outside"
printf 'résumé\n' > "$tree/résumé.txt"
printf '한국어 텍스트\n' > "$tree/한국어.txt"
yes '波ダッシュ' | head -n 500 > "$tree/波〜ダッシュ.txt"
head -c 5000 /dev/urandom > "$tree/emoji😀.txt"
printf 'Straße\r\n' > "$tree/Müller/Straße.txt"
printf '表示\n' > "$tree/表示.txt"
printf 'plain\n' > "$tree/plain.txt"
printf 'outside\n' > "$src/outside/o.txt"
ln -s .. "$tree/Müller/up"
ln -s ../outside "$tree/link-out"

# "name md5" for every file the archive should hold, sorted.
expected=$work/expected.txt
for f in résumé.txt 한국어.txt 波〜ダッシュ.txt emoji😀.txt Müller/Straße.txt 表示.txt plain.txt; do
    echo "names/$f $(md5sum < "$tree/$f" | cut -c1-32)"
done > "$expected.tmp"
echo "names/link-out/o.txt $(md5sum < "$src/outside/o.txt" | cut -c1-32)" >> "$expected.tmp"
LC_ALL=C sort "$expected.tmp" > "$expected"
cut -d' ' -f1 "$expected" > "$work/expected-names.txt"

# The same lines for an extracted folder; a name that is not UTF-8 is read as Shift-JIS
# (GNU tar writes the stored bytes as they are).
manifest() {
    (cd "$1" && find . -type f -print0 |
        while IFS= read -r -d '' p; do
            n=$(printf '%s' "${p#./}" | iconv -f UTF-8 -t UTF-8 2>/dev/null) ||
                n=$(printf '%s' "${p#./}" | iconv -f CP932 -t UTF-8)
            echo "$n $(md5sum < "$p" | cut -c1-32)"
        done) | LC_ALL=C sort
}
same_lines() {  # <label> <expected file> <actual file>
    if diff -u "$2" "$3" > "$work/diff.txt"; then pass "$1"; else fail "$1"; cat "$work/diff.txt"; fi
}
# Names as listed, one a line, folders dropped, each read as UTF-8 or else as Shift-JIS.
names_of() {
    grep -av '/$' | while IFS= read -r n; do
        u=$(printf '%s' "$n" | iconv -f UTF-8 -t UTF-8 2>/dev/null) || u=$(printf '%s' "$n" | iconv -f CP932 -t UTF-8)
        printf '%s\n' "$u"
    done | LC_ALL=C sort
}

settings_ini() {  # <settings...>
    {
        printf '[Option]\r\nCompDirType=1\r\nCompWarn=0\r\nCompOverWrite=1\r\nCompOpenDir=0\r\n'
        printf 'MeltOpenDir=0\r\nMakeSFX=0\r\n'
        for s in "$@"; do printf '%s\r\n' "$s"; done
    } > "$ini"
}
zibrak() {  # <paths...>: Zibrak.exe on them; a box nobody answers is given a minute
    local args=()
    for p in "$@"; do args+=("$(win "$p")"); done
    ARCHIVER_PASSWORD=secret timeout 60 "$wine_run" "$work/install/Zibrak.exe" "${args[@]}" \
        > "$work/run.log" 2>&1
}
# own_extract <label> <archive> <folder>: the stand-in DLL extracts as Zibrak asks it to.
own_extract() {
    local dll export text
    case $1 in
        LH*) dll=Unlha32.dll export=Unlha text="e -c1 -a1 -x1 -jyc  " ;;
        ZIP*) dll=UnZip32.dll export=UnZip text="-x " ;;
        MSZIP|LZX_21) dll=Cab32.dll export=Cab text="-x " ;;
        *) dll=Tar32.dll export=Tar text="xvf " ;;
    esac
    mkdir -p "$3"
    printf '%s"%s" "%s\\"' "$text" "$(win "$2")" "$(win "$3")" | iconv -f UTF-8 -t CP932 > "$work/command.txt"
    "$wine_run" "$runner" --password secret "$(win "$standins/$dll")" "$export" \
        "$(win "$work/command.txt")" > "$work/own.log" 2>&1
}

# Each row: label, the settings that choose it, the archive's extension.
rows=(
    "LH0|CompType=0 LzhType=0|lzh"
    "LH5|CompType=0 LzhType=1|lzh"
    "LH7|CompType=0 LzhType=2|lzh"
    "ZIP_6|CompType=1|zip"
    "ZIP_Cr|CompType=1 ZipCrypt=1|zip"
    "MSZIP|CompType=2 CabType=1|cab"
    "LZX_21|CompType=2 CabType=0|cab"
    "GZIP_6|CompType=3|tar.gz"
    "BZIP2_9|CompType=4|bz2"
)
table=$work/table.txt
for row in "${rows[@]}"; do
    IFS='|' read -r label settings ext <<< "$row"
    archive=$src/names.$ext
    rm -f "$archive"
    # shellcheck disable=SC2086
    settings_ini $settings
    zibrak "$tree"
    if [ ! -f "$archive" ]; then fail "$label: no archive names.$ext"; cat "$work/run.log"; continue; fi
    password=; [ "$label" = ZIP_Cr ] && password=secret

    if [ "$mode" = own ]; then
        own_extract "$label" "$archive" "$work/own-$label" || fail "$label: the stand-in's extraction: $(cat "$work/own.log")"
        manifest "$work/own-$label" > "$work/got.txt"
        same_lines "$label: the stand-in's own extraction gives the tree back" "$expected" "$work/got.txt"
        continue
    fi

    # bsdtar reads unmarked names as Shift-JIS and marked ones as what they say.
    bsdtar -tf "$archive" --options hdrcharset=CP932 > "$work/bsdtar.txt" 2> "$work/bsdtar.err"
    names_of < "$work/bsdtar.txt" > "$work/got.txt"
    same_lines "$label: bsdtar -tf lists every name" "$work/expected-names.txt" "$work/got.txt"
    mkdir -p "$work/b-$label"
    bsdtar -xf "$archive" -C "$work/b-$label" --options hdrcharset=CP932 ${password:+--passphrase "$password"} 2> "$work/bsdtar.err" ||
        fail "$label: bsdtar -x: $(cat "$work/bsdtar.err")"
    manifest "$work/b-$label" > "$work/got.txt"
    same_lines "$label: bsdtar extracts every file byte for byte" "$expected" "$work/got.txt"
    shown="bsdtar: $(tr '\n' ' ' < "$work/bsdtar.txt")"

    case $label in
        ZIP_6|ZIP_Cr)
            # unzip reads an unflagged name of an archive made on MS-DOS as OEM code page 437
            # and writes it in Latin-1, so 表示.txt shows as its Shift-JIS bytes taken that
            # way; every UTF-8 name must come out exactly.
            unzip -Z1 "$archive" > "$work/unzip.txt" 2>&1
            grep -av '/$' "$work/unzip.txt" | LC_ALL=C sort > "$work/got.txt"
            oem=$(printf 'names/表示.txt' | iconv -f UTF-8 -t CP932 | iconv -f CP437 -t ISO-8859-1)
            LC_ALL=C sed "s|^names/表示.txt\$|${oem//\\/\\\\}|" "$work/expected-names.txt" | LC_ALL=C sort > "$work/want.txt"
            same_lines "$label: unzip -Z1 lists every name" "$work/want.txt" "$work/got.txt"
            shown="$shown | unzip -Z1: $(tr '\n' ' ' < "$work/unzip.txt")"
            # zipfile reads flagged names as UTF-8 and the others in the encoding it is given.
            python3 - "$archive" "$work/p-$label" "$password" > "$work/py.log" 2>&1 <<'PY' || fail "$label: zipfile: $(cat "$work/py.log")"
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[1], metadata_encoding="cp932") as z:
    if sys.argv[3]:
        z.setpassword(sys.argv[3].encode())
    for info in z.infolist():
        if info.is_dir():
            continue
        target = os.path.join(sys.argv[2], info.filename)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(z.read(info))
PY
            manifest "$work/p-$label" > "$work/got.txt"
            same_lines "$label: zipfile extracts every file under its name" "$expected" "$work/got.txt" ;;
        MSZIP|LZX_21)
            # -e names the code page of the names not marked as UTF-8.
            cabextract -l -e CP932 "$archive" > "$work/cab.txt" 2>&1
            awk -F' \\| ' 'NF == 3 && $1 ~ /[0-9]/ {print $3}' "$work/cab.txt" | tr '\\' '/' | names_of > "$work/got.txt"
            same_lines "$label: cabextract -l lists every name" "$work/expected-names.txt" "$work/got.txt"
            shown="$shown | cabextract -l: $(awk -F' \\| ' 'NF == 3 && $1 ~ /[0-9]/ {print $3}' "$work/cab.txt" | tr '\n' ' ')"
            cabextract -q -e CP932 -d "$work/c-$label" "$archive" > /dev/null 2>&1 || fail "$label: cabextract"
            manifest "$work/c-$label" > "$work/got.txt"
            same_lines "$label: cabextract extracts every file" "$expected" "$work/got.txt" ;;
        GZIP_6|BZIP2_9)
            tar --quoting-style=literal -tf "$archive" > "$work/tar.txt" 2>&1
            names_of < "$work/tar.txt" > "$work/got.txt"
            same_lines "$label: tar -tf lists every name" "$work/expected-names.txt" "$work/got.txt"
            shown="$shown | tar -tf: $(names_of < "$work/tar.txt" | tr '\n' ' ')"
            mkdir -p "$work/t-$label"
            tar -xf "$archive" -C "$work/t-$label" 2> "$work/tar.err" || fail "$label: tar -x: $(cat "$work/tar.err")"
            manifest "$work/t-$label" > "$work/got.txt"
            same_lines "$label: tar extracts every file" "$expected" "$work/got.txt" ;;
    esac
    echo "$label | $shown" >> "$table"
done

if [ "$mode" = tools ]; then
    # A lone file on the command line whose name does not fit: the archive is named with '_'
    # for each such character, and the DLL stores the long name.
    settings_ini CompType=1
    mkdir -p "$src/lone.d"
    printf 'café\n' > "$src/café.txt"
    printf '한국어\n' > "$src/lone.d/한국어.txt"
    for row in "café.txt|caf_.zip|$src" "한국어.txt|___.zip|$src/lone.d"; do
        IFS='|' read -r name zip dir <<< "$row"
        zibrak "$dir/$name"
        if [ ! -f "$dir/$zip" ]; then fail "$name: no $zip"; cat "$work/run.log"; ls "$dir"; continue; fi
        listed=$(unzip -Z1 "$dir/$zip")
        if [ "$listed" = "$name" ]; then pass "$name alone: $zip holds $name"; else fail "$name alone: $zip holds '$listed'"; fi
        echo "ZIP_6 (lone) | $zip: unzip -Z1: $listed" >> "$table"
    done
    echo "--- label | what the programs list"
    cat "$table"
fi

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
