# "Load Config" with an archive of 60 000 small store entries beside a sound
# one, a second "advanced.txt" in capitals and a name with a control
# character. The operator clicks "Load Config" on the configuration window's
# "Program" page, types the archive's path into the file dialog and presses
# Enter: only the files a profile holds may land in STORE, once each; the rest
# is refused and counted in the log and the message; the program goes on.
. "$LIB/viewer.sh"
LOAD_CONFIG_BUTTON=(536 216)
config_setting eTabSheet 3
board_start
archive="$DAY/config.zip"
python3 - "$archive" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    z.writestr("STORE/advanced.txt", "MaxTime=5\r\n")
    z.writestr("STORE/ADVANCED.TXT", "the same file again\r\n")
    z.writestr("STORE/temp\x01.cnc", "x")
    for i in range(60000):
        z.writestr("STORE/f%d.txt" % i, "x")
PY
program_start
focus_main
open_configuration
mark=$(log_mark)
require 10 "the file dialog \"Load Config\" shows" \
  click_until "$CONFIGURATION" "${LOAD_CONFIG_BUTTON[@]}" find_titled "^Load Config$"
sleep 0.5
xdotool type --delay 5 "$archive"
key Return
expect 30 "the archive is loaded with the strangers counted" \
  log_has "Load Config : 1 files from .*, 60002 entries refused" "$mark"
key Return
store=$(store_dir)
expect 0 "STORE holds no stranger" test "$(ls "$store" | grep -c '^f[0-9]')" = 0
expect 0 "advanced.txt is the archive's, written once" \
  test "$(ls "$store" | grep -ci '^advanced\.txt$')" = 1 -a "$(tr -d '\r' <"$store/advanced.txt")" = MaxTime=5
expect 0 "the program still runs" kill -0 "$PROGRAM_PID"
