#!/usr/bin/env bash
# Configures (once) and builds everything into build/: first the codec libraries the
# stand-in DLLs link (once per source version), then the project.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/tools/build-codecs.sh"
if [ ! -f "$root/build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$root/build" -G "Unix Makefiles" >/dev/null
fi
cmake --build "$root/build" -j"$(nproc)" -- --no-print-directory
