#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds the program and starts it.
# Arguments after an optional "--" go to the program: ./run.sh -- Wood --device=virtual
set -euo pipefail
cd "$(dirname "$0")"
./scripts/build.sh
[ "${1:-}" = "--" ] && shift
exec ./build/bin/corvane "$@"
