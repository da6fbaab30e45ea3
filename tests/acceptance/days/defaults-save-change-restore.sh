# The operator's defaults come back after a change. In the configuration
# window (it opens on "Program", its first box "Imperial system ( INCHES )"
# has the keyboard) the operator saves all settings as default (Alt+S, OK),
# ticks the imperial box, starts saving as default again but cancels (the
# settings are saved, the defaults stay), then restores the defaults (Alt+D,
# OK): the program must start again on the defaults, metric.
. "$LIB/restart.sh"
board_start
program_start
store=$(store_dir)
open_configuration
key alt+s
answer_question Return
require 5 "store.org is written" test -f "$store/store.org"
expect 0 "the defaults are the settings (metric)" test "$(setting_in "$store/store.org" cImperial)" = 0

xdotool windowactivate --sync "$CONFIGURATION" >/dev/null 2>&1
require 5 "the configuration window has the keyboard again" has_focus "$CONFIGURATION"
key space
key alt+s
answer_question Escape
expect 5 "the change is saved" eval 'test "$(setting_in "$store/store.fms" cImperial)" = 1'
expect 0 "the defaults stay metric" test "$(setting_in "$store/store.org" cImperial)" = 0

xdotool windowactivate --sync "$CONFIGURATION" >/dev/null 2>&1
require 5 "the configuration window has the keyboard again" has_focus "$CONFIGURATION"
mark=$(log_mark)
key alt+d
answer_question Return
follow_restart "$mark"
expect 0 "the old instance did not close normally (no closing steps)" not log_has "CloseApp" "$mark"
expect 0 "the settings are the defaults again (metric)" test "$(setting_in "$store/store.fms" cImperial)" = 0
close_program
expect 0 "the new instance ran metric, as the defaults say" test "$(setting_in "$store/store.fms" cImperial)" = 0
expect 0 "the defaults are untouched" test "$(setting_in "$store/store.org" cImperial)" = 0
