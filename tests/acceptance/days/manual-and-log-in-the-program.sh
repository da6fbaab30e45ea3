# The manual and today's log come up in windows of the program itself; the
# desktop has no browser or editor to hand them to. The operator clicks
# "Manual" on the toolbar: a window "Manual" must show and take the keyboard.
# Then, in the configuration window's "Program" page, "Logs": a window named
# after today's log file must show, and the program must go on running.
. "$LIB/viewer.sh"
config_setting eTabSheet 3
board_start
program_start
focus_main
mark=$(log_mark)
click_main "${MANUAL_BUTTON[@]}"
require 10 "the manual's window shows" find_window Manual
manual=$WINDOW
expect 5 "the manual's window has the keyboard" has_focus "$manual"
key alt+F4
expect 5 "the manual's window closes" not find_window Manual
focus_main
click_main "${MANUAL_BUTTON[@]}"
expect 10 "a second click shows the manual's window again" find_window Manual
key alt+F4
focus_main
open_configuration
log=$(todays_log)
require 0 "today's log exists ($log)" test -n "$log"
expect 10 "the window \"Log $log\" shows" click_until "$CONFIGURATION" "${LOGS_BUTTON[@]}" find_window "Log $log"
expect 5 "the log's window has the keyboard" has_focus "$WINDOW"
expect 0 "no fault was logged" not log_has "cannot be read|No manual|no viewer" "$mark"
expect 0 "the program still runs" kill -0 "$PROGRAM_PID"
