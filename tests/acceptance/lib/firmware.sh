# The firmware update as a service technician meets it: the configuration
# window's "bootloader" button, the firmware question of the connection, the
# board's flash read back through its bootloader. Sourced by the firmware days.

# The main window's "Configuration" button (SpeedButton32) and connection label.
CONFIGURATION_BUTTON=(790 19)
CONNECTION_LABEL=(-90 19)
# Screen positions once the configuration window stands at the top left
# corner at 1280 x 960: its "Electronics" tab and the "bootloader" button.
ELECTRONICS_TAB=(66 33)
BOOTLOADER_BUTTON=(803 523)

open_configuration() {
  click_main "${CONFIGURATION_BUTTON[@]}"
  require 10 "the configuration window shows" find_window Configuration
  place_configuration
}

# The configuration window at the top left corner on its "Electronics" tab.
place_configuration() {
  CONFIG=$WINDOW
  xdotool windowmove --sync "$CONFIG" 0 0 windowsize --sync "$CONFIG" 1280 960
  sleep 0.5
  xdotool mousemove "${ELECTRONICS_TAB[@]}"
  sleep 0.3
  xdotool click 1
  sleep 0.3
}

# A window that has just been moved and sized may take the first click at its
# old layout: the click is given again while the update has not begun.
press_bootloader() {
  local pressed
  pressed=$(log_mark)
  xdotool windowactivate --sync "$CONFIG" >/dev/null 2>&1
  xdotool mousemove "${BOOTLOADER_BUTTON[@]}"
  for _ in 1 2 3; do
    sleep 0.3
    xdotool click 1
    poll 2 log_has " FirmWare UpDate\.\.\.$" "$pressed" && return 0
  done
}

# The board's mode from its `state`: application, bootloader or unplugged.
board_mode() { board state | awk '$1 == "time" { print $5 }' | tr -d ','; }
board_runs() { [ "$(board_mode)" = application ]; }
board_in_bootloader() { [ "$(board_mode)" = bootloader ]; }

# The program as program_start runs it, for a day whose start asks a question
# before it connects: the main window shows, the connection is not awaited.
program_start_asking() {
  local store
  store=$(store_dir)
  mkdir -p "$store"
  [ -f "$store/store.fms" ] || write_settings
  [ -f "$store/temp.cnc" ] || python3 "$LIB/job.py" "$store/temp.cnc" "${JOB_SQUARES[@]}"
  env -u QT_QPA_PLATFORM CORVANE_DATA_ROOT="$DAY/data" CORVANE_PROGRAM_DIR="$PROGRAM_DIR" \
    CORVANE_SIM_CONTROL="$DAY/board.ctl" XDG_RUNTIME_DIR="$DAY/run" \
    "$BIN_DIR/corvane" --device="pty:$DAY/board" >>"$DAY/program.out" 2>&1 &
  PROGRAM_PID=$!
}

# A program's dialog titled TITLE shows; answered with KEYS.
answer_dialog() {
  local title=$1
  shift
  require 15 "the dialog \"$title\" shows" find_window "$title"
  xdotool windowactivate --sync "$WINDOW" >/dev/null 2>&1
  sleep 0.2
  key "$@"
}
type_into_dialog() {
  require 15 "the dialog \"$1\" shows" find_window "$1"
  xdotool windowactivate --sync "$WINDOW" >/dev/null 2>&1
  sleep 0.2
  xdotool type --delay 30 "$2"
  key Return
}

# After "Restart_App" the old instance ends and a new one, started with the
# same arguments, comes up: PROGRAM_PID and MAIN become the new one's.
old_instance_gone() { ! kill -0 "$OLD_PID" 2>/dev/null; }
new_instance() {
  local pid
  pid=$(pgrep -f -- "--device=pty:$DAY/board" | grep -vx "$OLD_PID" | head -n 1)
  [ -n "$pid" ] && PROGRAM_PID=$pid
}
follow_restart() {
  OLD_PID=$PROGRAM_PID
  require 30 "the program ends itself to restart" old_instance_gone
  wait "$OLD_PID" 2>/dev/null
  require 15 "a new instance of the program runs" new_instance
  require 30 "the new instance's main window shows" find_main
}

# A program started after log MARK (its title line) has connected since.
started_and_connected() {
  log_since "$1" | awk '/ Corvane CNC v / { started = 1 } started && / Communication OK$/ { ok = 1 } END { exit !ok }'
}

# The flash bytes the program's image describes: the .cfw file with the shift
# of its second block undone.
expected_flash() {
  python3 - "$PROGRAM_DIR/CorvaneCNC.cfw" "$1" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
for i in range(256, min(512, len(data))):
    data[i] = (data[i] - 0x55) % 256
open(sys.argv[2], "wb").write(data)
PY
}

# Reads the first SIZE flash bytes through the board's bootloader into FILE,
# as a technician does: stm32flash on the board's link, or the board's own
# `flash save` where stm32flash is not installed. The board is left running.
read_flash() {
  local file=$1 size=$2 link
  board bootloader >/dev/null || return 1
  if command -v stm32flash >/dev/null; then
    link=$(readlink -f "$DAY/board")
    stm32flash -m 8n1 -b 115200 -r "$file" -S "0x08000000:$size" "$link" >"$DAY/stm32flash.log" 2>&1 || return 1
  else
    note "stm32flash is not installed: the board's own copy of its flash is compared"
    board "flash save $file $size" >/dev/null || return 1
  fi
  board run >/dev/null
}
