# Esc mid-contour stops the board within one exchange, and F6 finishes. On
# each contour in turn, while the torch cuts its bottom edge, the program is
# frozen (SIGSTOP), Esc is pressed and the program thawed: so the key waits
# from the program's very next instant, and the board's frame log shows how
# many requests still came before the stop (command 200). At most one may;
# the exchange the freeze caught in flight does not count. Esc is let go once
# the stop is out. Each time the board must then stand with the torch off and
# the log say "Working stopped"; F6 resumes, and after the last contour the
# job must finish OK.
board_start
program_start
focus_main
start_lock

# Requests after the freeze and before the stop, less the one in flight.
before_stop() {
  local in_flight
  in_flight=$(head -n "$frozen" "$DAY/board.out" | awk '$1 == "TX" { last = $2 } END { print last }')
  requests_since "$frozen" | awk -v f="$in_flight" '$2 == "stop" { exit } $1 != f { n++ } END { print n + 0 }'
}
stopped() { board_idle && [ "$TORCH" = off ]; }

go=F5
for contour in 1 2 3; do
  mark=$(log_mark)
  key "$go"
  go=F6
  require 20 "the torch cuts contour $contour" cutting_contour "$contour"
  kill -STOP "$PROGRAM_PID"
  frozen=$(frames_mark)
  xdotool keydown Escape
  kill -CONT "$PROGRAM_PID"
  require 5 "the board is told to stop" sent_since "$frozen" stop
  xdotool keyup Escape
  late=$(before_stop)
  expect 0 "Esc on contour $contour: the stop follows within one exchange ($late requests before it)" test "$late" -le 1
  expect 10 "the board stands with the torch off" stopped
  require 10 "the job is stopped" log_has "Working stopped" "$mark"
  start_lock
done
mark=$(log_mark)
key F6
expect 30 "F6 finishes the job" log_has "Finish work OK" "$mark"
