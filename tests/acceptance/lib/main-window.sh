# The main window's toolbar and tube panel for the days that use them, in
# client-area positions of the 1280 x 800 main window with English captions
# (MainWindow::layoutToolbar; the tube panel opens at 60, 60). Sourced after day.sh.

SAVE_BUTTON=(139 18)
TUBE_BUTTON=(925 18)
TUBE_WIDTH_FIELD=(325 84)
TUBE_RADIUS_FIELD=(325 140)
TUBE_DIAMETER_FIELD=(340 220)

# Clicks the main window's client area at X Y with mouse button BUTTON.
click_main_button() {
  local button=$1 x=$2 y=$3 WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$MAIN" | grep -E '^(WIDTH|HEIGHT)=')"
  (( x < 0 )) && x=$(( WIDTH + x ))
  (( y < 0 )) && y=$(( HEIGHT + y ))
  xdotool mousemove --window "$MAIN" "$x" "$y" click "$button"
}

# Replaces the text of the field at X Y by TEXT, as the operator does.
type_into_field() {
  xdotool mousemove --window "$MAIN" "$1" "$2" click 1
  key ctrl+a
  xdotool type --delay 30 "$3"
}

# The first record of FILE (two little-endian 32-bit integers) is X Y.
first_record_is() {
  [ "$(python3 -c 'import struct, sys; print(*struct.unpack("<ii", open(sys.argv[1], "rb").read(8)))' "$1" 2>/dev/null)" = "$2 $3" ]
}

# A and B (steps) lie within 1.5 mm of each other.
near_enough() { (( $1 - $2 <= 150 && $2 - $1 <= 150 )); }
