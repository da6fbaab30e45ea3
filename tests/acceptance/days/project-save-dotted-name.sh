# "Save Project" under a name with a dot in it. The operator types
# flange_6.5mm into the save dialog: the project must be saved as
# flange_6.5mm.cvp2 in STORE (where "Open Project" lists it), starting with
# the job origin (20, 30 mm), and no file without the extension may appear.
. "$LIB/main-window.sh"
board_start
program_start
focus_main
click_main "${SAVE_BUTTON[@]}"
require 10 "the save dialog shows" find_window "Save Project"
xdotool windowactivate --sync "$WINDOW" >/dev/null 2>&1
xdotool type --delay 30 "flange_6.5mm"
key Return
store=$(store_dir)
expect 10 "the project is saved as flange_6.5mm.cvp2" test -s "$store/flange_6.5mm.cvp2"
expect 0 "no file is saved without the extension" not test -e "$store/flange_6.5mm"
expect 0 "its first record is the job origin 2000 3000" first_record_is "$store/flange_6.5mm.cvp2" 2000 3000
