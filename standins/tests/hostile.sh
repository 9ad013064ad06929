#!/usr/bin/env bash
# Hostile archives through the stand-ins under Wine: truncated, a bad CRC, "..\" and
# absolute names (in ISO images too), links that lead out, a wrong password, ZIP entries
# that overlap, a split ZIP's last part, a gzip bomb and a size field that lies. After each:
# nothing was written outside the destination, the destination holds only what the archive
# may put there, and a failure came with a non-zero result and the DLL's own message box
# (caption its file name, a Japanese text naming the archive), read back by the watcher.
#   hostile.sh <repository root> <stand-in DLL folder> <standin_run.exe>
set -u
root=$1
standins=$2
runner=$3
work=$(mktemp -d /tmp/standin-hostile.XXXXXX)
trap 'rm -rf "$work"' EXIT
source "$root/standins/tests/script_lib.sh"
drive_c=${ZIBRAK_WINEPREFIX:-$root/build/wine}/drive_c

h=$work/archives
outside=$work/outside
mkdir -p "$h" "$outside"
printf 'secret\n' > "$outside/secret.txt"
python3 "$root/standins/tests/make_hostile.py" "$h" "$outside"

# Every escape aims at a file named escaped*: beside the destination, above it, in the
# outside folder, at the root of drive C: or of the Linux tree (drive Z:).
escapes() {
    find "$work" "$drive_c" / -maxdepth 1 -name 'escaped*' 2>/dev/null
    find "$outside" -mindepth 1 -not -name secret.txt
}

