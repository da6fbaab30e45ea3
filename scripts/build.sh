#!/usr/bin/env bash
# Configures and builds the whole project in build/ (Release). Shared by run.sh and test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build build -j"$jobs"
