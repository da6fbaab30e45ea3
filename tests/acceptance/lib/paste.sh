# Clipboard and configuration-window helpers of the paste days.

# Another program offers TEXT on the X clipboard until clipboard_release, as
# an operator's editor or browser does after Ctrl+C (a withdrawn Tk window).
# The clipboard is never without an owner: the previous one goes only once the
# new one holds the text, and the program is given a moment to hear of it.
clipboard_hold() {
  local previous=${CLIPBOARD_PID:-}
  python3 - "$1" >"$DAY/clipboard.out" 2>&1 <<'PY' &
import sys, tkinter
root = tkinter.Tk()
root.withdraw()
root.clipboard_clear()
root.clipboard_append(sys.argv[1])
root.update()
print("holding", flush=True)
root.mainloop()
PY
  CLIPBOARD_PID=$!
  require 10 "the clipboard holds \"$1\"" grep -q '^holding' "$DAY/clipboard.out"
  if [ -n "$previous" ]; then
    kill "$previous" 2>/dev/null
    wait "$previous" 2>/dev/null
  fi
  sleep 0.3
}
clipboard_release() {
  [ -n "${CLIPBOARD_PID:-}" ] || return 0
  kill "$CLIPBOARD_PID" 2>/dev/null
  wait "$CLIPBOARD_PID" 2>/dev/null
  CLIPBOARD_PID=
}
clipboard_usable() { python3 -c 'import tkinter' 2>/dev/null; }

# The main window's "Configuration" button (client area), and its window.
CONFIG_BUTTON=(798 23)
config_open() {
  click_main "${CONFIG_BUTTON[@]}"
  require 10 "the configuration window shows" find_window Configuration
  CONFIG=$WINDOW
  xdotool windowactivate --sync "$CONFIG" >/dev/null 2>&1
  require 10 "the configuration window has the keyboard" \
    eval '[ "$(xdotool getwindowfocus 2>/dev/null)" = "$CONFIG" ]'
}

# The value line of NAME in section 3 of STORE/store.fms.
stored_config() {
  tr -d '\r' <"$(store_dir)/store.fms" |
    awk -v n="$1" 'NR % 2 == 1 { name = $0; next } name == "3:" { s = 1 } s && name == n { print; exit }'
}
stored_is() { [ "$(stored_config "$1")" = "$2" ]; }

# Alt+F4 on the main window: the program saves and ends.
program_close() {
  focus_main
  key alt+F4
  require 20 "the program ends" eval '! kill -0 "$PROGRAM_PID" 2>/dev/null'
  wait "$PROGRAM_PID" 2>/dev/null
  PROGRAM_PID=
}
