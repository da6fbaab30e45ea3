#!/usr/bin/env bash
# Takes screenshots of the way from a drawing to the job, driven as an operator
# would drive it: a display of its own with a window manager, real clicks and keys.
#   scripts/import-window-shots.sh [DRAWING] [OUTPUT_FOLDER]
# Shots: 1-import.png (the drawing previewed), 2-processed.png (loaded with kerf
# offset and leads), 3-question.png (when holes are too small for the tool),
# 3-main.png (the main window after "Send to job").
set -euo pipefail
cd "$(dirname "$0")/.."
drawing=${1:-$(realpath ../shared/corpus/dxf/irnas__Plasma.DXF)}
out=${2:-build/shots}
mkdir -p "$out"
root=$(mktemp -d)
display=:$((90 + RANDOM % 60))
Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $program $openbox $xvfb 2>/dev/null || true; rm -rf "$root"' EXIT
sleep 1
DISPLAY=$display openbox >/dev/null 2>&1 &
openbox=$!
sleep 1
DISPLAY=$display CORVANE_DATA_ROOT=$root CORVANE_PROGRAM_DIR=$PWD/build/share/corvane-cnc \
  build/bin/corvane --device=virtual >/dev/null 2>&1 &
program=$!
export DISPLAY=$display
shot() { xwd -root -display "$display" | convert xwd:- "$out/$1"; }
main=$(xdotool search --sync --name "Corvane CNC v" | head -1)
sleep 4
xdotool windowactivate --sync "$main"
. scripts/lib/import-window.sh
preview_drawing "$drawing"
shot 1-import.png
xdotool mousemove 60 780 click 1                           # "Load"
sleep 2
xdotool mousemove 1045 54 click 1                          # "Offset"
xdotool mousemove 1045 200 click 1                         # "LeadIn"
xdotool mousemove 1160 200 click 1                         # "LeadOut"
sleep 2
shot 2-processed.png
xdotool mousemove 1151 774 click 1                         # "Send to job"
sleep 2
# Holes smaller than the tool: the question names them; Return says yes.
if ! grep -aqh "Job from import" "$root"/CorvaneCNC/LOGS/*; then
  shot 3-question.png
  xdotool key Return
  sleep 2
fi
shot 3-main.png
grep -ah "Job from import" "$root"/CorvaneCNC/LOGS/* || { echo "no job was sent" >&2; exit 1; }
echo "screenshots in $out"
