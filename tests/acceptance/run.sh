#!/usr/bin/env bash
# Acceptance days: the real program under Xvfb + openbox, driven by xdotool
# alone, against corvane-sim on its pseudo-terminal; judged by the board's
# `state` and frame log, the program's log and the files in STORE.
#
#   tests/acceptance/run.sh [--bin DIR] [--program-dir DIR] [--days DIR] [--keep] [DAY...]
#
# DAY names a file of the days folder (default tests/acceptance/days/) without
# ".sh"; none runs them all. --days: another folder of days (bench/window/
# holds the window's measured runs, which print figures and are no tests).
# --bin: where corvane and corvane-sim are (default build/bin); --program-dir:
# the program folder (default: share/corvane-cnc beside the bin folder);
# --keep: keep every day's folder (a failed day's is always kept).
# Exit status: 0 all passed, 1 a day failed, 77 the display tools are missing.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
LIB=$here/lib
DAYS=$here/days
BIN_DIR=$here/../../build/bin
PROGRAM_DIR=
keep=0
names=()
while (( $# )); do
  case $1 in
    --bin) BIN_DIR=$2; shift ;;
    --program-dir) PROGRAM_DIR=$2; shift ;;
    --days) DAYS=$(cd "$2" && pwd) || exit 1; shift ;;
    --keep) keep=1 ;;
    -h|--help) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) names+=("$1") ;;
  esac
  shift
done
BIN_DIR=$(cd "$BIN_DIR" && pwd) || exit 1
PROGRAM_DIR=${PROGRAM_DIR:-$BIN_DIR/../share/corvane-cnc}
PROGRAM_DIR=$(cd "$PROGRAM_DIR" && pwd) || exit 1

missing=()
for tool in Xvfb openbox xdotool; do command -v "$tool" >/dev/null || missing+=("$tool"); done
if (( ${#missing[@]} )); then
  echo "SKIP: acceptance days need Xvfb, openbox and xdotool (scripts/install-deps.sh installs them); missing: ${missing[*]}"
  exit 77
fi
for need in python3 "$BIN_DIR/corvane" "$BIN_DIR/corvane-sim"; do
  command -v "$need" >/dev/null || { echo "acceptance days: $need is missing" >&2; exit 1; }
done
if (( ! ${#names[@]} )); then
  for file in "$DAYS"/*.sh; do names+=("$(basename "$file" .sh)"); done
fi
for name in "${names[@]}"; do
  [ -f "$DAYS/$name.sh" ] || { echo "no day \"$name\" in $DAYS" >&2; exit 1; }
done

. "$LIB/day.sh"
RUN_DIR=$(mktemp -d "${TMPDIR:-/tmp}/corvane-days.XXXXXX")
trap display_down EXIT
trap 'kill -TERM "${DAY_PID:-}" 2>/dev/null; wait "${DAY_PID:-}"; exit 1' TERM INT
display_up || exit 1

failed=()
begun=$(now_us)
for name in "${names[@]}"; do
  echo "== $name"
  t0=$(now_us)
  run_day "$name"
  status=$?
  took=$(( ($(now_us) - t0) / 100000 ))
  if (( status == 0 )); then
    echo "PASS $name ($(( took / 10 )).$(( took % 10 )) s)"
    (( keep )) || rm -rf "${RUN_DIR:?}/$name"
  else
    echo "FAIL $name ($(( took / 10 )).$(( took % 10 )) s): the day's board, log and STORE are in $RUN_DIR/$name"
    failed+=("$name")
  fi
done
took=$(( ($(now_us) - begun) / 100000 ))
echo "${#names[@]} days, $(( ${#names[@]} - ${#failed[@]} )) passed, ${#failed[@]} failed, $(( took / 10 )).$(( took % 10 )) s"
if (( ! ${#failed[@]} && ! keep )); then rm -rf "$RUN_DIR"; fi
(( ! ${#failed[@]} ))
