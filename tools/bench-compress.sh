#!/usr/bin/env bash
# The compression benchmark: builds, generates the corpus (once; kept in
# build/bench-compress/corpus), packs it with every stand-in writer under Wine and with
# the Linux archiver beside it, and prints one table with the goals. Judges nothing by its
# exit code. The table is also left in build/bench-compress/result.txt.
#   tools/bench-compress.sh [--rounds N] [--mb N] [--seed N] [--timeout SECONDS]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/tools/build.sh" >/dev/null

for tool in jlha lhasa zip unzip zipinfo gcab cabextract 7zz tar gzip bzip2 python3; do
    command -v "$tool" >/dev/null || echo "note: $tool is missing; its rows will say so" >&2
done

# shellcheck source=tools/wine-session.sh
source "$root/tools/wine-session.sh"
start_session headless
trap stop_session EXIT
python3 "$root/standins/bench/bench_compress.py" --root "$root" \
    --driver "$root/build/bin/standin_timed.exe" --standins "$root/build/standins" \
    --work "$root/build/bench-compress" "$@"
