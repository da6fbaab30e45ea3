# The firmware update from the configuration window's "bootloader" button.
# The board starts with a flash of zeros, so only an erase and a write can
# bring the image there. The update must end with "Firmware Update OK", the
# program must restart itself and connect again, and the flash read back
# through the board's bootloader must hold the bytes the program's image
# describes. No status request may reach the board while its bootloader is
# on the line.
. "$LIB/firmware.sh"
board_start
head -c 4096 /dev/zero >"$DAY/zeros.bin"
board "flash load $DAY/zeros.bin" >/dev/null
program_start
open_configuration
mark=$(log_mark)
frames=$(frames_mark)
press_bootloader
require 40 "the update writes the firmware" log_has "Corvane CNCFirmware Update OK" "$mark"
expect 0 "the update began with its own line" log_has " FirmWare UpDate\.\.\.$" "$mark"
# The frame log shows every request the board took; none while in its bootloader.
bootloader_took_requests() {
  frames_since "$frames" | awk '/reset pulse of .* bootloader/ { boot = 1 } /reset pulse of .* application/ { boot = 0 }
                                boot && $1 == "TX" { found = 1 } END { exit !found }'
}
expect 0 "no controller request reached the bootloader" not bootloader_took_requests
expect 0 "the start pulse ended the update" board_runs
expect 5 "the program restarts itself" log_has " Restart_App$" "$mark"
restarting=$(log_mark)
follow_restart
expect 30 "the new instance connects to the board" started_and_connected "$restarting"
expect 0 "it finds the firmware it carries: no second update" not log_has "FirmWare UpDate" "$restarting"

# The read-back: the program lets go of the board first.
program_kill
expected_flash "$DAY/expected.bin"
size=$(stat -c %s "$DAY/expected.bin")
require 30 "the flash is read back through the bootloader" read_flash "$DAY/flash.bin" "$size"
expect 0 "the flash holds the program's firmware image" cmp -s "$DAY/expected.bin" "$DAY/flash.bin"
expect 5 "the board runs its application again" board_runs
