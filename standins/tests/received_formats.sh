#!/usr/bin/env bash
# The formats people are sent today, made here with Debian's tools and extracted through
# the stand-ins under Wine with the command texts Zibrak sends: 7z with each method and
# filter 7-Zip writes, tar in zstd, lz4 and lzip and those files alone, ISO images, cpio,
# Debian packages (Tar32.dll), and ZIP with WinZip's AES (UnZip32.dll). Each tree comes
# back byte for byte, Japanese names included; what cannot be read is refused in the DLL's
# box, which names the archive and the reason.
#   received_formats.sh <repository root> <stand-in DLL folder> <standin_run.exe>
set -u
root=$1
standins=$2
runner=$3
work=$(mktemp -d /tmp/standin-received.XXXXXX)
trap 'rm -rf "$work"' EXIT
source "$root/standins/tests/script_lib.sh"

# UTF-8 names: 7-Zip, ISO's Joliet and Rock Ridge and ZIP's flag convert them, and tar and
# cpio store the bytes, which the stand-ins take for UTF-8 when they are.
u=$work/u
mkdir -p "$u/表/sub" "$u/表/empty"
printf 'top file\r\n' > "$u/top.txt"
printf 'ソース\n' > "$u/表/ソース.txt"
head -c 20000 /dev/urandom > "$u/表/sub/random.bin"
seq 1 12000 | sed 's/$/ mixed line ソース/' > "$u/表/sub/mixed.txt"
# Machine code, for the branch filters to convert.
head -c 60000 "$(command -v 7zz)" > "$u/表/sub/program.bin"
: > "$u/表/sub/empty.txt"
manifest "$u" dirs > "$work/expected-dirs.txt"
manifest "$u" > "$work/expected-files.txt"
a=$work/archives
mkdir -p "$a"

# 7z: every method alone, solid and not; every filter in front of LZMA and of LZMA2.
sevenz() {  # <archive> <7zz switches...>
    local archive=$1
    shift
    (cd "$u" && 7zz a -bd -bso0 "$@" "$archive" . > /dev/null)
}
for method in LZMA LZMA2 PPMd BZip2 Deflate Copy; do
    for solid in on off; do
        sevenz "$a/$method-$solid.7z" -m0=$method -ms=$solid
        check "7z $method, solid $solid" Tar32.dll "$a/$method-$solid.7z" "$work/expected-dirs.txt" dirs
    done
done
for filter in BCJ BCJ2 SPARC ARM ARMT PPC IA64 Delta:4; do
    for method in LZMA LZMA2; do
        sevenz "$a/$filter-$method.7z" -mf=$filter -m0=$method
        check "7z $filter + $method" Tar32.dll "$a/$filter-$method.7z" "$work/expected-dirs.txt" dirs
    done
done

# What libarchive cannot decode, said by name.
sevenz "$a/arm64.7z" -mf=ARM64 -m0=LZMA2
refused "7z ARM64 filter" Tar32.dll "$a/arm64.7z" "ARM64 フィルタには対応していません"
sevenz "$a/arm-ppmd.7z" -mf=ARM -m0=PPMd
refused "7z ARM filter before PPMd" Tar32.dll "$a/arm-ppmd.7z" "PPMd と組み合わせた ARM フィルタ"
sevenz "$a/deflate64.7z" -m0=Deflate64
refused "7z Deflate64" Tar32.dll "$a/deflate64.7z" "Deflate64 圧縮には対応していません"
sevenz "$a/headers.7z" -mhe=on -p'pass word'
refused "7z with encrypted headers" Tar32.dll "$a/headers.7z" "暗号化"
sevenz "$a/data.7z" -p'pass word'
refused "7z with encrypted data" Tar32.dll "$a/data.7z" "暗号化"
# A dictionary no 32-bit process can hold: the LZMA coder's properties say 3 GiB (the
# header is stored plain, and its CRCs are made again).
sevenz "$a/dictionary.7z" -m0=LZMA -mhc=off -ms=on
python3 - "$a/dictionary.7z" <<'PY'
import struct, sys, zlib
path = sys.argv[1]
d = bytearray(open(path, "rb").read())
offset, size = struct.unpack_from("<QQ", d, 12)
start = 32 + offset
header = d[start:start + size]
at = header.find(b"\x23\x03\x01\x01\x05")  # the LZMA coder: id, 5 property bytes
assert at >= 0, "no LZMA coder in the header"
struct.pack_into("<I", header, at + 6, 3 << 30)
d[start:start + size] = header
struct.pack_into("<I", d, 28, zlib.crc32(header))
struct.pack_into("<I", d, 8, zlib.crc32(bytes(d[12:32])))
open(path, "wb").write(d)
PY
refused "7z whose dictionary does not fit" Tar32.dll "$a/dictionary.7z" "メモリが足りません"

# tar in zstd, lz4 and lzip, and each of them alone.
(cd "$u" && tar cf "$a/tree.tar" .)
zstd -q -19 -c "$a/tree.tar" > "$a/tree.tar.zst"
lz4 -q -c "$a/tree.tar" > "$a/tree.tar.lz4"
lz4 -q -l -c "$a/tree.tar" > "$a/legacy.tar.lz4"
lzip -c "$a/tree.tar" > "$a/tree.tar.lz"
for t in tree.tar.zst tree.tar.lz4 legacy.tar.lz4 tree.tar.lz; do
    check "tar $t" Tar32.dll "$a/$t" "$work/expected-dirs.txt" dirs
