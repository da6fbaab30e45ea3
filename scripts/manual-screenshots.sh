#!/usr/bin/env bash
# Takes the manual's pictures from the real program, driven as an operator
# drives it, against the simulated board corvane-sim: the acceptance days'
# display, board and program start (tests/acceptance/lib/day.sh), real keys
# and clicks, windows found by their titles. Run it again after the windows
# change and commit the pictures it writes.
#   scripts/manual-screenshots.sh [--bin DIR] [OUTPUT_FOLDER]
# Default output: docs/images. Needs Xvfb, openbox, xdotool and ImageMagick
# (import, convert); scripts/install-deps.sh installs them. The build must
# hold corvane and corvane-sim.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
BIN_DIR=$here/build/bin
out=$here/docs/images
while (( $# )); do
  case $1 in
    --bin) BIN_DIR=$(cd "$2" && pwd); shift ;;
    -h|--help) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) out=$1 ;;
  esac
  shift
done
for tool in Xvfb openbox xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/install-deps.sh" >&2; exit 1; }
done
mkdir -p "$out" && out=$(cd "$out" && pwd)
LIB=$here/tests/acceptance/lib
PROGRAM_DIR=$BIN_DIR/../share/corvane-cnc
RUN_DIR=$(mktemp -d "${TMPDIR:-/tmp}/corvane-shots.XXXXXX")
DAY=$RUN_DIR/shots
# shellcheck source=/dev/null
. "$LIB/day.sh"
# shellcheck source=/dev/null
. "$LIB/viewer.sh"
DAY_BEGUN=$(now_us)
mkdir -p "$DAY/run" "$DAY/data" && chmod 700 "$DAY/run"
finish() {
  [ -n "${PROGRAM_PID:-}" ] && program_kill
  [ -n "${BOARD_PID:-}" ] && kill "$BOARD_PID" 2>/dev/null && wait "$BOARD_PID" 2>/dev/null
  display_down
  if [ -s "$DAY/failures" ]; then
    echo "some pictures are missing; the run is kept in $RUN_DIR" >&2
  else
    rm -rf "$RUN_DIR"
  fi
}
trap finish EXIT

# The window WIN (its client area) as a small palette PNG NAME.
shot() {
  sleep "${3:-0.7}"  # the window has painted
  import -window "$1" png:- 2>/dev/null | convert png:- -resize '62%' -colors 32 -strip PNG8:"$out/$2" &&
    note "picture $2"
}
# The configuration window's page tabs (client positions).
tab() {
  local x
  case $1 in Electronics) x=67 ;; Machine) x=148 ;; Functions) x=227 ;; Program) x=305 ;; esac
  click_in "$CONFIGURATION" "$x" 32
}
close_window() { xdotool windowactivate --sync "$1" >/dev/null 2>&1; key alt+F4; sleep 0.5; }
STATUS_LINK=(340 -17)
TUBE_BUTTON=(924 19)

display_up || exit 1
config_setting eTabSheet 0
board_start
program_start
focus_main
shot "$MAIN" main-connected.png 5  # the splash has slid away

# Cutting the day's job, the stop and the point it resumes from.
start_lock
key F5
expect 15 "the job cuts" torch_on && sleep 2 && shot "$MAIN" main-cutting.png 0
key Escape
expect 10 "the machine stands" board_idle && shot "$MAIN" main-stopped.png

# The diagnostics report.
click_main "${STATUS_LINK[@]}"
shot "$MAIN" main-status.png
click_main "${STATUS_LINK[@]}"

# The import window with the example drawing, and the job it sends.
mark=$(log_mark)
click_main "${IMPORT_BUTTON[@]}"
if expect 10 "the import window opens" find_window import; then
  import=$WINDOW
  xdotool windowmove --sync "$import" 0 0
  sleep 1
  xdotool mousemove "${IMPORT_LOAD[@]}" click 1
  expect 10 "the drawing is loaded" log_has "LoadFile:" "$mark" && shot "$import" import-window.png 1.5
  xdotool mousemove "${IMPORT_SEND[@]}" click 1
  expect 10 "the job is sent" log_has "Job from import" "$mark" && shot "$MAIN" main-job.png 1.5
fi

# The manual in its own window.
focus_main
click_main "${MANUAL_BUTTON[@]}"
expect 10 "the manual's window shows" find_window Manual && shot "$WINDOW" manual-viewer.png 1 &&
  close_window "$WINDOW"

# The configuration window's pages, the special functions and today's log.
focus_main
open_configuration
xdotool windowmove --sync "$CONFIGURATION" 20 20
shot "$CONFIGURATION" config-electronics.png 1.5
for page in Machine Functions Program; do
  tab "$page"
  shot "$CONFIGURATION" "config-$(tr '[:upper:]' '[:lower:]' <<<"$page").png" 1
done
if expect 10 "the log's window shows" click_until "$CONFIGURATION" "${LOGS_BUTTON[@]}" find_window "Log .*"; then
  shot "$WINDOW" log-viewer.png 1
  close_window "$WINDOW"
fi
close_window "$CONFIGURATION"

# Rotary: the fourth axis as a rotary axis, and the tube panel.
focus_main
key alt+F4
poll 20 not kill -0 "$PROGRAM_PID"
PROGRAM_PID=
store=$(store_dir)/store.fms
awk 'BEGIN { RS = "\r\n"; ORS = "\r\n" } take { $0 = "3"; take = 0 } $0 == "eFuncP" { take = 1 } { print }' \
  "$store" >"$store.new" && mv "$store.new" "$store"
program_start
focus_main
sleep 1
click_main "${TUBE_BUTTON[@]}"
shot "$MAIN" main-rotary.png 1.5

[ -s "$DAY/failures" ] && exit 1
du -ch "$out"/*.png | tail -n 1
