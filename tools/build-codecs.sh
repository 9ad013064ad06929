#!/usr/bin/env bash
# Cross-builds the codec libraries the stand-in DLLs link statically (libarchive with
# libbz2 and liblzma) for 32-bit Windows, from Debian's source packages, once.
# The result lands in build/deps/prefix (include/, lib/) and is rebuilt only when the
# source versions or this script's build change. prefix/stub/lib holds a second, small
# build for the self-extracting programs: optimised for size, no unwind tables (C frames
# need none, and without them the linker can drop every function nothing calls), and
# libarchive without liblzma, zstd, lz4 or CNG, since no stand-in writes such a payload.
# Debian's sources stay in build/deps/src, where the tests also find the sample archives of
# libarchive's and libmspack's test folders.
# zlib comes from Debian's mingw package (libz-mingw-w64-dev) and is not built here.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
deps=$root/build/deps
src=$deps/src
prefix=$deps/prefix
toolchain=$root/cmake/toolchain-i686-mingw.cmake
cc=i686-w64-mingw32-gcc-posix
ar=i686-w64-mingw32-ar
packages=(libarchive bzip2 xz-utils libmspack libzstd lz4)

mkdir -p "$src"
cd "$src"

# fetch PKG: the newest source version apt offers that the mirror still serves.
fetch() {
    local pkg=$1 version
    ls "$pkg"_*.dsc >/dev/null 2>&1 && return 0
    for version in $(apt-cache showsrc "$pkg" | sed -n 's/^Version: //p' | sort -Vr | uniq); do
        if apt-get source -q --download-only "$pkg=$version" >/dev/null 2>&1; then
            return 0
        fi
        rm -f "$pkg"_*
    done
    echo "build-codecs: apt-get source $pkg failed (are deb-src entries present?)" >&2
    return 1
}

# unpacked PKG: the folder dpkg-source made of the fetched source.
unpacked() {
    local dsc dir
    dsc=$(ls "$1"_*.dsc | head -n 1)
    dir=$(sed -n 's/^Source: //p' "$dsc")-$(sed -n 's/^Version: \(.*:\)\?\([^-]*\).*/\2/p' "$dsc" | head -n 1)
    [ -d "$dir" ] || dpkg-source -q -x "$dsc" "$dir" >/dev/null 2>&1
    echo "$src/$dir"
}

for pkg in "${packages[@]}"; do fetch "$pkg"; done
archive_dir=$(unpacked libarchive)
bzip2_dir=$(unpacked bzip2)
xz_dir=$(unpacked xz-utils)
zstd_dir=$(unpacked libzstd)
lz4_dir=$(unpacked lz4)
unpacked libmspack >/dev/null

key="$(basename "$archive_dir") $(basename "$bzip2_dir") $(basename "$xz_dir")"
key+=" $(basename "$zstd_dir") $(basename "$lz4_dir") stub-1 cng-1 7z-lzma1-1"
if [ -f "$prefix/.key" ] && [ "$(cat "$prefix/.key")" = "$key" ]; then
    exit 0
fi
echo "Building the codec libraries for 32-bit Windows ($key), once..."
rm -rf "$prefix" "$deps/work"
mkdir -p "$prefix/include" "$prefix/lib" "$prefix/stub/lib" "$deps/work"
jobs=$(nproc)
# The stub build also prints through the C runtime's own printf: MinGW's is 18 KB.
small_flags="-Os -fno-asynchronous-unwind-tables -ffunction-sections -fdata-sections"
small_flags+=" -D__USE_MINGW_ANSI_STDIO=0"

