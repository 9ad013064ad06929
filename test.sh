#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite under Wine, headless.
set -euo pipefail
cd "$(dirname "$0")"

./tools/install-deps.sh
./tools/build.sh

source tools/wine-session.sh
trap stop_session EXIT
start_session headless

cd build
ctest --output-on-failure -j2
