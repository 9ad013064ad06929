#!/usr/bin/env bash
# One archive of each family the stand-ins read, written by the Linux tools (RAR: a sample
# of libarchive's test folder), for the end-to-end tests; beside each, the tree it must
# give, with the names as Wine shows them (UTF-8 on disk, Shift-JIS to the program).
#   make_family_archives.sh <repository root> <output folder>
#     <output>/archives/family.{lzh,zip,cab,rar,arj,tar.gz}, lone.txt.bz2, and what people
#     are sent today: family.{7z,tar.zst,tar.lz4,tar.lz,iso,cpio}, aes.zip (password
#     "pass word"), encrypted.7z (headers encrypted: refused)
#     <output>/expected/<archive file name>/...
set -eu
root=$1
out=$2
rm -rf "$out"
mkdir -p "$out/archives" "$out/expected" "$out/src"
source "$root/standins/tests/script_lib.sh"
a=$out/archives

# The tree, with UTF-8 names for the tools that convert them (jlha under a Japanese
# locale, gcab) and Shift-JIS names for those that store the bytes as they are.
u=$out/src/utf8
s=$out/src/sjis
mkdir -p "$u/表/sub" "$s/$(sj 表)/sub"
printf 'readme\r\n' > "$u/readme.txt"
printf 'ソース\n' | iconv -f UTF-8 -t CP932 > "$u/表/ソース.txt"
head -c 30000 /dev/urandom > "$u/表/sub/data.bin"
# Compressible, so that no tool falls back to storing it.
seq 1 5000 | sed 's/$/ lines to compress/' > "$u/表/sub/lines.txt"
cp "$u/readme.txt" "$s/"
cp "$u/表/ソース.txt" "$s/$(sj 表)/$(sj ソース).txt"
cp "$u/表/sub/data.bin" "$u/表/sub/lines.txt" "$s/$(sj 表)/sub/"

(cd "$u" && LANG=ja_JP.UTF-8 jlha ao5 "$a/family.lzh" readme.txt 表 > /dev/null 2>&1)
(cd "$s" && LANG=C zip -qr "$a/family.zip" .)
(cd "$u" && find . -type f -printf '%P\0' | xargs -0 gcab -c -z "$a/family.cab")
(cd "$s" && LANG=C arj a -r -y -m1 "$a/family.arj" '*' > /dev/null)
(cd "$s" && tar czf "$a/family.tar.gz" .)
(cd "$u" && 7zz a -bd -bso0 -mf=BCJ2 -m0=LZMA "$a/family.7z" . > /dev/null)
(cd "$s" && tar cf - . | zstd -q -o "$a/family.tar.zst")
(cd "$s" && tar cf - . | lz4 -q > "$a/family.tar.lz4")
(cd "$s" && tar cf - . | lzip > "$a/family.tar.lz")
genisoimage -quiet -input-charset utf-8 -J -R -o "$a/family.iso" "$u" 2> /dev/null
(cd "$u" && find . -mindepth 1 -printf '%P\n' | cpio -o --quiet -H newc > "$a/family.cpio")
(cd "$u" && 7zz a -bd -bso0 -tzip -mem=AES256 -p'pass word' "$a/aes.zip" . > /dev/null)
(cd "$u" && 7zz a -bd -bso0 -mhe=on -p'pass word' "$a/encrypted.7z" . > /dev/null)
for name in family.lzh family.zip family.cab family.arj family.tar.gz family.7z family.tar.zst \
            family.tar.lz4 family.tar.lz family.iso family.cpio aes.zip; do
    cp -r "$u" "$out/expected/$name"
done

uudecode_to "$(echo "$root"/build/deps/src/libarchive-*/libarchive/test/test_read_format_rar_binary_data.rar.uu)" \
    "$a/family.rar"
mkdir -p "$out/expected/family.rar"
bsdtar -xf "$a/family.rar" -C "$out/expected/family.rar"

bzip2 -c "$u/表/sub/lines.txt" > "$a/lone.txt.bz2"
mkdir -p "$out/expected/lone.txt.bz2"
cp "$u/表/sub/lines.txt" "$out/expected/lone.txt.bz2/lone.txt"
rm -rf "$out/src"
