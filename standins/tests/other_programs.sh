#!/usr/bin/env bash
# Archives written by other programs, made here with the Linux tools (and the RAR and LZX
# samples of libarchive's and libmspack's test folders), extracted through the stand-ins
# under Wine with the command texts Zibrak sends, and compared byte for byte with what went
# in. A Shift-JIS name with a 0x5C trail byte ("表", "ソ") is part of every tree.
#   other_programs.sh <repository root> <stand-in DLL folder> <standin_run.exe>
set -u
root=$1
standins=$2
runner=$3
work=$(mktemp -d /tmp/standin-others.XXXXXX)
trap 'rm -rf "$work"' EXIT
source "$root/standins/tests/script_lib.sh"

# The same tree twice: with UTF-8 names, for the tools that convert names (jlha under a
# Japanese locale, 7-Zip's and gcab's UTF-8 marks), and with Shift-JIS names, for the tools
# that store a name's bytes as they are (tar, arj, Info-ZIP outside a UTF-8 locale), as a
# Japanese Windows would have them.
u=$work/u
s=$work/s
mkdir -p "$u/表/sub" "$u/表/empty"
printf 'top file\r\n' > "$u/top.txt"
printf 'ソース\n' | iconv -f UTF-8 -t CP932 > "$u/表/ソース.txt"
head -c 20000 /dev/urandom > "$u/表/sub/random.bin"
# Text with repeats near and far (beyond the 8 KiB and 26 KiB windows of -lh5- and ARJ).
seq 1 12000 | sed 's/$/ mixed line ソース/' > "$u/表/sub/mixed.txt"
: > "$u/表/sub/empty.txt"
mkdir -p "$s/$(sj 表)/sub" "$s/$(sj 表)/empty"
cp "$u/top.txt" "$s/"
cp "$u/表/ソース.txt" "$s/$(sj 表)/$(sj ソース).txt"
cp "$u/表/sub/"* "$s/$(sj 表)/sub/"
manifest "$u" dirs > "$work/expected-dirs.txt"
manifest "$u" > "$work/expected-files.txt"

a=$work/archives
mkdir -p "$a"
# LZH by jlha: -lh5-, -lh6-, -lh7- (its Shift-JIS names only under a Japanese locale).
for m in 5 6 7; do
    (cd "$u" && LANG=ja_JP.UTF-8 jlha ao$m "$a/j$m.lzh" top.txt 表 > /dev/null 2>&1)
    check "jlha -lh$m-" Unlha32.dll "$a/j$m.lzh" "$work/expected-dirs.txt" dirs
done

# ZIP by Info-ZIP: deflate, bzip2, and a password the DLL asks for in its own dialog.
(cd "$s" && LANG=C zip -qr "$a/deflate.zip" .)
check "zip deflate" UnZip32.dll "$a/deflate.zip" "$work/expected-dirs.txt" dirs
(cd "$s" && LANG=C zip -qr -Z bzip2 "$a/bzip2.zip" .)
check "zip -Z bzip2" UnZip32.dll "$a/bzip2.zip" "$work/expected-dirs.txt" dirs
(cd "$s" && LANG=C zip -qr -P 'pass word' "$a/crypt.zip" .)
check "zip -P" UnZip32.dll "$a/crypt.zip" "$work/expected-dirs.txt" dirs -- --password 'pass word'

# ZIP by 7-Zip: Deflate64 and LZMA, names with the UTF-8 flag.
for m in Deflate64 LZMA; do
    (cd "$u" && 7zz a -bd -tzip -mm=$m "$a/7z-$m.zip" . > /dev/null)
    check "7zz -mm=$m" UnZip32.dll "$a/7z-$m.zip" "$work/expected-dirs.txt" dirs
done
# Behind Info-ZIP's self-extracting stub every stored offset is short by the stub's length:
# the Deflate64 entries are still found where libarchive finds their data.
cat /usr/bin/unzipsfx "$a/7z-Deflate64.zip" > "$a/7z-Deflate64-sfx.exe"
check "7zz -mm=Deflate64 behind unzipsfx" UnZip32.dll "$a/7z-Deflate64-sfx.exe" "$work/expected-dirs.txt" dirs

# CAB by gcab with MSZIP (a cabinet holds files only). gcab marks a name that is not ASCII
# as UTF-8 (the cabinet's _A_NAME_IS_UTF), so it gets the UTF-8 tree.
(cd "$u" && find . -type f -printf '%P\0' | xargs -0 gcab -c -z "$a/mszip.cab")
check "gcab -z" Cab32.dll "$a/mszip.cab" "$work/expected-files.txt"

# ARJ methods 0 to 4.
for m in 0 1 2 3 4; do
    (cd "$s" && LANG=C arj a -r -y -m$m "$a/m$m.arj" '*' > /dev/null)
    check "arj -m$m" Unarj32j.dll "$a/m$m.arj" "$work/expected-files.txt"
done

