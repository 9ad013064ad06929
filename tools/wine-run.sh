#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix and the Japanese locale.
# Used by CTest (as the cross-compiling emulator) and by the scripts.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${ZIBRAK_WINEPREFIX:-$here/build/wine}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko prompts; and no winemenubuilder, which would mirror the links Zibrak
# makes into the Linux desktop menus and hold them open while the tests delete them.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
exec wine "$@"