done
echo "F mixed.txt $(md5sum < "$u/表/sub/mixed.txt" | cut -c1-32)" > "$work/expected-lone.txt"
zstd -q -c "$u/表/sub/mixed.txt" > "$a/mixed.txt.zst"
lz4 -q -c "$u/表/sub/mixed.txt" > "$a/mixed.txt.lz4"
lzip -c "$u/表/sub/mixed.txt" > "$a/mixed.txt.lz"
for t in mixed.txt.zst mixed.txt.lz4 mixed.txt.lz; do
    check "$t alone" Tar32.dll "$a/$t" "$work/expected-lone.txt"
done
# Recognised by content, never by name.
cp "$a/tree.tar.zst" "$a/renamed.dat"
check "tar.zst named .dat" Tar32.dll "$a/renamed.dat" "$work/expected-dirs.txt" dirs

# ISO 9660 with Rock Ridge and Joliet names, and with Joliet alone.
genisoimage -quiet -input-charset utf-8 -J -R -o "$a/rr-joliet.iso" "$u" 2> /dev/null
check "ISO, Rock Ridge and Joliet" Tar32.dll "$a/rr-joliet.iso" "$work/expected-dirs.txt" dirs
genisoimage -quiet -input-charset utf-8 -J -o "$a/joliet.iso" "$u" 2> /dev/null
check "ISO, Joliet" Tar32.dll "$a/joliet.iso" "$work/expected-dirs.txt" dirs

# cpio in its three formats (binary in this machine's byte order).
for format in newc odc bin; do
    (cd "$u" && find . -mindepth 1 -printf '%P\n' | cpio -o --quiet -H $format > "$a/$format.cpio")
    check "cpio -H $format" Tar32.dll "$a/$format.cpio" "$work/expected-dirs.txt" dirs
done
# Inside gzip, as initramfs images ship.
(cd "$u" && find . -mindepth 1 -printf '%P\n' | cpio -o --quiet -H newc | gzip > "$a/initrd.img")
check "cpio newc in gzip" Tar32.dll "$a/initrd.img" "$work/expected-dirs.txt" dirs

# A Debian package is its three members; a static library is no archive of Tar32's.
deb=$work/deb
mkdir -p "$deb"
printf '2.0\n' > "$deb/debian-binary"
(cd "$u" && tar czf "$deb/control.tar.gz" top.txt)
(cd "$u" && tar cJf "$deb/data.tar.xz" .)
(cd "$deb" && ar rc "$a/package.deb" debian-binary control.tar.gz data.tar.xz)
manifest "$deb" > "$work/expected-deb.txt"
check "Debian package" Tar32.dll "$a/package.deb" "$work/expected-deb.txt"
(cd "$u" && ar rc "$a/library.a" top.txt)
refused "static library" Tar32.dll "$a/library.a" "この DLL が扱う書庫ではありません"

# ZIP with AES by 7-Zip, which writes AE-2 (no CRC); AE-1 made from it by storing the
# CRCs and the version the AE-1 entries carry.
for bits in 128 192 256; do
    (cd "$u" && 7zz a -bd -bso0 -tzip -mem=AES$bits -p'pass word' "$a/aes$bits.zip" . > /dev/null)
    check "ZIP AES-$bits (AE-2)" UnZip32.dll "$a/aes$bits.zip" "$work/expected-dirs.txt" dirs -- --password 'pass word'
done
python3 - "$a/aes256.zip" "$a/ae1.zip" "$u" <<'PY'
import os, struct, sys, zlib
source, target, tree = sys.argv[1:4]
d = bytearray(open(source, "rb").read())

def crc_of(name):
    path = os.path.join(tree, name.decode("utf-8"))
    return 0 if name.endswith(b"/") else zlib.crc32(open(path, "rb").read())

def patch(at, name_at, name_len, extra_at, extra_len, crc_at):
    name = bytes(d[name_at:name_at + name_len])
    extra = d[extra_at:extra_at + extra_len]
    aes = extra.find(b"\x01\x99\x07\x00\x02\x00")
    if aes >= 0:
        struct.pack_into("<H", d, extra_at + aes + 4, 1)
        struct.pack_into("<I", d, crc_at, crc_of(name))

at = 0
while (at := d.find(b"PK\x03\x04", at)) >= 0:
    n, e = struct.unpack_from("<HH", d, at + 26)
    patch(at, at + 30, n, at + 30 + n, e, at + 14)
    at += 4
at = 0
while (at := d.find(b"PK\x01\x02", at)) >= 0:
    n, e = struct.unpack_from("<HH", d, at + 28)
    patch(at, at + 46, n, at + 46 + n, e, at + 16)
    at += 4
open(target, "wb").write(d)
PY
check "ZIP AES-256 (AE-1)" UnZip32.dll "$a/ae1.zip" "$work/expected-dirs.txt" dirs -- --password 'pass word'
# A wrong password, and none: one entry, since each entry is asked for again.
(cd "$u" && 7zz a -bd -bso0 -tzip -mem=AES256 -p'pass word' "$a/one.zip" top.txt > /dev/null)
refused "ZIP AES with a wrong password" UnZip32.dll "$a/one.zip" "パスワードが違う" -- --password wrong
refused "ZIP AES with no password" UnZip32.dll "$a/one.zip" "パスワード"

echo "$n archives, $failures failure(s)"
[ "$failures" -eq 0 ]
