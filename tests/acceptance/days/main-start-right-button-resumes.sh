# The right mouse button on START resumes a stopped job, as F6 does. The job
# is stopped with Esc while the torch cuts the second contour's bottom edge;
# a right click on START must fire the torch again where the cut stopped
# (not at the contour's start corner) and the job must finish OK.
. "$LIB/main-window.sh"
main_setting xFeed 3000
board_start
program_start
focus_main
start_lock
key F5
past_corner() { cutting_contour 2 && (( BY < ORIGIN[1] + 100 && BX > ORIGIN[0] + 4500 + 800 )); }
require 20 "the torch cuts the second contour's bottom edge" past_corner
mark=$(log_mark)
key Escape
require 10 "the job is stopped" log_has "Working stopped" "$mark"
require 10 "the board stands with the torch off" eval 'board_idle && [ "$TORCH" = off ]'
stopX=$BX
start_lock
click_main_button 3 "${START_BUTTON[@]}"
require 20 "the right button on START fires the torch again" torch_on
expect 0 "the cut resumes where it stopped, X $stopX (the torch fired at X $BX)" near_enough "$BX" "$stopX"
expect 40 "the job finishes" log_has "Finish work OK" "$mark"
