# Two updates that fail, from the configuration window's "bootloader" button:
# a bootloader that never answers (every attempt of the update) and a cable
# pulled in the middle of the write. Each ends with its log lines and a board
# that runs its application again (for the pulled cable: once it is back and
# the operator connects), and the program connected to it. No status request
# may reach the board while its bootloader is on the line.
. "$LIB/firmware.sh"
board_start
program_start
open_configuration

# Requests the board took while its bootloader was on the line, after MARK.
bootloader_took_requests() {
  frames_since "$1" | awk '/reset pulse of .* bootloader/ { boot = 1 } /reset pulse of .* application/ { boot = 0 }
                           boot && $1 == "TX" { found = 1 } END { exit !found }'
}

board "fault boot-silent on" >/dev/null
mark=$(log_mark)
frames=$(frames_mark)
press_bootloader
require 40 "the silent bootloader ends the update with its error" log_has "Corvane CNCFirmware Update Error$" "$mark"
expect 0 "no controller request reached the silent bootloader" not bootloader_took_requests "$frames"
expect 5 "the start pulse brought the board back to its application" board_runs
expect 10 "the program connects again after the failed update" log_has " Communication OK$" "$mark"
board "fault boot-silent off" >/dev/null

board "fault boot-drop at 2" >/dev/null
mark=$(log_mark)
frames=$(frames_mark)
press_bootloader
require 30 "the pulled cable ends the update" log_has " Boot connected err$" "$mark"
expect 5 "the log says the board is left in its bootloader" log_has "cannot be opened: the board stays in its bootloader" "$mark"
expect 0 "no controller request reached the bootloader" not bootloader_took_requests "$frames"
expect 0 "the board is cut off" [ "$(board_mode)" = unplugged ]
board plug >/dev/null
mark=$(log_mark)
focus_main
click_main "${CONNECTION_LABEL[@]}"
expect 15 "a click on the connection label starts the board's application" log_has "Start pulse: the board leaves its bootloader" "$mark"
expect 15 "and connects to it" log_has " Communication OK$" "$mark"
expect 5 "the board runs its application" board_runs
