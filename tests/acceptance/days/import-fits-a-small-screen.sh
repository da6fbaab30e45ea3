# The import window on a 1024 x 768 screen: sized to 1010 x 700 (the screen
# less the window manager's frame and a panel), it must take that size, and
# the operator must reach "Load" and "Send to job" inside it: the example
# drawing loads and its job arrives in the program (the log line and a new
# STORE/temp.cnc).
. "$LIB/import.sh"
board_start
program_start
focus_main
mark=$(log_mark)
job=$(cksum <"$(store_dir)/temp.cnc")
import_open
xdotool windowmove --sync "$IMPORT" 0 0
xdotool windowsize --sync "$IMPORT" 1010 700
sized() { import_size && (( IMPORT_W <= 1010 && IMPORT_H <= 700 )); }
expect 3 "the import window takes 1010 x 700" sized
import_size
note "the import window's client area: $IMPORT_W x $IMPORT_H"
click_import "${IMPORT_LOAD_AT[@]}"
require 10 "the drawing is loaded with \"Load\"" log_has "LoadFile:" "$mark"
# A click at once after "Load" can be lost on the way (it comes faster than
# any hand): while the window stays open the operator clicks again.
send_job() {
  if find_window import; then click_import "${IMPORT_SEND_AT[@]}"; fi
  poll 1 log_has "Job from import" "$mark"
}
expect 10 "\"Send to job\" sends the job" send_job
new_job() { test "$(cksum <"$(store_dir)/temp.cnc")" != "$job"; }
expect 5 "STORE/temp.cnc holds the sent job" new_job
expect 3 "the import window closes" not find_window import