# tar by GNU tar: plain, and inside gzip, bzip2, xz and compress, under the usual names.
(cd "$s" && tar cf "$a/plain.tar" .)
(cd "$s" && tar czf "$a/gz.tgz" .)
(cd "$s" && tar cjf "$a/bz.tbz2" .)
(cd "$s" && tar cJf "$a/xz.txz" .)
(cd "$s" && tar cZf "$a/z.taz" .)
for t in plain.tar gz.tgz bz.tbz2 xz.txz z.taz; do
    check "tar $t" Tar32.dll "$a/$t" "$work/expected-dirs.txt" dirs
done

# A lone compressed file becomes one file named without the suffix.
echo "F mixed.txt $(md5sum < "$u/表/sub/mixed.txt" | cut -c1-32)" > "$work/expected-lone.txt"
for tool in gzip:gz bzip2:bz2 xz:xz compress:Z; do
    "${tool%%:*}" -c "$u/表/sub/mixed.txt" > "$a/mixed.txt.${tool#*:}"
    check "${tool%%:*} alone" Tar32.dll "$a/mixed.txt.${tool#*:}" "$work/expected-lone.txt"
done

# A lone file that begins with zeros, as disk images do (an ISO's first 32 KiB): its
# first blocks look like the end of an empty tar, and a tar must not be taken for it.
# Deflate64 entries are found by where their data lies, not by their names: café.txt and
# cafè.txt differ only outside code page 932, and each must come back with its own data.
# Extracted with -o: where the two names land on one file, the later entry replaces the
# earlier, and it is the later entry's data that must be there.
mkdir -p "$work/cafe"
seq 1 3000 | sed 's/^/café /' > "$work/cafe/café.txt"
seq 1 3000 | sed 's/^/cafè /' > "$work/cafe/cafè.txt"
(cd "$work/cafe" && 7zz a -bd -tzip -mm=Deflate64 "$a/cafe.zip" café.txt cafè.txt > /dev/null)
last=$(python3 -c 'import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
print(max(z.infolist(), key=lambda i: i.header_offset).filename)' "$a/cafe.zip")
dest=$work/x-cafe
run_standin UnZip32.dll UnZip "-o -x \"$(win "$a/cafe.zip")\" \"$(win "$dest")\\\"" --dialogs "$work/cafe.txt"
files=$(ls "$dest" 2>/dev/null | wc -l)
if [ "$result" -ne 0 ] || [ -s "$work/cafe.txt" ]; then
    fail "Deflate64 café/cafè: result $result: $(iconv -f CP932 -t UTF-8 "$work/cafe.txt" 2>/dev/null)"
elif [ "$files" -eq 2 ] && cmp -s "$work/cafe/café.txt" "$dest/café.txt" && cmp -s "$work/cafe/cafè.txt" "$dest/cafè.txt"; then
    pass "Deflate64 café/cafè: each name its own data"
elif [ "$files" -eq 1 ] && cmp -s "$work/cafe/$last" "$dest"/*; then
    pass "Deflate64 café/cafè: one name, the later entry's data"
else
    fail "Deflate64 café/cafè: $(ls "$dest" 2>&1)"
fi

{ head -c 32768 /dev/zero; head -c 5000 /dev/urandom; } > "$work/image.iso"
echo "F image.iso $(md5sum < "$work/image.iso" | cut -c1-32)" > "$work/expected-image.txt"
gzip -c "$work/image.iso" > "$a/image.iso.gz"
check "gzip alone, a file that begins with zeros" Tar32.dll "$a/image.iso.gz" "$work/expected-image.txt"

# Samples of the source packages' test folders, compared with what a Linux reader of
# their own makes of them: bsdtar for RAR, cabextract for CAB.
tests=$(echo "$root"/build/deps/src/libarchive-*/libarchive/test)
cabd=$(echo "$root"/build/deps/src/libmspack-*/test/test_files/cabd)
# (RAR 4 from Windows, with folders, and one of random data and a document; RAR 5
# compressed, solid, and from Windows.)
for sample in rar_windows rar_binary_data rar5_compressed rar5_multiple_files_solid rar5_win32; do
    uudecode_to "$tests/test_read_format_$sample.rar.uu" "$a/$sample.rar"
    mkdir -p "$work/ref-$sample"
    bsdtar -xf "$a/$sample.rar" -C "$work/ref-$sample" || fail "bsdtar cannot read $sample"
    manifest "$work/ref-$sample" > "$work/ref-$sample.txt"
    check "sample $sample" Unrar32.dll "$a/$sample.rar" "$work/ref-$sample.txt"
done
# LZX (libarchive's third cabinet) and two MSZIP folders in one cabinet (libmspack's).
uudecode_to "$tests/test_read_format_cab_3.cab.uu" "$a/lzx.cab"
cp "$cabd/normal_2files_2folders.cab" "$a/folders.cab"
for sample in lzx folders; do
    cabextract -q -d "$work/ref-$sample" "$a/$sample.cab" > /dev/null ||
        fail "cabextract cannot read $sample.cab"
    manifest "$work/ref-$sample" > "$work/ref-$sample.txt"
    check "sample $sample.cab" Cab32.dll "$a/$sample.cab" "$work/ref-$sample.txt"
done

echo "$n archives, $failures failure(s)"
[ "$failures" -eq 0 ]
