# The job cannot be replaced while it is cut. While the job cuts, a click on
# the toolbar's Import must be refused with a log line naming the import or
# the busy machine; should the import window open anyway, the operator loads
# the example drawing it shows and sends it to the job. No job may come from
# the import, STORE/temp.cnc must stay the day's job, and the running job must
# be cut to its end ("Finish work OK"). At rest afterwards the same click must
# open the import window, which proves the refused click reached the button.
board_start
program_start
focus_main
start_lock
job=$(cksum <"$(store_dir)/temp.cnc")
key F5
require 10 "the job starts cutting" torch_on
mark=$(log_mark)
click_main "${IMPORT_BUTTON[@]}"
load() {
  xdotool mousemove "${IMPORT_LOAD[@]}" click 1
  poll 1 log_has "LoadFile:" "$mark"
}
if poll 3 find_window import; then
  note "the import window opened while cutting: loading and sending a drawing"
  xdotool windowmove --sync "$WINDOW" 0 0
  poll 8 load && xdotool mousemove "${IMPORT_SEND[@]}" click 1 && poll 3 log_has "Job from import" "$mark"
fi
# The refusal names the import or the busy machine.
refusal_logged() { log_since "$mark" | grep -v "Job from import" | grep -Eqi "import|busy"; }
expect 0 "no job comes from the import while cutting" not log_has "Job from import" "$mark"
expect 0 "STORE/temp.cnc is still the day's job" test "$(cksum <"$(store_dir)/temp.cnc")" = "$job"
expect 0 "the refused import is logged" refusal_logged
# A job replaced under the runner is no day to watch to its end.
[ -s "$DAY/failures" ] && key Escape && exit 1
expect 30 "the job is cut to its end" log_has "Finish work OK" "$mark"
click_main "${IMPORT_BUTTON[@]}"
expect 10 "at rest the same click opens the import window" find_window import
