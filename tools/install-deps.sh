#!/usr/bin/env bash
# Installs what building and testing Zibrak needs on Debian: the i686 cross compiler,
# Wine (32-bit), a headless X server, the Japanese locale and font, and the Linux tools
# the tests use to read the stand-in DLLs' archives. Quick when everything is there.
set -euo pipefail

packages=(cmake make g++-mingw-w64-i686-posix libz-mingw-w64-dev
          wine wine64 wine32:i386 xvfb xauth x11-apps x11-utils imagemagick
          locales fonts-ipafont-gothic
          unzip tar lhasa cabextract python3)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

locale_ok() { locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; }

if [ ${#missing[@]} -eq 0 ] && locale_ok; then
    exit 0
fi

SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo

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
