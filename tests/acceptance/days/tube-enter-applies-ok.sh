# Enter in the tube panel's fields applies the "OK" of their tube. The
# operator opens the tube panel, types a corner radius of 50 mm into the
# 76.2 mm square profile and presses Enter: the radius is limited to half the
# side (38.1) and the tube becomes a profile. Then a pipe diameter of 4 mm and
# Enter: at least 5 mm, and the tube is a pipe. The settings saved at closing
# say so.
. "$LIB/main-window.sh"
. "$LIB/restart.sh"
board_start
program_start
focus_main
click_main "${TUBE_BUTTON[@]}"
sleep 0.3
type_into_field "${TUBE_RADIUS_FIELD[@]}" 50
key Return
sleep 0.3
close_program
store=$(store_dir)
expect 0 "Enter in the corner radius applied the profile's OK: radius 38.1 (got $(setting_in "$store/store.fms" xrR))" \
  test "$(setting_in "$store/store.fms" xrR)" = 38.1
expect 0 "the tube is a profile (cpipe $(setting_in "$store/store.fms" cpipe))" test "$(setting_in "$store/store.fms" cpipe)" = 0

program_start
focus_main
click_main "${TUBE_BUTTON[@]}"
sleep 0.3
type_into_field "${TUBE_DIAMETER_FIELD[@]}" 4
key Return
sleep 0.3
close_program
expect 0 "Enter in the diameter applied the pipe's OK: diameter 5 (got $(setting_in "$store/store.fms" xrD))" \
  test "$(setting_in "$store/store.fms" xrD)" = 5
expect 0 "the tube is a pipe (cpipe $(setting_in "$store/store.fms" cpipe))" test "$(setting_in "$store/store.fms" cpipe)" = 1
