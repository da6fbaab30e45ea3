# Shared by the screenshot scripts: drives the import window of the program
# whose main window is $main on $DISPLAY, as an operator would.

# Opens the import window from the toolbar and previews DRAWING in it.
preview_drawing() {
  xdotool mousemove --window "$main" 226 19 click 1          # "Import"
  import=$(xdotool search --sync --name "^import$" | head -1)
  xdotool windowmove --sync "$import" 0 0
  sleep 1
  xdotool mousemove 40 15 click 1                            # "Open..."
  xdotool search --sync --name "^Open$" >/dev/null
  xdotool type --delay 5 "$1"
  xdotool key Return
  sleep 2
}
