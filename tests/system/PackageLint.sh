#!/usr/bin/env bash
# Prints the Debian package's size (the figure the README gives) and checks it with
# lintian --pedantic: any error fails, and so do the tags this package has mended
# (manual pages, hardening); the other warnings and notes are printed.
# Usage: PackageLint.sh PACKAGE.deb
set -euo pipefail
deb=$1
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
[ -f "$deb" ] || fail "no package at $deb"
bytes=$(stat -c %s "$deb")
echo "package $(basename "$deb"): $bytes bytes ($(awk -v b="$bytes" 'BEGIN { printf "%.2f", b / 1e6 }') MB)," \
  "installed size $(dpkg-deb -f "$deb" Installed-Size) KiB"
command -v lintian >/dev/null || fail "lintian is missing (scripts/install-deps.sh installs it)"
status=0
report=$(lintian --pedantic --display-info --display-experimental --tag-display-limit 0 --fail-on error "$deb" 2>&1) ||
  status=$?
report=$(grep -v '^running with root privileges' <<<"$report" || true)
echo "${report:-lintian: no tags}"
errors=$(grep '^E:' <<<"$report" || true)
[ -z "$errors" ] || fail "lintian errors:"$'\n'"$errors"
mended=$(grep -E ': (no-manual-page|hardening-[a-z-]+) ' <<<"$report" || true)
[ -z "$mended" ] || fail "manual pages or hardening missing:"$'\n'"$mended"
[ "$status" -eq 0 ] || fail "lintian ended with $status"
echo "ok"
