# A window that rests: with a job of a million vertices on the screen and
# nobody at the machine, the program keeps polling the board but paints
# nothing that has not changed. Its processor time over a few idle seconds
# stays a small part of one core (a view painted anew on every refresh took
# a third of one, 3 % without a job).
. "$LIB/rest.sh"
write_ring_job 1000 1000
board_start
program_start
# The job's first paint and the start-up settle first.
sleep 3
idle_cpu 6
note "idle with a 1 M-vertex job: $IDLE_CPU % of one core"
expect 0 "the idle program uses under 3 % of one core ($IDLE_CPU %)" below "$IDLE_CPU" 3

# And with no job at all.
program_kill
: >"$(store_dir)/temp.cnc"
program_start
sleep 2
idle_cpu 5
note "idle with no job: $IDLE_CPU % of one core"
expect 0 "the idle program without a job uses under 2 % of one core ($IDLE_CPU %)" below "$IDLE_CPU" 2
