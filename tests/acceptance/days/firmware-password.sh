# The firmware question of the connection goes through the setup password.
# The day's settings carry a password and a flashed version (eVer) older
# than the one the program carries, so the connection asks to update. Yes,
# then a wrong password: a message says so, the log too, no update runs and
# the board is not touched; the connection goes on. Connected again by two
# clicks on the connection label: Yes, the right password, and the update runs.
. "$LIB/firmware.sh"
config_setting eSpec5 4711
config_setting eVer 1.2.0
board_start
frames=$(frames_mark)
program_start_asking
answer_dialog "Corvane CNC" alt+y
type_into_dialog Setup wrong
answer_dialog "Corvane CNC" Return
expect 10 "the wrong password is logged" log_has " Setup: wrong password$"
expect 5 "no update without the password" log_has "no setup password given"
expect 15 "the connection goes on with the firmware the board runs" log_has " Communication OK$"
expect 0 "no update began" not log_has "FirmWare UpDate"
expect 0 "the board was never reset" not grep -q "reset pulse" <(frames_since "$frames")
require 30 "the main window shows" find_main

focus_main
click_main "${CONNECTION_LABEL[@]}"  # disconnect
sleep 1
mark=$(log_mark)
click_main "${CONNECTION_LABEL[@]}"  # connect: the question again
answer_dialog "Corvane CNC" alt+y
type_into_dialog Setup 4711
expect 40 "with the right password the update runs" log_has "Corvane CNCFirmware Update OK" "$mark"
follow_restart
expect 30 "the new instance connects to the board" started_and_connected "$mark"
