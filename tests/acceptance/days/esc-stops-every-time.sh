# Every Esc stops. The board answers after 2 to 8 ms, as an FTDI chip does, so
# the stop's exchanges outlast a quick tap of the key and its release comes
# while the stop is still being sent. Tapped on the first contour, Esc must
# stop the job; F6 resumes it, and tapped again on the second contour Esc must
# stop it again: the board's frame log shows a stop (command 200) after each
# tap, and the log "Working stopped" each time.
board_start
board "latency 2 8" >/dev/null
program_start
focus_main
go=F5
for contour in 1 2; do
  start_lock
  mark=$(log_mark)
  key "$go"
  go=F6
  require 20 "the torch cuts contour $contour" cutting_contour "$contour"
  tapped=$(frames_mark)
  key Escape
  require 5 "Esc tapped on contour $contour stops the board" sent_since "$tapped" stop
  require 10 "the job is stopped" log_has "Working stopped" "$mark"
done
