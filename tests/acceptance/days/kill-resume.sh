# A program killed mid-cut resumes where the board left off. The job runs;
# while the torch cuts the second contour's first edge the program is killed
# (SIGKILL) and the board runs out what it had queued. Started again, the
# program asks to resume; on Yes the board's head must stand at the floating
# height (or above) with the torch off, and F6 must finish the job: "Finish work OK"
# (only logged when every contour from the first on was cut) and the torch
# fired again for the rest of the second contour and for the third.
# Slower cutting, so that the board's second of queued work ends inside the
# second contour when the kill comes on its bottom edge.
main_setting xFeed 3000
board_start
program_start
focus_main
start_lock
key F5
bottom_edge() { cutting_contour 2 && (( BY < ORIGIN[1] + 100 )); }
require 20 "the torch cuts the second contour's bottom edge" bottom_edge
program_kill
require 10 "the board runs out what it had queued" board_idle

mark=$(log_mark)
program_start
require 20 "the program asks to resume the job" log_has "The last job did not finish" "$mark"
require 10 "the question shows" find_window "Corvane CNC"
xdotool windowactivate --sync "$WINDOW" key y
require 10 "the resume is prepared" log_has "Resume prepared at contour 2" "$mark"
# After a crash the program cannot trust the material height it was left
# with, so it lifts by the floating height from where the head stands: at the
# floating height over the material or above it, never below.
lifted() { board_idle && (( BZ >= ORIGIN[2] + FLOATING_HEIGHT - 2 )) && [ "$TORCH" = off ]; }
expect 10 "the head stands at the floating height or above, Z >= $(( ORIGIN[2] + FLOATING_HEIGHT )), torch off" lifted

focus_main
start_lock
resumed=$(frames_mark)
key F6
expect 40 "F6 finishes the job" log_has "Finish work OK|Working stopped" "$mark"
expect 0 "every contour is cut: Finish work OK" log_has "Finish work OK" "$mark"
expect 0 "the torch fires for the second contour's rest and the third" \
  test "$(count_requests "$resumed" "torch on")" -ge 2
