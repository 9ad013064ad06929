#!/usr/bin/env bash
# Installs what building and testing Zibrak needs on Debian: the i686 cross compiler,
# Wine (32-bit, with the TLS library its bcrypt needs), a headless X server, the Japanese locale and font, the Linux tools the
# tests use to write and read archives, clang's fuzzer runtime, and apt's source client,
# which fetches the codec libraries' sources; and, on a host that runs no 32-bit code,
# qemu's user-mode emulator for 32-bit Wine. Quick when everything is there.
set -euo pipefail

# libgnutls30:i386 is a Recommends of Wine's that --no-install-recommends leaves out;
# without it Wine's bcrypt has no AES, PBKDF2 or HMAC, and UnZip32 reads no WinZip AES.
packages=(cmake make g++-mingw-w64-i686-posix libz-mingw-w64-dev
          wine wine64 wine32:i386 libgnutls30:i386 xvfb xauth x11-apps x11-utils imagemagick
          locales fonts-ipafont-gothic
          unzip tar lhasa cabextract python3
          dpkg-dev clang libclang-rt-14-dev libarchive-dev libarchive-tools
          jlha-utils zip 7zip gcab arj ncompress xz-utils bzip2 gzip
          zstd lz4 lzip genisoimage cpio binutils)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

locale_ok() { locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; }
# apt's source client needs deb-src entries; a fresh Debian often has only deb ones.
sources_ok() { grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; }

# Some hosts run 64-bit user code only: their kernel answers every 32-bit program, Wine's
# own loader among them, with "Exec format error". There the kernel hands 32-bit programs
# to qemu's user-mode emulator (binfmt_misc). Bookworm's qemu 7.2 takes about 50 s to start
# each Wine process (its page table walks on every mmap of Wine's address-space
# reservation); the backports' qemu starts one in about a second.
wine32_runs() { [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; }
binfmt=/proc/sys/fs/binfmt_misc
emulation_ok() { ! [ -x /usr/lib/wine/wine ] || wine32_runs; }

if [ ${#missing[@]} -eq 0 ] && locale_ok && sources_ok && emulation_ok; then
    exit 0
fi

SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo

# The source entries are the system's own Debian entries with deb-src in place of deb.
if ! sources_ok; then
    echo "Adding deb-src entries derived from the system's Debian entries"
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        grep -q 'debian' "$f" || continue
        sed -n 's/^Types:[[:space:]]*deb[[:space:]]*$/Types: deb-src/; p' "$f" |
            $SUDO tee "/etc/apt/sources.list.d/zibrak-src-$(basename "$f")" >/dev/null
    done
    if [ -f /etc/apt/sources.list ]; then
        grep -E '^deb[[:space:]]' /etc/apt/sources.list | sed 's/^deb/deb-src/' |
            $SUDO tee /etc/apt/sources.list.d/zibrak-src.list >/dev/null
    fi
    missing+=(dpkg-dev)  # forces the apt-get update below
fi

if [ ${#missing[@]} -ne 0 ]; then
    echo "Installing: ${missing[*]}"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $SUDO dpkg --add-architecture i386
    fi
    $SUDO apt-get update -q
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if ! wine32_runs; then
    . /etc/os-release
    backports=${VERSION_CODENAME:-bookworm}-backports
    if ! apt-cache policy qemu-user-static 2>/dev/null | grep -q "$backports"; then
        echo "Adding $backports, derived from the system's Debian entries, for qemu"
        # The first deb822 stanza of the release itself (not its security archive).
        for f in /etc/apt/sources.list.d/*.sources; do
            [ -f "$f" ] || continue
            awk -v RS= -v ORS='\n\n' -v c="$VERSION_CODENAME" -v s="$backports" '
                /Types:[^\n]*deb([ \n]|$)/ && $0 ~ ("Suites:[^\n]*" c) && !/security/ && !done {
                    sub(/Types:[^\n]*/, "Types: deb"); sub(/Suites:[^\n]*/, "Suites: " s)
                    print; done = 1 }' "$f" >/tmp/zibrak-backports.$$
            if [ -s /tmp/zibrak-backports.$$ ]; then
                $SUDO cp /tmp/zibrak-backports.$$ /etc/apt/sources.list.d/zibrak-backports.sources
                rm -f /tmp/zibrak-backports.$$
                break
            fi
            rm -f /tmp/zibrak-backports.$$
        done
        if [ ! -f /etc/apt/sources.list.d/zibrak-backports.sources ] && [ -f /etc/apt/sources.list ]; then
            grep -E '^deb[[:space:]].*debian' /etc/apt/sources.list | grep -v security | head -1 |
                awk -v s="$backports" '{ $3 = s; print }' |
                $SUDO tee /etc/apt/sources.list.d/zibrak-backports.list >/dev/null
        fi
        $SUDO apt-get update -q
    fi
    if ! dpkg-query -W -f='${Version}' qemu-user-static 2>/dev/null | grep -q bpo; then
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends \
            -t "$backports" qemu-user-static
    fi
    [ -f "$binfmt/register" ] || $SUDO mount -t binfmt_misc binfmt_misc "$binfmt"
    # F: the kernel opens the emulator now, so it is found inside any root or namespace.
    [ -f "$binfmt/qemu-i386" ] && echo -1 | $SUDO tee "$binfmt/qemu-i386" >/dev/null
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' |
        $SUDO tee "$binfmt/register" >/dev/null
    wine32_runs || { echo "32-bit Wine does not start, even under qemu" >&2; exit 1; }
    echo "32-bit programs run under qemu-i386 on this host"
fi

if ! locale_ok; then
    $SUDO sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen
fi