# build_bzip2 DIR LIBRARY FLAGS...: a handful of C files; its Makefile builds for the host,
# so compile them here.
build_bzip2() {
    local dir=$1 library=$2
    shift 2
    mkdir -p "$dir"
    for f in blocksort huffman crctable randtable compress decompress bzlib; do
        $cc "$@" -D_FILE_OFFSET_BITS=64 -c "$bzip2_dir/$f.c" -o "$dir/$f.o"
    done
    $ar rcs "$library" "$dir"/*.o
}
build_bzip2 "$deps/work/bzip2" "$prefix/lib/libbz2.a" -O2
# shellcheck disable=SC2086
build_bzip2 "$deps/work/bzip2-stub" "$prefix/stub/lib/libbz2.a" $small_flags
cp "$bzip2_dir/bzlib.h" "$prefix/include/"

# build_sources WORK LIBRARY DIR FILES...: C files of DIR compiled in parallel into a static
# library, for the libraries whose own builds make programs and shared libraries too.
build_sources() {
    local work=$1 library=$2 dir=$3 f
    shift 3
    mkdir -p "$work"
    for f in "$@"; do
        echo "$dir/$f.c"
    done | xargs -P "$jobs" -I{} sh -c '$0 $1 -c "$2" -o "$3/$(basename "$2" .c).o"' \
        "$cc" "$flags" {} "$work"
    $ar rcs "$library" "$work"/*.o
}

# libzstd's decoder alone: the stand-ins write no zstd, so libarchive gets no compressor
# and its zstd writer (linked by nobody) would run an external program. No assembly: its
# Huffman loop is for x86-64 only.
flags="-O2 -DZSTD_DISABLE_ASM -DZSTD_LEGACY_SUPPORT=0 -DXXH_NAMESPACE=ZSTD_"
build_sources "$deps/work/zstd" "$prefix/lib/libzstd.a" "$zstd_dir/lib" \
    common/debug common/entropy_common common/error_private common/fse_decompress \
    common/xxhash common/zstd_common decompress/huf_decompress decompress/zstd_ddict \
    decompress/zstd_decompress decompress/zstd_decompress_block
cp "$zstd_dir/lib/zstd.h" "$zstd_dir/lib/zstd_errors.h" "$prefix/include/"
# liblz4: the block format, which is all libarchive's lz4 filter calls (it parses the frame
# itself), and the high-compression half its writer names.
flags="-O2"
build_sources "$deps/work/lz4" "$prefix/lib/liblz4.a" "$lz4_dir/lib" lz4 lz4hc
cp "$lz4_dir/lib/lz4.h" "$lz4_dir/lib/lz4hc.h" "$prefix/include/"

# liblzma alone, static.
cmake -S "$xz_dir" -B "$deps/work/xz" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF >/dev/null
cmake --build "$deps/work/xz" --target liblzma -j"$jobs" >/dev/null
cp "$deps/work/xz/liblzma.a" "$prefix/lib/"
cp -r "$xz_dir/src/liblzma/api/lzma.h" "$xz_dir/src/liblzma/api/lzma" "$prefix/include/"

# configure_libarchive WORK BUILD-TYPE C-FLAGS [OPTIONS...]: the library alone, static,
# with zlib, bzip2 and what OPTIONS turn on, and nothing else.
configure_libarchive() {
    local work=$1 type=$2 flags=$3 off=() option
    shift 3
    for option in TEST TAR CPIO CAT OPENSSL NETTLE MBEDTLS LIBXML2 EXPAT LZO LIBB2 \
                  ICONV ACL XATTR PCREPOSIX PCRE2POSIX WIN32_XMLLITE LibGCC; do
        off+=("-DENABLE_$option=OFF")
    done
    cmake -S "$archive_dir" -B "$work" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE="$type" -DBUILD_SHARED_LIBS=OFF "${off[@]}" "$@" \
        -DZLIB_INCLUDE_DIR=/usr/i686-w64-mingw32/include \
        -DZLIB_LIBRARY=/usr/i686-w64-mingw32/lib/libz.a \
        -DBZIP2_INCLUDE_DIR="$prefix/include" -DBZIP2_LIBRARY_RELEASE="$prefix/lib/libbz2.a" \
        -DLIBLZMA_INCLUDE_DIR="$prefix/include" -DLIBLZMA_LIBRARY="$prefix/lib/liblzma.a" \
        -DZSTD_INCLUDE_DIR="$prefix/include" -DZSTD_LIBRARY="$prefix/lib/libzstd.a" \
        -DLZ4_INCLUDE_DIR="$prefix/include" -DLZ4_LIBRARY="$prefix/lib/liblz4.a" \
        -DCMAKE_C_FLAGS="$flags" >/dev/null
}
# compile_libarchive WORK LIBRARY: builds a configured WORK and copies its library.
compile_libarchive() {
    local work=$1 library=$2
    cmake --build "$work" --target archive_static -j"$jobs" >/dev/null
    cp "$work/libarchive/libarchive.a" "$library" 2>/dev/null ||
        cp "$work/libarchive/libarchive_static.a" "$library"
}
# 7z's ARM, ARMT, SPARC, PPC and IA64 filters behind LZMA: 7-Zip ends LZMA data with no
# end marker, so liblzma, told no size, keeps the filter's last few bytes back and
# libarchive calls the entry damaged. liblzma 5.4's LZMA1EXT takes the size, which these
# size-keeping filters share with the folder; libarchive's own source says it would have
# used it. The edit is made to the unpacked source, once (the marker says so).
seven=$archive_dir/libarchive/archive_read_support_format_7zip.c
if ! grep -q 'LZMA1EXT' "$seven"; then
    python3 - "$seven" <<'PY'
import sys
path = sys.argv[1]
text = open(path).read()
anchor = """		    coder1->properties, (size_t)coder1->propertiesSize);
		if (r != LZMA_OK) {
			set_error(a, r);
			return (ARCHIVE_FAILED);
		}
		fi++;
"""
sized = """		if (r == LZMA_OK && zip->codec == _7Z_LZMA &&
		    (zip->codec2 == _7Z_ARM || zip->codec2 == _7Z_ARMTHUMB ||
		     zip->codec2 == _7Z_SPARC || zip->codec2 == _7Z_POWERPC ||
		     zip->codec2 == _7Z_IA64)) {
			lzma_options_lzma *o = filters[fi].options;
			filters[fi].id = LZMA_FILTER_LZMA1EXT;
			o->ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
			o->ext_size_low = (uint32_t)zip->folder_outbytes_remaining;
			o->ext_size_high =
			    (uint32_t)((uint64_t)zip->folder_outbytes_remaining >> 32);
		}
"""
assert text.count(anchor) == 1, "7z reader changed: LZMA1 size edit does not apply"
text = text.replace(anchor, anchor.replace("\t\tif (r != LZMA_OK) {", sized + "\t\tif (r != LZMA_OK) {", 1))
open(path, "w").write(text)
PY
fi

# CNG: libarchive looks for "Bcrypt.h" and, against MinGW's lowercase bcrypt.h, would drop
# the ZIP reader's AES without a word. Setting HAVE_BCRYPT_H is not enough: every header
# check after it includes "Bcrypt.h" too, fails, and loses wincrypt.h and the rest. So
# "Bcrypt.h" is made to exist, over MinGW's own. The DLLs link bcrypt.
mkdir -p "$deps/work/cng"
printf '#include <windows.h>\n#include <bcrypt.h>\n' >"$deps/work/cng/Bcrypt.h"
# CMake's checks run one compiler at a time and take twice as long as the compiling, so the
# two configurations run side by side.
configure_libarchive "$deps/work/libarchive" Release \
    "-DLZMA_API_STATIC -I$deps/work/cng" -DENABLE_CNG=ON -DENABLE_ZSTD=ON -DENABLE_LZ4=ON &
release=$!
configure_libarchive "$deps/work/libarchive-stub" MinSizeRel \
    "$small_flags" -DENABLE_LZMA=OFF -DENABLE_CNG=OFF -DENABLE_ZSTD=OFF -DENABLE_LZ4=OFF &
stub=$!
wait "$release" || { echo "build-codecs: configuring libarchive failed" >&2; exit 1; }
wait "$stub" || { echo "build-codecs: configuring the stubs' libarchive failed" >&2; exit 1; }
grep -q '^#define HAVE_BCRYPT_H 1' "$deps/work/libarchive/config.h" &&
    grep -q '^#define HAVE_WINCRYPT_H 1' "$deps/work/libarchive/config.h" ||
    { echo "build-codecs: libarchive was configured without CNG" >&2; exit 1; }
grep -q '^#define HAVE_LIBZSTD 1' "$deps/work/libarchive/config.h" &&
    grep -q '^#define HAVE_LIBLZ4 1' "$deps/work/libarchive/config.h" ||
    { echo "build-codecs: libarchive was configured without zstd or lz4" >&2; exit 1; }
compile_libarchive "$deps/work/libarchive" "$prefix/lib/libarchive.a"
compile_libarchive "$deps/work/libarchive-stub" "$prefix/stub/lib/libarchive.a"
cp "$archive_dir/libarchive/archive.h" "$archive_dir/libarchive/archive_entry.h" "$prefix/include/"

echo "$key" >"$prefix/.key"
echo "Codec libraries ready in $prefix"
