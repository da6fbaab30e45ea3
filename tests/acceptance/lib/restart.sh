# Following the program across a restart (a restore of the settings, a
# firmware update): the old process ends and a new one, not a child of the
# day, takes its place. Sourced by the days that need it, after day.sh.

# The running instances of the day's program, by the data root in their
# environment: every corvane process whose CORVANE_DATA_ROOT is the day's.
day_program_pids() {
  local environ pid exe
  for environ in /proc/[0-9]*/environ; do
    pid=${environ#/proc/}
    pid=${pid%/environ}
    exe=$(readlink "/proc/$pid/exe" 2>/dev/null) || continue
    [ "$exe" = "$(readlink -f "$BIN_DIR/corvane")" ] || continue
    tr '\0' '\n' <"$environ" 2>/dev/null | grep -qx "CORVANE_DATA_ROOT=$DAY/data" && echo "$pid"
  done
}

# PID has ended (a zombie of the day counts as ended).
process_gone() {
  local state
  state=$(awk '{ print $3 }' "/proc/$1/stat" 2>/dev/null) || return 0
  [ "$state" = Z ]
}

# A day's instance other than OLD runs; its pid goes to NEW_PID.
new_instance_runs() {
  local pid
  NEW_PID=
  for pid in $(day_program_pids); do
    if [ "$pid" != "$1" ] && ! process_gone "$pid"; then NEW_PID=$pid; fi
  done
  [ -n "$NEW_PID" ]
}

# After an action that restarts the program: the old instance must end and a
# new one come up; PROGRAM_PID then names the new one, whose main window and
# connection are awaited as program_start awaits them. MARK (log_mark from
# before the action) keeps an earlier connection from counting.
follow_restart() {
  local mark=$1 old=$PROGRAM_PID
  require 20 "the old instance ($old) ends" process_gone "$old"
  wait "$old" 2>/dev/null
  require 20 "a new instance of the program starts" new_instance_runs "$old"
  PROGRAM_PID=$NEW_PID
  note "the new instance is $PROGRAM_PID"
  require 30 "the new instance's main window shows" find_main
  require 30 "the new instance connects to the board" log_has "Communication OK" "$mark"
}

# --------------------------------------------- the configuration window
# Client-area position of the main window's "Configuration" button.
CONFIGURATION_BUTTON=(780 19)

# Opens the configuration window from the main window and gives it the keyboard.
open_configuration() {
  focus_main
  click_main "${CONFIGURATION_BUTTON[@]}"
  require 10 "the configuration window shows" find_window Configuration
  CONFIGURATION=$WINDOW
  xdotool windowactivate --sync "$CONFIGURATION" >/dev/null 2>&1
  require 10 "the configuration window has the keyboard" has_focus "$CONFIGURATION"
}
has_focus() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }

# The program's question box (titled "Corvane CNC") is up; answers it with KEY.
answer_question() {
  require 10 "the program asks" find_window "Corvane CNC"
  xdotool windowactivate --sync "$WINDOW" >/dev/null 2>&1
  require 5 "the question has the keyboard" has_focus "$WINDOW"
  key "$1"
}

# The value line after the name line NAME in the settings file FILE.
setting_in() { tr -d '\r' <"$1" | awk -v n="$2" 'found { print; exit } $0 == n { found = 1 }'; }
# The settings file FILE with the value of NAME replaced by VALUE, on stdout.
with_setting() {
  awk -v n="$2" -v v="$3" 'BEGIN { ORS = "" } next_value { print v "\r\n"; next_value = 0; next }
    { print $0 "\n"; if ($0 == n "\r") next_value = 1 }' "$1"
}

# Closes the program as a termination signal does (the closing steps run)
# and waits for it to end.
close_program() {
  local mark
  mark=$(log_mark)
  kill -TERM "$PROGRAM_PID"
  require 20 "the program ends" process_gone "$PROGRAM_PID"
  expect 0 "the program closed normally" log_has "CloseApp" "$mark"
  wait "$PROGRAM_PID" 2>/dev/null
  PROGRAM_PID=
}
