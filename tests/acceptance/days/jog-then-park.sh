# Jog, then F1 reaches the park position. Park position F1 is X 60, Y 50,
# Z 30 mm on the machine. The operator holds ↑ for a moment, lets go and
# presses F1: the board must end standing at the park position.
config_setting eF1x 60
config_setting ef1y 50
config_setting ef1z 30
board_start
program_start
focus_main
hold_key Up 0.5
require 10 "the jog ends" board_idle
require 0 "the jog moved the torch along Y+ (Y $BY)" test "$BY" -gt 0
key F1
expect 20 "the board arrives at the park position 6000 5000 3000 (steps)" board_at 6000 5000 3000
