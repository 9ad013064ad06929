#!/usr/bin/env bash
# Big inputs through the stand-ins' writers under Wine, not part of ./test.sh: a 3 GiB sparse
# file into a ZIP and a TAR.GZ and back out through the stand-ins, and a 4.5 GiB one into a
# ZIP, which needs ZIP64 fields, checked by unzip, and into LZH stored (-lh0-) and packed
# (-lh5-), which needs the 64-bit size header 0x42, read back by bsdtar, jlha and Unlha32. Prints the time and the writer's peak memory of each step. Needs about 14 GiB of
# free disk for the archives and the extracted copies.
#   standins/tests/big_writes.sh [zip|lzh]  (after ./tools/build.sh; both when not named)
set -u
only=${1:-}
want() { [ -z "$only" ] || [ "$only" = "$1" ]; }
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
standins=$root/build/standins
runner=$root/build/bin/standin_run.exe
# shellcheck source=../../tools/wine-session.sh
source "$root/tools/wine-session.sh"

work=$(mktemp -d /tmp/standin-big.XXXXXX)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
win() { local p=$1; printf 'Z:%s' "${p//\//\\}"; }

start_session headless
trap 'stop_session; rm -rf "$work"' EXIT

# run <dll> <export> <command text>: prints the seconds and the peak resident memory.
run() {
    printf '%s' "$3" > "$work/command.txt"
    /usr/bin/time -f '%e s, peak %M KiB' -o "$work/time.txt" \
        "$root/tools/wine-run.sh" "$runner" "$(win "$standins/$1")" "$2" "$(win "$work/command.txt")" \
        > "$work/run.log" 2>&1
    local rc=$?
    echo "  $1 ${3%% *}: $(cat "$work/time.txt")"
    return $rc
}

# A sparse file of size bytes with a few marks, so a copy that loses its place shows.
make_big() {  # <path> <size>
    truncate -s "$2" "$1"
    for at in 0 $(($2 / 3)) $(($2 - 16)); do
        printf 'mark at %08d' $((at % 100000000)) | dd of="$1" bs=1 seek="$at" conv=notrunc status=none
    done
}

W=$(win "$work")
mkdir -p "$work/in"
if want zip; then
make_big "$work/in/big.bin" $((3 << 30))
sum=$(md5sum < "$work/in/big.bin" | cut -c1-32)

for round in "zip|Zip32j.dll|Zip|-r -S|UnZip32.dll|UnZip|-x" "tar.gz|Tar32.dll|Tar|cvfz|Tar32.dll|Tar|xvf"; do
    IFS='|' read -r ext packer pexport pack unpacker uexport unpack <<< "$round"
    echo "3 GiB into $ext:"
    if run "$packer" "$pexport" "$pack \"$W\\big.$ext\" \"$W\\in\\\" \"big.bin\""; then
        pass "written ($(stat -c %s "$work/big.$ext") bytes)"
    else
        fail "writing $ext: $(cat "$work/run.log")"; continue
    fi
    case $ext in
        zip) unzip -tq "$work/big.zip" > /dev/null && pass "unzip -t" || fail "unzip -t" ;;
        tar.gz) tar tzf "$work/big.tar.gz" > /dev/null && pass "tar tzf" || fail "tar tzf" ;;
    esac
    if run "$unpacker" "$uexport" "$unpack \"$W\\big.$ext\" \"$W\\out-$ext\\\""; then
        got=$(md5sum < "$work/out-$ext/big.bin" | cut -c1-32)
        [ "$got" = "$sum" ] && pass "extracted copy equals the source" || fail "extracted copy differs"
    else
        fail "extracting $ext: $(cat "$work/run.log")"
    fi
    rm -rf "$work/out-$ext" "$work/big.$ext"
done

