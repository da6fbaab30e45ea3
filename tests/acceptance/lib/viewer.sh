# The manual's and the log's viewer windows, for the days that open them.
# Sourced by a day after day.sh.

# Client-area positions (the toolbar as layoutToolbar lays it out; the
# configuration window's "Program" page, which the day opens on with
# eTabSheet 3).
MANUAL_BUTTON=(552 19)
CONFIGURATION_BUTTON=(799 19)
LOGS_BUTTON=(113 188)

# Clicks window WIN's client area at X Y.
click_in() { xdotool mousemove --window "$1" "$2" "$3" click 1; }

# Clicks WIN at X Y, then waits a second for CHECK...; again until it holds.
# A window just shown may not have laid out its page when the first click
# comes; a second click on the same button does no harm.
click_until() {
  local win=$1 x=$2 y=$3
  shift 3
  click_in "$win" "$x" "$y"
  poll 1 "$@"
}

# A visible window of the program whose title matches PATTERN (grep -E), in WINDOW.
find_titled() {
  local w
  WINDOW=
  for w in $(xdotool search --all --onlyvisible --pid "$PROGRAM_PID" --name . 2>/dev/null); do
    if xdotool getwindowname "$w" 2>/dev/null | grep -Eq -- "$1"; then WINDOW=$w; return 0; fi
  done
  return 1
}

# The window WIN has the keyboard (it came to the front).
has_focus() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }

# Opens the configuration window on its "Program" page, in CONFIGURATION.
open_configuration() {
  click_main "${CONFIGURATION_BUTTON[@]}"
  require 10 "the configuration window opens" find_window Configuration
  CONFIGURATION=$WINDOW
}

# The name of today's log file, as the program wrote it.
todays_log() { ls "$DAY/data/CorvaneCNC/LOGS" 2>/dev/null | tail -n 1; }
