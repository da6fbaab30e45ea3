# Without a board the main window says so in colours that agree: "No USB
# device" stays red (screenshots over three seconds, through the blink's
# ticks), and the "Status" link is never green while the board is not
# connected: it shows in the orange of "USB Communication : --" (its text,
# "Status : --" and not "Status : OK", is the diagnostics tests' to judge).
. "$LIB/main-window.sh"
store=$(store_dir)
mkdir -p "$store"
write_settings
python3 "$LIB/job.py" "$store/temp.cnc" "${JOB_SQUARES[@]}"
env -u QT_QPA_PLATFORM CORVANE_DATA_ROOT="$DAY/data" CORVANE_PROGRAM_DIR="$PROGRAM_DIR" \
  XDG_RUNTIME_DIR="$DAY/run" "$BIN_DIR/corvane" --device="pty:$DAY/no-board" >>"$DAY/program.out" 2>&1 &
PROGRAM_PID=$!
require 30 "the main window shows" find_main
require 10 "the program found no board" log_has "NoDev found|No USB device|Cannot open"
xdotool mousemove 0 999
sleep 1.5
for shot in 1 2 3 4 5 6; do
  expect 0 "screenshot $shot: the connection label is red" has_pixels red "${CONNECT_LABEL[@]}"
  sleep 0.5
done
expect 5 "the Status link is orange" has_pixels orange "${STATUS_LINK[@]}"
expect 0 "the Status link is not green" not has_pixels green "${STATUS_LINK[@]}"
