#!/usr/bin/env bash
# Cuts a pipe job and a rectangular-tube job in the real program against the
# simulated board `corvane-sim`, driven as an operator would drive it: a display
# of its own with a window manager, real clicks and keys.
#   scripts/rotary-shots.sh [OUTPUT_FOLDER]
# Shots: pipe-1-main.png (the pipe job sent), pipe-2-cut.png (after "Finish work OK"),
# pipe-3-3d.png (the 3D preview), profile-1-panel.png (the tube panel with the turning
# section), profile-2-main.png, profile-3-cut.png, profile-4-3d.png.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/shots}
mkdir -p "$out"
out=$(realpath "$out")
root=$(mktemp -d)
# One copy of the program per user: this run keeps its lock to itself.
export XDG_RUNTIME_DIR=$root/run
mkdir -m 700 "$XDG_RUNTIME_DIR"
display=:$((90 + RANDOM % 60))
program= sim= viewer=
Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $program $sim $openbox $xvfb 2>/dev/null || true; pkill -f "$root" 2>/dev/null || true; sleep 1; rm -rf "$root" 2>/dev/null || true' EXIT
sleep 1
export DISPLAY=$display
openbox >/dev/null 2>&1 &
openbox=$!
sleep 1
shot() { xwd -root -display "$display" | convert xwd:- "$out/$1"; }
log() { cat "$root"/CorvaneCNC/LOGS/* 2>/dev/null | tr -d '\r'; }
wait_log() {  # waits up to $2 seconds for the log line to stand ${3:-1} times
  for _ in $(seq "$2"); do [ "$(log | grep -c "$1")" -ge "${3:-1}" ] && return 0; sleep 1; done
  echo "\"$1\" never came" >&2; log | tail -20 >&2; return 1
}
start_program() {
  CORVANE_DATA_ROOT=$root CORVANE_PROGRAM_DIR=$PWD/build/share/corvane-cnc CORVANE_SIM_CONTROL=$root/board.ctl \
    build/bin/corvane --device=pty:"$root/board" >"$root/program.out" 2>&1 &
  program=$!
  main=$(xdotool search --sync --name "Corvane CNC v" | head -1)
  sleep 4
  xdotool windowactivate --sync "$main"
}
# Sets a stored field (name line, value line; CR LF) before the program starts.
store_set() {
  local file=$root/CorvaneCNC/Plasma/STORE/store.fms
  awk -v name="$1" -v value="$2" 'BEGIN { RS = "\r\n"; ORS = "\r\n" }
    take { $0 = value; take = 0 } $0 == name { take = 1 } { print }' "$file" >"$file.new"
  mv "$file.new" "$file"
}

build/bin/corvane-sim --link "$root/board" --control "$root/board.ctl" >"$root/sim.out" 2>&1 &
sim=$!
for _ in $(seq 20); do grep -q ready "$root/sim.out" && break; sleep 0.5; done

# A first start writes the settings; the fourth axis becomes the rotary axis.
start_program
xdotool key alt+F4
wait "$program" || true
store_set eFuncP 3
store_set xrD 60
store_set xrB 60
store_set xrH 40
store_set xrR 3
store_set cpipe 1

# G-code drawings: on the pipe a square and a slot; on the tube a frame wider
# than its top face, so that it runs round both corners.
cat >"$root/pipe.tap" <<'GCODE'
G0 X0 Y0
M3
G1 X30 Y0
G1 X30 Y20
G1 X0 Y20
G1 X0 Y0
M5
G0 X60 Y5
M3
G1 X120 Y5
G1 X120 Y12
G1 X60 Y12
G1 X60 Y5
M5
GCODE
cat >"$root/profile.tap" <<'GCODE'
G0 X0 Y0
M3
G1 X80 Y0
G1 X80 Y30
G1 X0 Y30
G1 X0 Y0
M5
GCODE

# Opens the import window and loads DRAWING into its editor.
. scripts/lib/import-window.sh
load_drawing() {
  preview_drawing "$1"
  xdotool mousemove 60 780 click 1                           # "Load"
  sleep 2
}
send_to_job() {
  xdotool mousemove 1151 774 click 1                         # "Send to job"
  sleep 2
  xdotool windowactivate --sync "$main"
}
# The import window's "3D" button: our viewer shows the drawing on the tube.
three_d() {
  xdotool mousemove 633 784 click 1                          # "3D"
  viewer=$(xdotool search --sync --name "data.3d" | head -1)
  xdotool windowactivate --sync "$viewer"
  sleep 3
  shot "$1"
  xdotool key alt+F4
  sleep 1
  xdotool search --name "^import$" windowactivate --sync
  xdotool key alt+F4                                         # the import window
  sleep 1
  xdotool windowactivate --sync "$main"
}
# A field of the tube panel: clicked, emptied and typed.
tube_field() {
  xdotool mousemove "$1" "$2" click 1
  xdotool key ctrl+a
  xdotool type "$3"
}

start_program
wait_log "Communication OK" 20
load_drawing "$root/pipe.tap"
send_to_job
shot pipe-1-main.png
xdotool key F5
wait_log "Finish work OK" 300
shot pipe-2-cut.png
load_drawing "$root/pipe.tap"
three_d pipe-3-3d.png

# The profile: 60 × 40 mm, corner radius 3 mm, set in the tube panel.
xdotool mousemove 925 38 click 1                             # "Tube"
sleep 1
tube_field 325 104 60
tube_field 325 132 40
tube_field 325 160 3
xdotool mousemove 325 188 click 1                            # the profile's "OK"
sleep 2
shot profile-1-panel.png
xdotool mousemove 487 272 click 1                            # "Exit"
load_drawing "$root/profile.tap"
send_to_job
shot profile-2-main.png
xdotool key F5
wait_log "Finish work OK" 300 2
shot profile-3-cut.png
load_drawing "$root/profile.tap"
three_d profile-4-3d.png
log | grep -E "Finish work OK|Assign:|Work time" || true
echo "screenshots in $out"
