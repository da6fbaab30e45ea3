# Pasted text passes a field's filter and range as typed text does. Another
# program puts "7x,5" on the clipboard; in the configuration window's Machine
# page the operator pastes it into "XY maximum speed" with Ctrl+V, then pastes
# 99999999999999 into "Acceleration XY ( RAMP )". After the program closes,
# store.fms holds the speed 75 (digits only) and the ramp the day began with,
# and the log names the refused ramp.
. "$LIB/paste.sh"
if ! clipboard_usable; then
  echo "SKIP: the clipboard helper needs python3's tkinter"
  exit 0
fi
board_start
program_start
focus_main
config_open
# The window opens on the Program page; Ctrl+Tab twice shows the Machine page
# at its first field, the X gear; Tab passes Y, Z (the rotary gear is off).
key ctrl+Tab ctrl+Tab
key Tab Tab Tab
clipboard_hold "7x,5"
key ctrl+a ctrl+v
# On to the ramp: hand and safety speed lie between.
key Tab Tab Tab
clipboard_hold "99999999999999"
mark=$(log_mark)
key ctrl+a ctrl+v
expect 5 "the refused ramp is logged" log_has 'eAccXY: "99999999999999" is outside 1 \.\. 1000; kept 10' "$mark"
clipboard_release
key alt+F4
program_close
expect 0 "store.fms holds the pasted speed as digits: 75 (got $(stored_config xFeedMaxXY))" stored_is xFeedMaxXY 75
expect 0 "store.fms keeps the ramp of 10 (got $(stored_config eAccXY))" stored_is eAccXY 10
