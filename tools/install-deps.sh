#!/usr/bin/env bash
# Installs what building and testing Zibrak needs on Debian: the i686 cross compiler,
# Wine (32-bit), a headless X server, the Japanese locale and font, the Linux tools the
# tests use to write and read archives, clang's fuzzer runtime, and apt's source client,
# which fetches the codec libraries' sources. Quick when everything is there.
set -euo pipefail

packages=(cmake make g++-mingw-w64-i686-posix libz-mingw-w64-dev
          wine wine64 wine32:i386 xvfb xauth x11-apps x11-utils imagemagick
          locales fonts-ipafont-gothic
          unzip tar lhasa cabextract python3
          dpkg-dev clang libclang-rt-14-dev libarchive-dev libarchive-tools
          jlha-utils zip 7zip gcab arj ncompress xz-utils bzip2 gzip)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

locale_ok() { locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; }
# apt's source client needs deb-src entries; a fresh Debian often has only deb ones.
sources_ok() { grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; }

if [ ${#missing[@]} -eq 0 ] && locale_ok && sources_ok; then
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

if ! locale_ok; then
    $SUDO sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen
fi
