# Start-up: from the program's launch to its main window on the screen, beside
# a bare Qt window launched the same way in the same run (the best of three
# each). Nothing in between waits on a timer: the data root's write test runs
# at once and the splash slides out over the main window (a fixed half second
# after the splash made the start nearly twice the bare window's).
. "$LIB/rest.sh"
board_start
mkdir -p "$(store_dir)"
write_settings
python3 "$LIB/job.py" "$(store_dir)/temp.cnc" "${JOB_SQUARES[@]}"
bare=() program=()
for round in 1 2 3; do
  if [ -x "$BIN_DIR/bench_BareWindow" ]; then
    require 0 "the bare window shows" time_to_window '^Bare window$' "$BIN_DIR/bench_BareWindow"
    bare+=("$SHOWN_MS")
    stop_launched
  fi
  require 0 "the main window shows" time_to_window '^Corvane CNC v' \
    env -u QT_QPA_PLATFORM CORVANE_DATA_ROOT="$DAY/data" CORVANE_PROGRAM_DIR="$PROGRAM_DIR" \
    CORVANE_SIM_CONTROL="$DAY/board.ctl" XDG_RUNTIME_DIR="$DAY/run" \
    "$BIN_DIR/corvane" --device="pty:$DAY/board"
  program+=("$SHOWN_MS")
  stop_launched
done
PROGRAM_MS=$(median "${program[@]}")
note "start to main window: ${program[*]} ms (median $PROGRAM_MS)"
if (( ${#bare[@]} )); then
  BARE_MS=$(median "${bare[@]}")
  note "start to a bare Qt window: ${bare[*]} ms (median $BARE_MS)"
  expect 0 "the main window shows within 0.3 s of a bare window ($PROGRAM_MS against $BARE_MS ms)" \
    test "$PROGRAM_MS" -lt $(( BARE_MS + 300 ))
else
  expect 0 "the main window shows within 0.8 s ($PROGRAM_MS ms)" test "$PROGRAM_MS" -lt 800
fi
