# The configuration window fits a 1024 x 768 screen: opened as the operator
# opens it, its client area is at most 1010 x 700 and, with the window
# manager's frame, it is no larger than the screen.
. "$LIB/paste.sh"
board_start
program_start
focus_main
config_open
eval "$(xdotool getwindowgeometry --shell "$CONFIG" | grep -E '^(WIDTH|HEIGHT)=')"
read -r left right top bottom < <(xprop -id "$CONFIG" _NET_FRAME_EXTENTS |
  sed -n 's/.*= *//p' | tr ',' ' ')
outer_w=$(( WIDTH + ${left:-0} + ${right:-0} ))
outer_h=$(( HEIGHT + ${top:-0} + ${bottom:-0} ))
expect 0 "the client area ${WIDTH} x ${HEIGHT} is at most 1010 x 700" \
  test "$WIDTH" -le 1010 -a "$HEIGHT" -le 700
expect 0 "with its frame, ${outer_w} x ${outer_h}, it fits 1024 x 768" \
  test "$outer_w" -le 1024 -a "$outer_h" -le 768
