# Holes smaller than the tool are not cut, so "Send to job" must ask first,
# naming how many: a plate with two 0.8 mm holes and one of 20 mm, kerf
# offset on, a 1 mm tool. The first answer, no, keeps the job
# (STORE/temp.cnc unchanged, "Send to job cancelled: 2 holes smaller than the
# tool are not cut"); the second, yes, sends it with the count in its log line.
. "$LIB/import.sh"
cat >"$DAY/holes.tap" <<'GCODE'
G0 X0 Y0
M3
G1 X100
G1 Y50
G1 X0
G1 Y0
M5
G0 X10 Y10
M3
G1 X10.8
G1 Y10.8
G1 X10
G1 Y10
M5
G0 X20 Y10
M3
G1 X20.8
G1 Y10.8
G1 X20
G1 Y10
M5
G0 X40 Y15
M3
G1 X60
G1 Y35
G1 X40
G1 Y15
M5
GCODE
board_start
program_start
focus_main
job=$(cksum <"$(store_dir)/temp.cnc")
import_open
import_preview "$DAY/holes.tap"
mark=$(log_mark)
click_import "${IMPORT_OFFSET_AT[@]}"
click_import "${IMPORT_LOAD_AT[@]}"
require 10 "the drawing is loaded" log_has "LoadFile: holes.tap" "$mark"
require 5 "the offset leaves the two small holes out" log_has "Offset: 2 contours smaller than the tool" "$mark"
# The question, answered no with Escape; clicked again at once if the click was lost.
ask() {
  if ! find_window "Corvane CNC" && find_window import; then click_import "${IMPORT_SEND_AT[@]}"; fi
  poll 1 find_window "Corvane CNC"
}
require 10 "\"Send to job\" asks first" ask
key Escape
expect 5 "no keeps the job and says why" \
  log_has "Send to job cancelled: 2 holes smaller than the tool are not cut" "$mark"
expect 0 "STORE/temp.cnc is still the day's job" test "$(cksum <"$(store_dir)/temp.cnc")" = "$job"
expect 3 "the import window stays open" find_window import
require 10 "\"Send to job\" asks again" ask
key Return
expect 5 "yes sends the job, naming the holes left uncut" \
  log_has "Job from import: .*; 2 holes smaller than the tool are not cut" "$mark"
expect 5 "STORE/temp.cnc holds the sent job" test "$(cksum <"$(store_dir)/temp.cnc")" != "$job"
