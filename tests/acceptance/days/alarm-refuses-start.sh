# Start is refused while the external alarm holds. Input 2 is set to "Alarm"
# and the board's in2 is on from before the program starts. A click on START,
# then F5, must leave the board alone: no torch, no move asked for, the torch
# where it stood. Then the alarm is released and a key pressed, and the same
# click must start the job, which proves the refused clicks reached START.
config_setting eSpec11 4  # "In2 Mode": Alarm
board_start
board "input in2 on" >/dev/null
program_start
focus_main
start_lock
read_board
here=("$BX" "$BY" "$BZ")

# Moves or the torch asked of the board after MARK.
started_since() { sent_since "$1" "torch on" || sent_since "$1" "XY line" || sent_since "$1" "Z move"; }
# A start shows on the board within moments; a refused one leaves nothing there.
refused() {
  local what=$1 mark
  shift
  mark=$(frames_mark)
  "$@"
  sleep 2
  expect 0 "$what while the alarm holds asks the board for nothing" not started_since "$mark"
  expect 0 "$what while the alarm holds leaves the torch off where it stood" untouched
}
untouched() { board_at "${here[@]}" && [ "$TORCH" = off ]; }
refused "a click on START" click_main "${START_BUTTON[@]}"
key Escape  # a start that got through would run on under the next attempt
start_lock
refused F5 key F5
key Escape

board "input in2 off" >/dev/null
released=$(frames_mark)
# The key counts once the program has read the input off (status B carries it).
read_since() { frames_since "$1" | grep -q '^RX status B'; }
require 5 "the program reads the released input" read_since "$released"
key Escape
start_lock
mark=$(frames_mark)
click_main "${START_BUTTON[@]}"
expect 10 "with the alarm released START fires the torch" sent_since "$mark" "torch on"
key Escape
