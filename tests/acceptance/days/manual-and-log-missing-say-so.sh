# A program folder without its manual, and a day whose log cannot be read
# (a folder stands where the file was, so that the next log line cannot
# make the file again): each click must bring a message box (titled
# "Corvane CNC"), never silence, and the program goes on. The missing manual
# is also named in the log.
. "$LIB/viewer.sh"
config_setting eTabSheet 3
cp -r "$PROGRAM_DIR" "$DAY/program"
rm -rf "$DAY/program/doc"
PROGRAM_DIR=$DAY/program
board_start
program_start
focus_main
mark=$(log_mark)
click_main "${MANUAL_BUTTON[@]}"
expect 10 "a message box says the manual is missing" find_window "Corvane CNC"
message=$WINDOW
expect 0 "the log names the missing manual" log_has "No manual is installed: .*doc/manual.md is missing" "$mark"
expect 0 "no manual window shows" not find_window Manual
xdotool windowactivate --sync "$message" >/dev/null 2>&1
key Return
expect 5 "the message box closes" not find_window "Corvane CNC"
focus_main
open_configuration
log=$(todays_log)
rm -f "$DAY/data/CorvaneCNC/LOGS/$log"
mkdir "$DAY/data/CorvaneCNC/LOGS/$log"
expect 10 "a message box says today's log cannot be read" \
  click_until "$CONFIGURATION" "${LOGS_BUTTON[@]}" find_window "Corvane CNC"
expect 0 "no log window shows" not find_window "Log $log"
expect 0 "the program still runs" kill -0 "$PROGRAM_PID"
