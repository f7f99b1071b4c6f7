#!/usr/bin/env bash
# Start-up against a bare Qt window: the time from starting the process to
# its window being mapped on a private Xvfb (polled every 5 ms), and the peak
# resident memory over two seconds shown; medians of RUNS runs.
#   bench/startup.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$(readlink -f "${1:-build}")
runs=${2:-9}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; grep -v XDG_RUNTIME "$work/stderr" 2>/dev/null | head -5; rm -rf "$work"' EXIT
Xvfb -displayfd 3 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp 3>"$work/display" 2>/dev/null &
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$work/display")" QT_QPA_PLATFORM=xcb DBUS_SESSION_BUS_ADDRESS=disabled:
export XDG_RUNTIME_DIR="$work/run"; mkdir -m 700 "$XDG_RUNTIME_DIR"

measure() { # program title
    local times=() rss=()
    for _ in $(seq "$runs"); do
        local t0 t1
        t0=$(date +%s%N)
        "$1" 2>>"$work/stderr" &
        local pid=$!
        until xdotool search --onlyvisible --name "$2" >/dev/null 2>&1; do
            kill -0 "$pid" 2>/dev/null || { echo "$1 ended before its window appeared"; exit 1; }
            sleep 0.005
        done
        t1=$(date +%s%N)
        sleep 2
        rss+=($(awk '/^VmHWM/ {print $2}' "/proc/$pid/status"))
        kill "$pid"
        wait "$pid" 2>/dev/null || true
        times+=($(( (t1 - t0) / 1000000 )))
    done
    local mt mr
    mt=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
    mr=$(printf '%s\n' "${rss[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
    printf '%-14s mapped after %4s ms (median of %s: %s)  peak RSS %s KB\n' \
        "$(basename "$1")" "$mt" "$runs" "${times[*]}" "$mr"
}

measure "$build/bench/bare_window" '^bare window$'
measure "$build/karvel" '^問題 （Karvel）$'
