# The acceptance days' harness, sourced by run.sh. One X display with a window
# manager serves the whole run; each day gets a fresh data root, a fresh board
# (corvane-sim on its pseudo-terminal, frame log on) and the real program. The
# program is driven only through X: real focus, real key events, clicks at the
# documented layout. Verdicts come only from the board (its console `state`
# and frame log), the program's log file and the files in STORE.
#
# Needs from run.sh: BIN_DIR, PROGRAM_DIR, RUN_DIR, LIB.

# ---------------------------------------------------------------- the layout
# Client-area positions in the main window (1280 x 800 on the 1600 x 1000
# screen; MainWindow::layoutPanels and layoutToolbar). A negative coordinate
# counts from the right or bottom edge, as the job buttons are anchored there.
START_BUTTON=(-123 -18)
IMPORT_BUTTON=(225 18)
# In the import window, moved to the top left corner of the screen (screen
# positions, as scripts/lib/import-window.sh drives it).
IMPORT_LOAD=(60 780)
IMPORT_SEND=(1151 774)

# ------------------------------------------------------ the day's machine
# Settings written into STORE/store.fms before the first start, name and value
# in turn. One motor step is 0.01 mm on X, Y and Z (3200 steps per turn over
# 32 mm; 800 over 8 mm), so the board's `state` reads in program units; short
# ramps, a fast Z and a short pierce keep the day fast.
MAIN_SETTINGS=(cClose 1 cClose2 1 eTime 200 xFeed 4800 xFeed2 4800 xXM 20 xYM 30 xZM 20)
CONFIG_SETTINGS=(eStepX 3 eStepY 3 xMoveX 32 xMoveY 32 eStepZ 1 xMoveZ 8 eAccXY 10 eAccZ 10 xFeedMaxZ 6000)
# The job: three 30 mm squares, 15 mm apart, from the job origin (20, 30,
# 20 mm): contour k (from 1) is cut from (20 + 45 (k - 1), 30) mm along its
# bottom edge first. The way there from the board's start at 0, 0 is no 45°
# line: a board at 1234, 1234 reads like one that has just powered up.
JOB_SQUARES=(3 30 15)
ORIGIN=(2000 3000 2000)  # steps
FLOATING_HEIGHT=1270     # "Floating height" 12.7 mm, above the job origin's Z

main_setting() { MAIN_SETTINGS+=("$1" "$2"); }
config_setting() { CONFIG_SETTINGS+=("$1" "$2"); }

# ------------------------------------------------------------ waiting
now_us() { echo "${EPOCHREALTIME/./}"; }

# Runs CMD every 0.1 s until it succeeds or SECONDS have passed (0: once).
poll() {
  local end=$(( $(now_us) + $1 * 1000000 ))
  shift
  until "$@"; do
    (( $(now_us) < end )) || return 1
    sleep 0.1
  done
}

# A line of the day's account, with the seconds since the day began.
note() {
  local t=$(( ($(now_us) - DAY_BEGUN) / 100000 ))
  printf '  %3d.%d s  %s\n' $(( t / 10 )) $(( t % 10 )) "$*"
}
not() { ! "$@"; }

# A verdict: WHAT must come true within SECONDS; a failure is recorded with the
# evidence and the day goes on, so one run reports every fault it meets.
expect() {
  local seconds=$1 what=$2
  shift 2
  if poll "$seconds" "$@"; then
    note "ok: $what"
    return 0
  fi
  echo "FAILED: $what" >>"$DAY/failures"
  note "FAILED: $what" >&2
  evidence >&2
  return 1
}

# A step the rest of the day cannot do without: a failure ends the day.
require() { expect "$@" || exit 1; }

evidence() {
  echo "    board: $(board state 2>/dev/null | head -4 | tr '\n' ';')"
  echo "    log, last lines:"
  log_lines | tail -n 6 | sed 's/^/      /'
}

# ------------------------------------------------------------ the display
display_up() {
  Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$RUN_DIR/display" >"$RUN_DIR/xvfb.log" 2>&1 &
  XVFB_PID=$!
  poll 15 grep -qs . "$RUN_DIR/display" || { echo "the X server did not start" >&2; return 1; }
  export DISPLAY=":$(head -n 1 "$RUN_DIR/display")"
  openbox >"$RUN_DIR/openbox.log" 2>&1 &
  OPENBOX_PID=$!
  poll 15 wm_ready || { echo "the window manager did not start" >&2; return 1; }
  # Held keys repeat as on an operator's desk.
  if command -v xset >/dev/null; then xset r on; fi
}