echo "4.5 GiB into zip (ZIP64):"
rm -f "$work/in/big.bin"
make_big "$work/in/huge.bin" $((9 << 29))
sum=$(md5sum < "$work/in/huge.bin" | cut -c1-32)
if run Zip32j.dll Zip "-r -S \"$W\\huge.zip\" \"$W\\in\\\" \"huge.bin\""; then
    pass "written ($(stat -c %s "$work/huge.zip") bytes)"
    unzip -tq "$work/huge.zip" > /dev/null && pass "unzip -t" || fail "unzip -t"
    got=$(unzip -p "$work/huge.zip" huge.bin | md5sum | cut -c1-32)
    [ "$got" = "$sum" ] && pass "unzip's copy equals the source" || fail "unzip's copy differs"
else
    fail "writing the ZIP64 archive: $(cat "$work/run.log")"
fi
rm -f "$work/huge.zip" "$work/in/huge.bin"
fi

# LZH past 4 GiB: bsdtar (libarchive) and jlha read the 0x42 header. lhasa 0.3.1 knows none
# and sees only the sizes' low parts: it cannot read such an entry, but must not pass it.
if want lzh; then
echo "4.5 GiB into LZH (0x42 size header):"
size=$((9 << 29))
make_big "$work/in/huge.bin" $size
sum=$(md5sum < "$work/in/huge.bin" | cut -c1-32)
for round in "0|-lh0-" "2|-lh5-"; do
    IFS='|' read -r level method <<< "$round"
    archive=$work/huge$level.lzh
    if run Unlha32.dll Unlha "a -x1 -r2 -a1 -jm$level \"$W\\huge$level.lzh\" \"$W\\in\\\" \"huge.bin\""; then
        pass "$method written ($(stat -c %s "$archive") bytes)"
    else
        fail "writing $method: $(cat "$work/run.log")"; continue
    fi
    listing=$(bsdtar tvf "$archive" 2>&1)
    case $listing in
        *" $size "*) pass "bsdtar lists $size bytes" ;;
        *) fail "bsdtar's listing: $listing" ;;
    esac
    got=$(bsdtar xOf "$archive" huge.bin | md5sum | cut -c1-32)
    [ "$got" = "$sum" ] && pass "bsdtar's copy equals the source" || fail "bsdtar's copy differs"
    jlha v "$archive" > "$work/jlha.log" 2>&1
    grep -q -- "$method" "$work/jlha.log" && grep -q " $size " "$work/jlha.log" &&
        pass "jlha v shows $method and $size bytes" || fail "jlha v: $(cat "$work/jlha.log")"
    mkdir -p "$work/out-jlha"
    jlha xqw="$work/out-jlha" "$archive" > /dev/null 2>&1
    got=$(md5sum < "$work/out-jlha/huge.bin" | cut -c1-32)
    [ "$got" = "$sum" ] && pass "jlha's copy equals the source" || fail "jlha's copy differs"
    rm -rf "$work/out-jlha"
    if lhasa v "$archive" | grep -q " $size "; then
        got=$(lhasa pq "$archive" huge.bin | md5sum | cut -c1-32)
        [ "$got" = "$sum" ] && pass "lhasa's copy equals the source" || fail "lhasa's copy differs"
    elif lhasa t "$archive" > "$work/lhasa.log" 2>&1 && ! grep -qi -e error -e crc "$work/lhasa.log"; then
        fail "lhasa t passes an entry it reads at the wrong size: $(tail -c 300 "$work/lhasa.log")"
    else
        pass "lhasa (no 0x42) refuses the entry: $(tr '\r' '\n' < "$work/lhasa.log" | grep -m1 -i -e error -e crc)"
    fi
    if run Unlha32.dll Unlha "e -c1 -a1 -x1 -jyc \"$W\\huge$level.lzh\" \"$W\\out-lzh\\\""; then
        got=$(md5sum < "$work/out-lzh/huge.bin" | cut -c1-32)
        [ "$got" = "$sum" ] && pass "Unlha32's copy equals the source" || fail "Unlha32's copy differs"
    else
        fail "extracting $method: $(cat "$work/run.log")"
    fi
    rm -rf "$work/out-lzh" "$archive"
done
fi

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
