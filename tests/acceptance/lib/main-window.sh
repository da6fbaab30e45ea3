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

# The connection label and the "Status" link (client area, 1280 x 800).
CONNECT_LABEL=(1090 6 180 26)
STATUS_LINK=(320 771 140 24)

# How many pixels of the main window's area X Y W H are of COLOUR: red,
# orange (255, 140, 0) or green (0, 128, 0), with some room for smoothing.
pixels_of() {
  local colour=$1 x=$2 y=$3 w=$4 h=$5 test
  case $colour in
    red) test='r>0.8 && g<0.3 && b<0.3' ;;
    orange) test='r>0.8 && g>0.4 && g<0.7 && b<0.2' ;;
    green) test='r<0.2 && g>0.4 && b<0.2' ;;
  esac
  import -window "$MAIN" -crop "${w}x${h}+${x}+${y}" +repage "$DAY/pixels.png" 2>/dev/null &&
    convert "$DAY/pixels.png" -fx "($test) ? 1 : 0" -format '%[fx:round(mean*w*h)]' info: 2>/dev/null
}
has_pixels() { (( $(pixels_of "$@" || echo 0) > 10 )); }