wm_ready() { xdotool search --classname openbox >/dev/null 2>&1; }

display_down() {
  kill "${OPENBOX_PID:-}" "${XVFB_PID:-}" 2>/dev/null
  wait 2>/dev/null
}

# -------------------------------------------------------------- the board
board() { python3 "$LIB/board.py" "$DAY/board.ctl" "$@"; }

board_start() {
  "$BIN_DIR/corvane-sim" --link "$DAY/board" --control "$DAY/board.ctl" --no-stdin --log \
    >"$DAY/board.out" 2>&1 &
  BOARD_PID=$!
  require 10 "the board is ready" grep -q '^ready' "$DAY/board.out"
}

# One `state`: BX BY BZ (steps), QUEUE (fill, 0 = idle), TORCH (on/off).
read_board() {
  local s
  s=$(board state) || return 1
  read -r BX BY BZ _ < <(awk '$1 == "position" { print $2, $3, $4, $5 }' <<<"$s")
  QUEUE=$(awk '$1 == "queue" { print $2 + 0 }' <<<"$s")
  TORCH=$(awk '$1 == "status" { print $NF }' <<<"$s")
}

near() { (( $1 - $2 <= 2 && $2 - $1 <= 2 )); }
board_idle() { read_board && (( QUEUE == 0 )); }
torch_on() { read_board && [ "$TORCH" = on ]; }
# The board stands at X Y Z (steps, two steps either way for rounding).
board_at() { board_idle && near "$BX" "$1" && near "$BY" "$2" && near "$BZ" "$3"; }
board_z_at() { board_idle && near "$BZ" "$1"; }
# The torch burns on contour K (from 1) of the day's job, off its first point
# (a stop there, on the first contour, leaves no point to resume from).
cutting_contour() {
  local left=$(( ORIGIN[0] + ($1 - 1) * (JOB_SQUARES[1] + JOB_SQUARES[2]) * 100 )) side=$(( JOB_SQUARES[1] * 100 ))
  local bottom=${ORIGIN[1]}
  torch_on && (( BX >= left && BX <= left + side && BY >= bottom && BY <= bottom + side && BX + BY > left + bottom ))
}

# The frame log: every request the board took and its reply, one line each.
frames_mark() { wc -l <"$DAY/board.out"; }
frames_since() { tail -n "+$(( $1 + 1 ))" "$DAY/board.out"; }
# The requests after MARK, one line each ("#SEQ COMMAND PARAMS"); a retry (the
# same request again, counter included) counts once, as the board runs it once.
requests_since() { frames_since "$1" | awk '$1 == "TX" && $0 != last { last = $0; sub(/^TX /, ""); print }'; }
# How many requests after MARK are COMMAND (the board's name, e.g. "stop").
count_requests() { requests_since "$1" | awk -v c="$2" '{ n = $0; sub(/^#[0-9]+ /, "", n) } index(n, c) == 1 { k++ } END { print k + 0 }'; }
sent_since() { (( $(count_requests "$1" "$2") > 0 )); }

# ------------------------------------------------------------ the program
store_dir() { echo "$DAY/data/CorvaneCNC/Plasma/STORE"; }