# What the destination may hold: good.txt, and entries that tried to leave it, stripped
# to a name inside it ("bad\n"); no link that resolves outside, no copy of the secret,
# no half-written or damaged file, no temporary file.
unexpected_in() {  # <destination>
    local dest=$1 f
    [ -d "$dest" ] || return 0
    find "$dest" -type l | while IFS= read -r f; do
        case $(readlink -f "$f") in "$dest"/*) ;; *) echo "link out: $f" ;; esac
    done
    find "$dest" -type f | while IFS= read -r f; do
        case $(cat "$f") in
        good | bad) ;;
        *) echo "unexpected: ${f#"$dest"/} ($(stat -c %s "$f") bytes)" ;;
        esac
    done
}

# The failure box: caption the DLL's file name, a Japanese text naming the archive.
told() {  # <dialog log> <dll> <archive file name>
    [ -f "$1" ] && iconv -f CP932 -t UTF-8 "$1" | grep -F "$2	" | grep -F "$3" | grep -qP '[^\x00-\x7F]'
}

n=0
# hostile <label> <dll> <archive file name> [good|any|nothing] [standin_run options...]
# "good": good.txt must be extracted (it comes before the damage); "nothing": the archive is
# refused whole, before any entry is written.
hostile() {
    local label=$1 dll=$2 name=$3 want=$4 found
    shift 4
    n=$((n + 1))
    local dest=$work/case$n/dest log=$work/dialogs$n.txt
    mkdir -p "$dest"
    extract "$dll" "$h/$name" "$dest" --dialogs "$log" "$@"
    [ "$result" -ne 0 ] && [ "$result" -ne 100 ] || fail "$label: result $result: $(cat "$work/run.log")"
    told "$log" "$dll" "$name" || fail "$label: no message box of $dll naming $name (seen: $(iconv -f CP932 -t UTF-8 "$log" 2>/dev/null))"
    found=$(escapes; find "$work/case$n" -mindepth 1 -maxdepth 1 -not -name dest)
    [ -z "$found" ] || fail "$label: written outside the destination: $found"
    found=$(unexpected_in "$dest")
    [ -z "$found" ] || fail "$label: $found"
    if [ "$want" = good ] && ! [ "$(cat "$dest/good.txt" 2>/dev/null)" = good ]; then
        fail "$label: the good entry before the damage is missing"
    fi
    if [ "$want" = nothing ] && [ -n "$(ls -A "$dest")" ]; then
        fail "$label: written before the refusal: $(ls -A "$dest")"
    fi
    [ "$failures" -eq "${before:-0}" ] && pass "$label"
    before=$failures
    rm -rf "$work/case$n"
}

hostile "truncated ZIP" UnZip32.dll truncated.zip any
hostile "ZIP entry with a bad CRC" UnZip32.dll badcrc.zip good
# ARJ's CRC is checked by the project's own decoder: a stored entry with one byte changed.
mkdir -p "$work/arj" && printf 'good\n' > "$work/arj/good.txt" && seq 1 3000 > "$work/arj/damaged.txt"
(cd "$work/arj" && arj a -m0 -y "$h/badcrc.arj" good.txt damaged.txt > /dev/null)
python3 -c 'import sys; d = bytearray(open(sys.argv[1], "rb").read())
d[d.index(b"1500\n")] ^= 1
open(sys.argv[1], "wb").write(d)' "$h/badcrc.arj"
hostile "ARJ entry with a bad CRC" Unarj32j.dll badcrc.arj good
# 7z: cut short (its header is at the end), and a stored entry with one byte changed.
mkdir -p "$work/7z" && printf 'good\n' > "$work/7z/good.txt" && seq 1 3000 > "$work/7z/damaged.txt"
(cd "$work/7z" && 7zz a -bd -bso0 -m0=Copy "$h/badcrc.7z" good.txt damaged.txt > /dev/null)
head -c $(($(stat -c %s "$h/badcrc.7z") / 2)) "$h/badcrc.7z" > "$h/truncated.7z"
python3 -c 'import sys; d = bytearray(open(sys.argv[1], "rb").read())
d[d.index(b"1500\n")] ^= 1
open(sys.argv[1], "wb").write(d)' "$h/badcrc.7z"
hostile "truncated 7z" Tar32.dll truncated.7z any
hostile "7z entry with a bad CRC" Tar32.dll badcrc.7z good
# An ISO image whose Rock Ridge and Joliet names climb out: a name of the same length
# changed to "../escaped" in both.
mkdir -p "$work/iso" && printf 'good\n' > "$work/iso/good.txt" && printf 'bad\n' > "$work/iso/zzescapedz"
genisoimage -quiet -J -R -o "$h/dotdot.iso" "$work/iso" 2> /dev/null
python3 -c 'import sys; d = open(sys.argv[1], "rb").read()
for name, bad in ((b"zzescapedz", b"../escaped"), ("zzescapedz".encode("utf-16-be"), "../escaped".encode("utf-16-be"))):
    assert name in d
    d = d.replace(name, bad)
open(sys.argv[1], "wb").write(d)' "$h/dotdot.iso"
hostile "ISO with ../ names" Tar32.dll dotdot.iso good
hostile "LZH with ..\\ names" Unlha32.dll dotdot.lzh good
hostile "ZIP with ..\\ and ../ names" UnZip32.dll dotdot.zip good
hostile "tar with a ../ name" Tar32.dll dotdot.tar good
hostile "tar with an absolute Linux name" Tar32.dll absolute.tar good
hostile "ZIP with drive and root names" UnZip32.dll absolute.zip good
hostile "tar.gz with links that lead out" Tar32.dll links.tgz good
(cd "$work/outside" && zip -q -P right "$h/crypt.zip" secret.txt)
hostile "ZIP with a wrong password" UnZip32.dll crypt.zip any --password wrong

# ZIP archives refused whole, as Info-ZIP's unzip refuses them, each box saying why: entries
# whose data overlap (100 entries over one 10 MiB stream; an entry that holds the next one),
# and the last part of a split archive.
says() {  # <text> [dialog log]: the last case's box holds text
    iconv -f CP932 -t UTF-8 "${2:-$work/dialogs$n.txt}" 2>/dev/null | grep -qF "$1" ||
        fail "case $n: the box does not say \"$1\": $(iconv -f CP932 -t UTF-8 "${2:-$work/dialogs$n.txt}" 2>/dev/null)"
}
hostile "ZIP overlapping-entry bomb" UnZip32.dll overlap.zip nothing
says "書庫が壊れています (100 個のファイルのデータがほかのファイルと重なっています"
hostile "ZIP entry whose data holds the next entry" UnZip32.dll overlap-quoted.zip nothing
says "2 個のファイルのデータがほかのファイルと重なっています"
head -c 300000 /dev/urandom > "$work/random.bin"
(cd "$work" && zip -q -s 64k "$h/split.zip" random.bin)
hostile "last part of a split ZIP" UnZip32.dll split.zip nothing
says "分割された ZIP 書庫の最後の部分です。分割書庫には対応していません"
# An empty ZIP is no failure: result 0, and a box saying there was nothing to extract.
dest=$work/empty
extract UnZip32.dll "$h/empty.zip" "$dest" --dialogs "$work/empty.txt"
if [ "$result" -eq 0 ] && told "$work/empty.txt" UnZip32.dll empty.zip && [ -z "$(ls -A "$dest" 2>/dev/null)" ]; then
    says "空の ZIP 書庫です (ファイルがありません)" "$work/empty.txt"
    pass "empty ZIP: result 0 and a box"
else
    fail "empty ZIP: result $result, $(ls -A "$dest" 2>&1), dialogs: $(iconv -f CP932 -t UTF-8 "$work/empty.txt" 2>/dev/null)"
fi

# The bomb and the lying size: no failure needed, but the memory of the 32-bit process
# stays far below the data (64 and 32 MiB), and what is written is whole or absent.
# The process's floor (Wine's own 20 MiB, more where qemu runs 32-bit code) is measured
# first, on a tiny archive; an entry held whole would pass the floor by its size.
peak_memory() { tr -d '\r' < "$work/run.log" | sed -n 's/^peak working set \([0-9]*\) KiB$/\1/p'; }
(cd "$outside" && tar czf "$h/tiny.tgz" secret.txt)
extract Tar32.dll "$h/tiny.tgz" "$work/tiny" --memory
floor=$(peak_memory)
memory_limit=$((${floor:-0} + (16 << 10)))
echo "memory floor ${floor:-unknown} KiB, limit $memory_limit KiB"
dest=$work/bomb
extract Tar32.dll "$h/bomb.tgz" "$dest" --dialogs "$work/bomb.txt" --memory
if [ "$result" -eq 0 ] && [ "$(stat -c %s "$dest/zeros.bin" 2>/dev/null)" = $((64 << 20)) ] &&
    cmp -s -n $((64 << 20)) "$dest/zeros.bin" /dev/zero && [ ! -s "$work/bomb.txt" ]; then
    pass "gzip bomb extracted whole"
else
    fail "gzip bomb: result $result, $(ls -l "$dest" 2>&1): $(cat "$work/run.log")"
fi
peak=$(peak_memory)
if [ -n "$peak" ] && [ "$peak" -lt "$memory_limit" ]; then
    pass "gzip bomb: peak memory $peak KiB"
else
    fail "gzip bomb: peak memory ${peak:-unknown} KiB"
fi
rm -rf "$dest"

dest=$work/lying
extract UnZip32.dll "$h/lying.zip" "$dest" --dialogs "$work/lying.txt" --memory
if [ "$result" -eq 0 ]; then
    # Read whole, then the recorded size was taken for the lie it is.
    if [ "$(stat -c %s "$dest/bomb.bin" 2>/dev/null)" = $((32 << 20)) ] && [ ! -s "$work/lying.txt" ]; then
        pass "size field that lies: the whole entry, no message"
    else
        fail "size field that lies: result 0 but $(ls -l "$dest" 2>&1)"
    fi
elif told "$work/lying.txt" UnZip32.dll lying.zip && [ ! -e "$dest/bomb.bin" ]; then
    pass "size field that lies: refused with a message, no file"
else
    fail "size field that lies: result $result, $(ls -l "$dest" 2>&1), dialogs: $(cat "$work/lying.txt" 2>/dev/null)"
fi
peak=$(peak_memory)
if [ -n "$peak" ] && [ "$peak" -lt "$memory_limit" ]; then
    pass "size field that lies: peak memory $peak KiB"
else
    fail "size field that lies: peak memory ${peak:-unknown} KiB"
fi

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
