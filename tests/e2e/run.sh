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

# A display number drawn at random, and kept only once the server on it is
# seen to be ours (1280x1024): a server in another sandbox of the same
# machine may hold a low number without its lock file being visible here.
start_xvfb() {
    local n
    n=$(shuf -i 200-899 -n 1)
    Xvfb ":$n" -screen 0 1280x1024x24 -dpi 96 -nolisten tcp 2>"$work/xvfb.log" &
    xvfb=$!
    for _ in $(seq 200); do
        kill -0 "$xvfb" 2>/dev/null || return 1
        if xdpyinfo -display ":$n" >"$work/xdpyinfo" 2>/dev/null; then
            grep -q "1280x1024 pixels" "$work/xdpyinfo" && { export DISPLAY=":$n"; return 0; }
            break
        fi
        sleep 0.05
    done
    kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null
    return 1
}
for _ in 1 2 3 4 5; do start_xvfb && break; done
[ -n "${DISPLAY:-}" ] || { echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }

export XDG_RUNTIME_DIR="$work/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
export KARVEL_PROGRAM="$program" KARVEL_WORK="$work"
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ENABLE_HIGHDPI_SCALING=0 QT_FONT_DPI=96
unset AT_SPI_BUS_ADDRESS SESSION_MANAGER
dbus-run-session -- /usr/bin/python3 "$script"