log_lines() { cat "$DAY"/data/CorvaneCNC/LOGS/* 2>/dev/null | tr -d '\r'; }
log_mark() { log_lines | awk 'END { print NR }'; }
log_since() { log_lines | tail -n "+$(( $1 + 1 ))"; }
# PATTERN (grep -E) in a log line written after MARK (default: any).
log_has() { log_since "${2:-0}" | grep -Eq -- "$1"; }

write_settings() {
  printf '%s\r\n' "1:" "---------- Main Window ----------" "${MAIN_SETTINGS[@]}" \
    "3:" "---------- Configuration Window ----------" "${CONFIG_SETTINGS[@]}" >"$(store_dir)/store.fms"
}

program_start() {
  local store mark
  store=$(store_dir)
  mkdir -p "$store"
  [ -f "$store/store.fms" ] || write_settings
  [ -f "$store/temp.cnc" ] || python3 "$LIB/job.py" "$store/temp.cnc" "${JOB_SQUARES[@]}"
  mark=$(log_mark)
  env -u QT_QPA_PLATFORM CORVANE_DATA_ROOT="$DAY/data" CORVANE_PROGRAM_DIR="$PROGRAM_DIR" \
    CORVANE_SIM_CONTROL="$DAY/board.ctl" XDG_RUNTIME_DIR="$DAY/run" \
    "$BIN_DIR/corvane" --device="pty:$DAY/board" >>"$DAY/program.out" 2>&1 &
  PROGRAM_PID=$!
  require 30 "the main window shows" find_main
  require 30 "the program connects to the board" log_has "Communication OK" "$mark"
}

find_main() {
  MAIN=$(xdotool search --all --onlyvisible --pid "$PROGRAM_PID" --name '^Corvane CNC v' 2>/dev/null | head -n 1)
  [ -n "$MAIN" ]
}

program_kill() {
  kill -KILL "$PROGRAM_PID" 2>/dev/null
  wait "$PROGRAM_PID" 2>/dev/null
  PROGRAM_PID=
}

# Start is ignored for a second after the program starts and after every stop.
start_lock() { sleep 1.2; }

focus_main() {
  xdotool windowactivate --sync "$MAIN" >/dev/null 2>&1
  require 10 "the main window has the keyboard" main_has_focus
}
main_has_focus() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$MAIN" ]; }

key() { xdotool key "$@"; }
hold_key() {
  xdotool keydown "$1"
  sleep "$2"
  xdotool keyup "$1"
}

# Keeps every processor busy, as a build beside the program does, until calm_cpus.
busy_cpus() {
  local n
  n=$(nproc 2>/dev/null || echo 2)
  BUSY_PIDS=()
  for (( ; n > 0; n-- )); do
    yes >/dev/null &
    BUSY_PIDS+=($!)
  done
}
calm_cpus() {
  (( ${#BUSY_PIDS[@]} )) || return 0
  kill "${BUSY_PIDS[@]}" 2>/dev/null
  wait "${BUSY_PIDS[@]}" 2>/dev/null
  BUSY_PIDS=()
}

# Clicks the main window's client area at X Y (negative: from the right or bottom edge).
click_main() {
  local x=$1 y=$2 WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$MAIN" | grep -E '^(WIDTH|HEIGHT)=')"
  (( x < 0 )) && x=$(( WIDTH + x ))
  (( y < 0 )) && y=$(( HEIGHT + y ))
  xdotool mousemove --window "$MAIN" "$x" "$y" click 1
}

# A visible window of the program titled exactly TITLE, in WINDOW.
find_window() {
  WINDOW=$(xdotool search --all --onlyvisible --pid "$PROGRAM_PID" --name "^$1\$" 2>/dev/null | head -n 1)
  [ -n "$WINDOW" ]
}

# ---------------------------------------------------------------- a day
day_end() {
  local status=$?
  [ -s "$DAY/failures" ] && status=1
  if (( status != 0 )) && command -v xwd >/dev/null; then xwd -root -silent -out "$DAY/screen.xwd" 2>/dev/null; fi
  calm_cpus
  [ -n "${PROGRAM_PID:-}" ] && program_kill
  [ -n "${BOARD_PID:-}" ] && kill "$BOARD_PID" 2>/dev/null && wait "$BOARD_PID" 2>/dev/null
  exit "$status"
}

# Runs the day's file in a subshell of its own: fresh folders, fresh board.
# A run told to end (a test's time-out) ends the day first, which ends its
# program and board.
run_day() {
  (
    DAY=$RUN_DIR/$1
    DAY_BEGUN=$(now_us)
    BUSY_PIDS=()
    mkdir -p "$DAY/run" "$DAY/data"
    chmod 700 "$DAY/run"
    trap day_end EXIT
    trap 'exit 1' TERM INT
    # shellcheck source=/dev/null
    . "$DAYS/$1.sh"
  ) &
  DAY_PID=$!
  wait "$DAY_PID"
}
