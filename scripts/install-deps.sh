#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only when some are missing.
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-multimedia-dev
  libftdi1-dev libpolyclipping-dev libzip-dev libpugixml-dev libsdl2-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth openbox xdotool stm32flash
  x11-xserver-utils python3  # the acceptance days: xset for key repeat, the board's console client
  python3-tk  # the paste day: another program holding the X clipboard
  python3-shapely  # the corpus processing test: an outside polygon library checks kerf, leads and order
  libqt6opengl6-dev libgl1-mesa-dri  # corvane-3d: Qt's OpenGL module; OpenGL in software without a graphics driver
  imagemagick  # scripts/manual-screenshots.sh: import and convert take the manual's pictures
  dpkg-dev file lintian  # the Debian package: cpack finds its dependencies with dpkg-dev and file, lintian checks it
)
# Extra packages one script needs (scripts/fuzz.sh: clang).
read -r -a extra <<< "${CORVANE_EXTRA_PACKAGES:-}"
packages+=("${extra[@]+"${extra[@]}"}")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
