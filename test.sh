#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds everything and runs every test.
# Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/build.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc 2>/dev/null || echo 2)
ctest --test-dir build --output-on-failure -j"$jobs" "$@"
