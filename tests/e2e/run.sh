#!/usr/bin/env bash
# Runs one end-to-end test script against the built program in a real X
# server: a private Xvfb at 96 dpi and a private session bus (for the
# accessibility bus), both gone when the script ends.
#   tests/e2e/run.sh PATH/TO/karvel tests/e2e/e2e_NAME.py
set -euo pipefail
unset DISPLAY
program=$(readlink -f "$1")
script=$(readlink -f "$2")
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT

source "$(dirname "$0")/xvfb.sh"
start_xvfb 1280x1024

export XDG_RUNTIME_DIR="$work/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
export KARVEL_PROGRAM="$program" KARVEL_WORK="$work"
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ENABLE_HIGHDPI_SCALING=0 QT_FONT_DPI=96
unset AT_SPI_BUS_ADDRESS SESSION_MANAGER
dbus-run-session -- /usr/bin/python3 "$script"
