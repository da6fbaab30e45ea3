#!/usr/bin/env bash
# Builds and runs one libFuzzer target (fuzz/<TARGET>.cpp) under AddressSanitizer
# and UndefinedBehaviorSanitizer for MINUTES minutes, in its own build folder
# (build-fuzz, with clang). TARGET "all" runs every target MINUTES each;
# "list" names them.
#   scripts/fuzz.sh dxf_reader 10
# Seeds: the shared corpus' files of the target's format (when there are any)
# and what earlier runs kept in build-fuzz/corpus/<TARGET>. A crash, a leak
# or a time-out is kept in build-fuzz/findings/<TARGET>/ and ends the run
# with a non-zero exit; the last lines print the runs and the findings.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${CORVANE_FUZZ_BUILD_DIR:-$root/build-fuzz}
corpus=$root/../shared/corpus
[ -d "$corpus" ] || corpus=/work/shared/corpus

targets() { for f in "$root"/fuzz/*.cpp; do basename "$f" .cpp; done; }
usage() { echo "usage: scripts/fuzz.sh TARGET|all|list MINUTES"; echo "targets: $(targets | tr '\n' ' ')"; }
[ $# -ge 1 ] || { usage; exit 2; }
if [ "$1" = list ]; then targets; exit 0; fi
[ $# -ge 2 ] || { usage; exit 2; }
minutes=$2
case "$minutes" in ''|*[!0-9.]*) usage; exit 2 ;; esac

if [ "$1" = all ]; then
  failed=0
  for t in $(targets); do "$0" "$t" "$minutes" || failed=1; done
  exit $failed
fi
target=$1
[ -f "$root/fuzz/$target.cpp" ] || { echo "no fuzz target \"$target\""; usage; exit 2; }

CORVANE_EXTRA_PACKAGES="clang" ./scripts/install-deps.sh
if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCORVANE_FUZZ=ON -DCORVANE_WITH_UI=OFF >/dev/null
fi
cmake --build "$build" -j2 --target "fuzz_$target" >/dev/null

# The shared corpus' files for the readers that take them.
seeds=()
case "$target" in
  dxf_reader) seeds=("$corpus/dxf" "$corpus/generated") ;;
  hpgl_reader|hpgl_round_trip) seeds=("$corpus/hpgl") ;;
  gcode_reader) seeds=("$corpus/gcode") ;;
  hex_convert) seeds=("$corpus/hex") ;;
  # A ZIP is hard to find from nothing: start from a few small archives.
  config_archive) seeds=("$root/fuzz/seeds/config_archive") ;;
esac
existing=()
for s in "${seeds[@]+"${seeds[@]}"}"; do [ -d "$s" ] && existing+=("$s"); done
work=$build/corpus/$target
findings=$build/findings/$target
mkdir -p "$work" "$findings"
log=$build/fuzz-$target.log
seconds=$(awk "BEGIN { printf \"%d\", $minutes * 60 }")
echo "fuzz_$target: $minutes min, seeds ${existing[*]:-none}"
set +e
ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  "$build/bin/fuzz_$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 -max_len=262144 \
  -print_final_stats=1 -artifact_prefix="$findings/" "$work" "${existing[@]+"${existing[@]}"}" >"$log" 2>&1
status=$?
set -e
runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*')
found=$(find "$findings" -type f | wc -l)
echo "fuzz_$target: ${runs:-?} runs, coverage ${cov:-?} edges, $(find "$work" -type f | wc -l) inputs kept, $found findings in $findings (exit $status)"
if [ $status -ne 0 ]; then
  grep -m1 -E 'ERROR: |runtime error|SUMMARY' "$log" || true
  echo "log: $log"
fi
exit $status
