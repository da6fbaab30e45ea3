#!/usr/bin/env bash
# The Debian package as an operator's machine gets it: unpacked into a folder of
# its own, its programs must run from there, find their program folder beside
# their bin folder, and depend on the packages of every library they link.
# Usage: PackageTest.sh PACKAGE.deb DRAWING
set -euo pipefail

deb=$1
drawing=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/corvane-deb-XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
# Waits up to ten seconds for a command to succeed.
wait_for() {
  for _ in $(seq 100); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

[ -f "$deb" ] || fail "no package at $deb"
dpkg-deb -x "$deb" "$work/root"
usr=$work/root/usr
program_folder=$usr/share/corvane-cnc
# The programs must find their folder by where they are, not by a variable.
unset CORVANE_PROGRAM_DIR

echo "control fields and dependencies"
[ "$(dpkg-deb -f "$deb" Package)" = corvane-cnc ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Architecture)" = "$(dpkg --print-architecture)" ] || fail "architecture"
version=$(dpkg-deb -f "$deb" Version)
depends=$(dpkg-deb -f "$deb" Depends)
changelog=$usr/share/doc/corvane-cnc/changelog.gz
[ -f "$changelog" ] || fail "no changelog"
latest=$(gzip -dc "$changelog" | sed -n '1s/^corvane-cnc (\([^)]*\)).*/\1/p')
[ "$latest" = "$version" ] || fail "the changelog's latest entry is \"$latest\", the package's version $version"
depended=$(tr ',|' '\n\n' <<<"$depends" | sed 's/^ *//; s/[ (].*//')
# Every library a program links, as "program soname path" (the path the loader takes).
linked=()
for program in corvane corvane-cli corvane-sim; do
  binary=$usr/bin/$program
  [ -x "$binary" ] || fail "usr/bin/$program is missing"
  for soname in $(readelf -d "$binary" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    linked+=("$program $soname $(ldd "$binary" | awk -v name="$soname" '$1 == name { print $3 }')")
  done
done
# Their packages, asked once under both names of a merged /usr.
declare -A owner_of
paths=()
for entry in "${linked[@]}"; do
  library=${entry##* }
  paths+=("/usr${library#/usr}" "${library#/usr}")
done
while IFS= read -r line; do
  owner_of[${line#*: }]=${line%%:*}
done < <(dpkg-query -S "${paths[@]}" 2>/dev/null || true)
for entry in "${linked[@]}"; do
  read -r program soname library <<<"$entry"
  owner=${owner_of[/usr${library#/usr}]:-${owner_of[${library#/usr}]:-}}
  [ -n "$owner" ] || fail "$program links $soname ($library), which no installed package holds"
  grep -qxF "$owner" <<<"$depended" ||
    fail "$program links $soname of $owner, which Depends lacks: $depends"
done

echo "desktop entry, icon and udev rule"
desktop=$usr/share/applications/corvane-cnc.desktop
[ -f "$desktop" ] || fail "no desktop entry"
command=$(sed -n 's/^Exec=//p' "$desktop")
[ -x "$usr/bin/${command%% *}" ] || fail "the desktop entry starts $command, not in the package"
icon=$(sed -n 's/^Icon=//p' "$desktop")
compgen -G "$usr/share/icons/hicolor/*/apps/$icon.*" >/dev/null || fail "no icon named $icon"
rules=$(compgen -G "$work/root/usr/lib/udev/rules.d/*.rules" ||
  compgen -G "$work/root/lib/udev/rules.d/*.rules") || fail "no udev rule"
grep -q 'ATTRS{product}=="Corvane CNC"' $rules || fail "the udev rule does not name the board's product string"

echo "corvane --version"
shown=$("$usr/bin/corvane" --version) || fail "corvane --version failed"
[[ $shown == "Corvane CNC $version"* ]] || fail "corvane shows \"$shown\" for package version $version"

echo "corvane-cli read"
if [ ! -f "$drawing" ]; then
  drawing=$work/square.plt
  printf 'IN;PU0,0;PD4000,0,4000,4000,0,4000,0,0;PU;' >"$drawing"
fi
summary=$("$usr/bin/corvane-cli" read "$drawing" --summary) || fail "corvane-cli read $drawing failed"
[[ $summary =~ ^summary:\ paths\ [1-9] ]] || fail "no paths read: $summary"

echo "corvane-sim"
"$usr/bin/corvane-sim" --no-stdin --control "$work/sim.sock" >"$work/sim.out" 2>&1 &
pids+=($!)
wait_for grep -qx ready "$work/sim.out" || fail "corvane-sim is not ready: $(cat "$work/sim.out")"

echo "corvane finds its program folder"
data=$work/data
store=$data/CorvaneCNC/Plasma/STORE
mkdir -m 700 "$work/run"
QT_QPA_PLATFORM=offscreen CORVANE_DATA_ROOT=$data XDG_RUNTIME_DIR=$work/run CORVANE_DEVICE=virtual \
  "$usr/bin/corvane" >"$work/corvane.out" 2>&1 &
program=$!
pids+=("$program")
# A first start makes the profile from the program folder's template and starts
# with the program folder's example job.
wait_for test -f "$store/temp.cnc" || fail "no job after start: $(cat "$data"/CorvaneCNC/LOGS/* "$work/corvane.out")"
cmp -s "$store/temp.cnc" "$program_folder/CorvaneCNC.cnc" || fail "temp.cnc is not the example job"
cmp -s "$store/advanced.txt" "$program_folder/store/advanced.txt" || fail "the profile is not the template"
kill -TERM "$program"
wait "$program" || fail "corvane ended with $? on SIGTERM"
grep -q CloseApp "$data"/CorvaneCNC/LOGS/* || fail "corvane did not close normally"
# Nothing the program looked for in its folder (example job, template, language) was missing.
missing=$(grep -E "Cannot read|not found" "$data"/CorvaneCNC/LOGS/*) && fail "$missing"
echo "ok"
