#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing the
# program need, skipping those already installed.
#   tools/install-deps.sh run    what building and running need
#   tools/install-deps.sh test   that, and what the tests need
set -euo pipefail

run_packages=(
    cmake ninja-build g++ pkg-config libx11-dev libxdamage-dev
    qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev qt6-qpa-plugins libgl-dev
    fonts-ipafont-gothic fonts-ipafont-mincho fonts-liberation
    dpkg-dev file
)
test_packages=(
    python3 python3-pil python3-numpy python3-matplotlib
    xvfb xdotool x11-utils imagemagick
    dbus dbus-x11 at-spi2-core python3-pyatspi
    faketime pulseaudio pulseaudio-utils sox
    clang-14 libclang-rt-14-dev
    lintian desktop-file-utils appstream weston qt6-wayland
)

wanted=("${run_packages[@]}")
[ "${1:-run}" = test ] && wanted+=("${test_packages[@]}")

missing=()
for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
