#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite under Wine, headless.
set -euo pipefail
cd "$(dirname "$0")"

# Each phase's time goes to the log, so a slow CI run shows where its minutes went.
./tools/install-deps.sh
echo "test.sh: dependencies ready after ${SECONDS} s"
./tools/build.sh
echo "test.sh: built after ${SECONDS} s"

source tools/wine-session.sh
trap stop_session EXIT
start_session headless

cd build
ctest --output-on-failure -j2
