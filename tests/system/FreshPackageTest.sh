#!/usr/bin/env bash
# The README's one command, in a build folder made afresh as in a fresh clone:
#     cmake --build BUILD --target package
# must build what the package holds and pack it. Only the programs are built (no
# tests, no benchmarks), in Release, at the lowest priority so the other tests keep
# their pace. The package is then checked as package.lint and package.installed
# check the main build's.
# Usage: FreshPackageTest.sh SOURCE_DIR BUILD_DIR DRAWING
set -euo pipefail
source_dir=$1
build=$2
drawing=$3
here=$(cd "$(dirname "$0")" && pwd)
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
rm -rf "$build"
echo "configure $build"
nice -n 19 cmake -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=Release \
  -DCORVANE_WITH_TESTS=OFF -DCORVANE_WITH_BENCH=OFF >"$build.configure.log" 2>&1 ||
  fail "configure: $(tail -20 "$build.configure.log")"
echo "cmake --build $build --target package"
start=$SECONDS
CMAKE_BUILD_PARALLEL_LEVEL=$(nproc 2>/dev/null || echo 2) \
  nice -n 19 cmake --build "$build" --target package >"$build.build.log" 2>&1 ||
  fail "the package target: $(grep -E 'error|Error|cannot' "$build.build.log" | tail -20)"
echo "built and packed in $((SECONDS - start)) s"
debs=("$build"/package/corvane-cnc_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no package in $build/package: ${debs[*]}"
"$here/PackageLint.sh" "${debs[0]}"
"$here/PackageTest.sh" "${debs[0]}" "$drawing"
