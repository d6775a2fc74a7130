#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing the tool need,
# and only those that are not there yet. Runs as root, or through sudo when it is there.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ make pkg-config
  qt6-base-dev libgl-dev libvulkan-dev libxkbcommon-dev
  libsqlite3-dev libgtest-dev libgmock-dev libbenchmark-dev
  # run
  sqlite3 qt6-qpa-plugins
  # tests: real windows, accessibility, drags, desktop files
  xvfb xauth dbus dbus-x11 at-spi2-core python3-pyatspi python3-gi gir1.2-atspi-2.0
  xdotool x11-utils imagemagick desktop-file-utils shared-mime-info procps
  fonts-dejavu-core
  # tests: the drag source (GTK 3), icon rendering, XML checks
  gir1.2-gtk-3.0 librsvg2-bin libxml2-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then as_root=(); else as_root=(sudo); fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
