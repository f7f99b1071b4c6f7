# Sourced by the start-up benchmarks: a private X server at 96 dpi, and the
# three programs they start, with their window titles: a bare Qt window,
# the Japanese-text window (the floor) and the exam window. Needs $build and
# $work.
source "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/../tests/e2e/xvfb.sh"
start_xvfb 1280x1024
export QT_QPA_PLATFORM=xcb DBUS_SESSION_BUS_ADDRESS=disabled:
export XDG_RUNTIME_DIR="$work/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"

names=(bare japanese exam)
programs=("$build/bench/bare_window" "$build/bench/japanese_window" "$build/karvel")
titles=('bare window' 'japanese window' '問題 （Karvel）')
