#!/usr/bin/env bash
# Cross-builds the codec libraries the stand-in DLLs link statically (libarchive with
# libbz2 and liblzma) for 32-bit Windows, from Debian's source packages, once.
# The result lands in build/deps/prefix (include/, lib/) and is rebuilt only when the
# source versions or this script's build change. prefix/stub/lib holds a second, small
# build for the self-extracting programs: optimised for size, no unwind tables (C frames
# need none, and without them the linker can drop every function nothing calls), and
# libarchive without liblzma, since no stand-in writes an LZMA or xz payload. Debian's sources stay in build/deps/src, where the tests also
# find the sample archives of libarchive's and libmspack's test folders.
# zlib comes from Debian's mingw package (libz-mingw-w64-dev) and is not built here.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
deps=$root/build/deps
src=$deps/src
prefix=$deps/prefix
toolchain=$root/cmake/toolchain-i686-mingw.cmake
cc=i686-w64-mingw32-gcc-posix
ar=i686-w64-mingw32-ar
packages=(libarchive bzip2 xz-utils libmspack)

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
unpacked libmspack >/dev/null

key="$(basename "$archive_dir") $(basename "$bzip2_dir") $(basename "$xz_dir") stub-1"
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

# liblzma alone, static.
cmake -S "$xz_dir" -B "$deps/work/xz" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF >/dev/null
cmake --build "$deps/work/xz" --target liblzma -j"$jobs" >/dev/null
cp "$deps/work/xz/liblzma.a" "$prefix/lib/"
cp -r "$xz_dir/src/liblzma/api/lzma.h" "$xz_dir/src/liblzma/api/lzma" "$prefix/include/"

# build_libarchive WORK LIBRARY BUILD-TYPE C-FLAGS [OPTIONS...]: the library alone, static,
# with zlib, bzip2 and (unless OPTIONS turn it off) liblzma, and nothing else.
build_libarchive() {
    local work=$1 library=$2 type=$3 flags=$4 off=() option
    shift 4
    for option in TEST TAR CPIO CAT OPENSSL NETTLE MBEDTLS LIBXML2 EXPAT LZ4 ZSTD LZO LIBB2 CNG \
                  ICONV ACL XATTR PCREPOSIX PCRE2POSIX WIN32_XMLLITE LibGCC; do
        off+=("-DENABLE_$option=OFF")
    done
    cmake -S "$archive_dir" -B "$work" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE="$type" -DBUILD_SHARED_LIBS=OFF "${off[@]}" "$@" \
        -DZLIB_INCLUDE_DIR=/usr/i686-w64-mingw32/include \
        -DZLIB_LIBRARY=/usr/i686-w64-mingw32/lib/libz.a \
        -DBZIP2_INCLUDE_DIR="$prefix/include" -DBZIP2_LIBRARY_RELEASE="$prefix/lib/libbz2.a" \
        -DLIBLZMA_INCLUDE_DIR="$prefix/include" -DLIBLZMA_LIBRARY="$prefix/lib/liblzma.a" \
        -DCMAKE_C_FLAGS="$flags" >/dev/null
    cmake --build "$work" --target archive_static -j"$jobs" >/dev/null
    cp "$work/libarchive/libarchive.a" "$library" 2>/dev/null ||
        cp "$work/libarchive/libarchive_static.a" "$library"
}
build_libarchive "$deps/work/libarchive" "$prefix/lib/libarchive.a" Release "-DLZMA_API_STATIC"
build_libarchive "$deps/work/libarchive-stub" "$prefix/stub/lib/libarchive.a" MinSizeRel \
    "$small_flags" -DENABLE_LZMA=OFF
cp "$archive_dir/libarchive/archive.h" "$archive_dir/libarchive/archive_entry.h" "$prefix/include/"

echo "$key" >"$prefix/.key"
echo "Codec libraries ready in $prefix"
