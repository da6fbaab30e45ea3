# Yesterday's settings come back through the backups panel. Before the
# program starts, the store holds today's settings (cutting speed 4800) and
# yesterday's backup store.fm1 (cutting speed 3111, dated yesterday), and a
# last good job of two squares. The day's first start rotates the backups, so
# yesterday's settings move on to store.fm2 with their date. The operator
# opens "Backups Configuration" (Alt+B), picks the second file, presses Enter
# and confirms "Are You Suere ?" with Enter: the program must start again
# without saving, on the restored settings and with the last good job.
. "$LIB/restart.sh"
board_start
store=$(store_dir)
mkdir -p "$store"
write_settings
with_setting "$store/store.fms" xFeed 3111 >"$store/store.fm1"
touch -d "yesterday 12:00" "$store/store.fm1"
python3 "$LIB/job.py" "$store/LastGood.cnc" 2 40 10

program_start
require 0 "today's settings are loaded (cutting speed 4800)" test "$(setting_in "$store/store.fms" xFeed)" = 4800
expect 0 "the first start of the day moved yesterday's backup on to store.fm2" \
  test "$(setting_in "$store/store.fm2" xFeed)" = 3111
expect 0 "store.fm2 keeps yesterday's date" test "$(date -r "$store/store.fm2" +%F)" = "$(date -d yesterday +%F)"

open_configuration
key alt+b
sleep 0.5
key Down Down Return
mark=$(log_mark)
answer_question Return
expect 10 "the old instance logs its restart" log_has "Restart without saving" "$mark"
follow_restart "$mark"
expect 0 "the old instance did not close normally (no closing steps)" not log_has "CloseApp" "$mark"
expect 0 "the job is the last good one" cmp -s "$store/temp.cnc" "$store/LastGood.cnc"
# What the new instance saves when it closes is what it runs on.
close_program
expect 0 "the new instance ran on yesterday's cutting speed" test "$(setting_in "$store/store.fms" xFeed)" = 3111
