#!/usr/bin/env bash
# The long reliability runs, with their figures:
#  - a whole corpus drawing, processed with kerf and leads, cut over the
#    simulator's pseudo-terminal (replies 0.5-3 ms after their requests), once
#    without and once with injected faults (2 % lost replies, 1 % bad
#    checksums, 1 % late replies, a few refusals) and the cable pulled once
#    mid-job and the job resumed: commands, retries by kind, stray replies,
#    worst attempt and wall time, and the checks that the board carried out
#    every planned request exactly once, that the torch was never on away
#    from a contour and that every contour was cut;
#  - the same drawing in fake time with lost requests added to that mix;
#  - the board's run-out after the program is killed with SIGKILL mid-cut;
#  - the kill test of the file saves (settings, presets, job, project) with
#    SIGKILL at random moments, KILLS rounds (default 1000).
# usage: scripts/soak.sh [DRAWING] [LONG_DRAWING]
#   DRAWING: the terminal soak (default: the 226-contour box of the corpus)
#   LONG_DRAWING: the fake-time fault mix (default: the 1378-contour plasma sheet)
# environment: KILLS, RUNOUT_KILLS (default 5), SEED, CORVANE_BUILD_DIR (default build-rel)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${CORVANE_BUILD_DIR:-build-rel}
corpus=$root/../shared/corpus
[ -d "$corpus" ] || corpus=/work/shared/corpus
drawing=${1:-$corpus/dxf/irnas__trolley_mockup_laser_cut_box.dxf}
long=${2:-$corpus/dxf/irnas__Plasma.DXF}
./scripts/install-deps.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target test_reliability bench_RunOut corvane-sim
status=0
echo "== soak: $(basename "$drawing"), every contour"
CORVANE_SOAK_DRAWING=$drawing CORVANE_SOAK_CONTOURS=1000000 CORVANE_SOAK_SEED=${SEED:-7} \
  "$build/bin/test_reliability" --gtest_filter='Soak.*' --gtest_brief=1 || status=1
echo "== fault mix in fake time, lost requests too: $(basename "$long"), every contour"
CORVANE_SOAK_DRAWING=$long CORVANE_SOAK_CONTOURS=1000000 CORVANE_SOAK_SEED=${SEED:-7} \
  "$build/bin/test_reliability" --gtest_filter='LinkInStep.ALongJob*' --gtest_brief=1 || status=1
echo "== run-out after kill -9"
"$build/bin/bench_RunOut" "$corpus/dxf/irnas__Bottom_plate.DXF" "${RUNOUT_KILLS:-5}" || status=1
echo "== kill during saves: ${KILLS:-1000} rounds"
CORVANE_KILL_ROUNDS=${KILLS:-1000} "$build/bin/test_reliability" --gtest_filter='CrashSafety.*' --gtest_brief=1 ||
  status=1
exit $status
