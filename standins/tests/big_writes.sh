#!/usr/bin/env bash
# Big inputs through the stand-ins' writers under Wine, not part of ./test.sh: a 3 GiB sparse
# file into a ZIP and a TAR.GZ and back out through the stand-ins, and a 4.5 GiB one into a
# ZIP, which needs ZIP64 fields, checked by unzip. Prints the time and the writer's peak
# memory of each step. Needs about 8 GiB of free disk for the extracted copies.
#   standins/tests/big_writes.sh            (after ./tools/build.sh)
set -u
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

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
