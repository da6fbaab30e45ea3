# The import window in the days: opened from the toolbar, placed and sized as
# a small screen would have it, clicked at positions in its client area.

# Client-area positions in the import window. A negative coordinate counts
# from the right or bottom edge: "Load" stands at the foot of the file
# column, "Send to job" at the foot of the option column, on any screen.
IMPORT_LOAD_AT=(40 -18)
IMPORT_SEND_AT=(-129 -24)

# Opens the import window from the main window's toolbar into IMPORT.
import_open() {
  click_main "${IMPORT_BUTTON[@]}"
  require 10 "the import window opens" find_window import
  IMPORT=$WINDOW
}

# The import window's client area in IMPORT_W x IMPORT_H.
import_size() {
  local WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$IMPORT" | grep -E '^(WIDTH|HEIGHT)=')"
  IMPORT_W=$WIDTH IMPORT_H=$HEIGHT
}

# A click at X Y of the import window's client area (negative: from the far edge).
click_import() {
  local x=$1 y=$2
  import_size
  (( x < 0 )) && x=$(( IMPORT_W + x ))
  (( y < 0 )) && y=$(( IMPORT_H + y ))
  xdotool mousemove --window "$IMPORT" "$x" "$y" click 1
}

# More positions in the client area: "Open..." at the top of the file
# column, the "Offset" box at the top of the option column.
IMPORT_OPEN_AT=(40 15)
IMPORT_OFFSET_AT=(-235 54)

# Previews the drawing FILE through "Open..." and its file dialog.
import_preview() {
  local mark
  mark=$(log_mark)
  click_import "${IMPORT_OPEN_AT[@]}"
  require 10 "the file dialog opens" find_window Open
  xdotool type --delay 5 "$1"
  xdotool key Return
  require 10 "the drawing is previewed" log_has "Preview: $(basename "$1")" "$mark"
}
