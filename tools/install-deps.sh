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
# Wanted for one tool each, without the many packages they recommend:
# hardening-check.
test_packages_alone=(devscripts)

wanted=("${run_packages[@]}")
alone=()
[ "${1:-run}" = test ] && wanted+=("${test_packages[@]}") && alone+=("${test_packages_alone[@]}")

# missing PACKAGE...: those not installed
missing() {
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
    done
}
mapfile -t missing < <(missing "${wanted[@]}")
mapfile -t missing_alone < <(missing "${alone[@]}")
[ ${#missing[@]} -eq 0 ] && [ ${#missing_alone[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]} ${missing_alone[*]}"
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
install=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq)
"${sudo[@]}" apt-get update -qq
[ ${#missing[@]} -eq 0 ] || "${install[@]}" "${missing[@]}"
[ ${#missing_alone[@]} -eq 0 ] || "${install[@]}" --no-install-recommends "${missing_alone[@]}"
