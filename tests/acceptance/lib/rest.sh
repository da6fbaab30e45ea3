# What the program costs while the operator only looks: processor time of the
# program over a stretch of wall time, and the big job that makes it show.

# Processor time (user + system) the process PID has used, in clock ticks.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# Percent of one core the program used over SECONDS of doing nothing, in IDLE_CPU.
idle_cpu() {
  local seconds=$1 ticks t0 c0 c1 t1
  ticks=$(getconf CLK_TCK)
  c0=$(cpu_ticks "$PROGRAM_PID")
  t0=$(now_us)
  sleep "$seconds"
  c1=$(cpu_ticks "$PROGRAM_PID")
  t1=$(now_us)
  IDLE_CPU=$(awk -v c="$(( c1 - c0 ))" -v k="$ticks" -v t="$(( t1 - t0 ))" \
    'BEGIN { printf "%.1f", 100 * (c / k) / (t / 1e6) }')
}
below() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }

# STORE/temp.cnc with COUNT rings of VERTICES vertices: a job of COUNT x VERTICES points.
write_ring_job() {
  local store
  store=$(store_dir)
  mkdir -p "$store"
  python3 "$LIB/rings.py" "$store/temp.cnc" "$1" "$2"
}

# Milliseconds from launching COMMAND... until a visible window of it titled
# like TITLE (a regular expression) is on the screen, in SHOWN_MS; the
# process is left running in LAUNCHED_PID.
time_to_window() {
  local title=$1 t0
  shift
  t0=$(now_us)
  "$@" >>"$DAY/program.out" 2>&1 &
  LAUNCHED_PID=$!
  SHOWN_MS=
  local end=$(( t0 + 30000000 ))
  while (( $(now_us) < end )); do
    if xdotool search --all --onlyvisible --pid "$LAUNCHED_PID" --name "$title" >/dev/null 2>&1; then
      SHOWN_MS=$(( ($(now_us) - t0) / 1000 ))
      return 0
    fi
    sleep 0.01
  done
  return 1
}
stop_launched() {
  kill "$LAUNCHED_PID" 2>/dev/null
  wait "$LAUNCHED_PID" 2>/dev/null
}
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
