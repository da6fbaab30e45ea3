#!/usr/bin/env bash
# Renews the operator sounds of the program folder: data/sounds/<language>/<name>.wav,
# one short spoken word each, 16 kHz mono 16-bit. The WAV files are kept in the
# repository, so only renewing them needs espeak-ng and sox
# (apt-get install espeak-ng sox).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
for tool in espeak-ng sox; do
  command -v "$tool" >/dev/null || { echo "make-sounds: $tool is missing" >&2; exit 1; }
done

# language folder, espeak-ng voice, then name=words for each sound the program plays.
say() {
  local folder=$1 voice=$2 name=$3 words=$4
  local dir="$root/data/sounds/$folder" tmp
  mkdir -p "$dir"
  tmp=$(mktemp --suffix=.wav)
  espeak-ng -v "$voice" -s 150 -w "$tmp" "$words"
  sox "$tmp" -r 16000 -c 1 -b 16 "$dir/$name.wav" silence 1 0.01 0.5% reverse silence 1 0.01 0.5% reverse
  rm -f "$tmp"
}

say English en Start "Start"
say English en Stop "Stop"
say English en XY0 "X Y zero"
say English en Z0 "Z zero"
say English en MatDet "Material"

say Polski pl Start "Start"
say Polski pl Stop "Stop"
say Polski pl XY0 "X Y zero"
say Polski pl Z0 "Z zero"
say Polski pl MatDet "Materiał"

ls -l "$root"/data/sounds/*/
