#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Tests that need an X server
# start their own Xvfb, so no display is needed. Ends with CTest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
ctest --test-dir build --output-on-failure -j2 "$@"
