# A held arrow key is one jog. The operator holds → for two seconds with the
# X server's auto-repeat on, on a machine whose processors are busy (a build
# beside the program), then lets go. The board must take one jog start (a
# "manual start" and its moves) while the key is down and no stop, then one
# stop after the release: never a stop and a new start per repeated key.
board_start
program_start
focus_main
read_board
x0=$BX
busy_cpus
held=$(frames_mark)
xdotool keydown Right
sleep 2
released=$(frames_mark)
xdotool keyup Right
calm_cpus
require 10 "the board stops after the release" sent_since "$released" stop
require 10 "the board stands still" board_idle
expect 0 "the jog moved the torch along X+ (X $x0 -> $BX)" test "$BX" -gt $(( x0 + 1000 ))
starts=$(count_requests "$held" "manual start")
stops_held=$(( $(count_requests "$held" stop) - $(count_requests "$released" stop) ))
expect 0 "one jog start for the whole hold ($starts)" test "$starts" -eq 1
expect 0 "no stop while the key is held ($stops_held)" test "$stops_held" -eq 0
expect 0 "one stop after the release ($(count_requests "$released" stop))" \
  test "$(count_requests "$released" stop)" -eq 1
