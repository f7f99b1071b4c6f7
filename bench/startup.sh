#!/usr/bin/env bash
# Start-up of the exam window against two yardsticks measured in the same
# run: a bare Qt window, and the Japanese-text window (the same Qt libraries
# and font fallbacks as the program, two Japanese labels). For each, on a
# private Xvfb: the time from starting the process to its window being
# mapped, the time to its first paint reaching the screen, and the peak
# resident memory once it has been shown for two seconds. The three programs
# take turns, RUNS times, so that a busy machine slows them alike; prints
# each one's median and spread (range and interquartile range), and the exam
# window's ratios to the Japanese-text window.
#   bench/startup.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$(readlink -f "${1:-build}")
runs=${2:-15}
work=$(mktemp -d)
trap 'status=$?; kill $(jobs -p) 2>/dev/null || true; wait 2>/dev/null || true; grep -v XDG_RUNTIME "$work/stderr" 2>/dev/null | sort | uniq -c | head -5 || true; rm -rf "$work"; exit $status' EXIT
source "$(dirname "$(readlink -f "$0")")/three-windows.sh"

# One warm-up start each, so that every program finds its files in the page cache.
for i in 0 1 2; do
    "$build/bench/time_to_mapped" 0 "${titles[$i]}" "${programs[$i]}" >/dev/null 2>>"$work/stderr"
done
for run in $(seq "$runs"); do
    for i in 0 1 2; do
        "$build/bench/time_to_mapped" 2 "${titles[$i]}" "${programs[$i]}" \
            >>"$work/${names[$i]}" 2>>"$work/stderr"
    done
done

# column FILE N: the Nth column of FILE, sorted.
column() { awk -v c="$2" '{print $c}' "$1" | sort -g; }
median() { column "$1" "$2" | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }
spread() { column "$1" "$2" | awk -v s="$3" '{v[NR]=$1/s} END {printf "%.1f-%.1f, IQR %.1f-%.1f", v[1], v[NR], v[int((NR+3)/4)], v[int((3*NR+3)/4)]}'; }

echo "medians of $runs runs (range, interquartile range)"
for name in "${names[@]}"; do
    printf '%-9s mapped %6.1f ms (%s)  painted %6.1f ms (%s)  peak %5.1f MB (%s)\n' "$name" \
        "$(median "$work/$name" 1)" "$(spread "$work/$name" 1 1)" \
        "$(median "$work/$name" 2)" "$(spread "$work/$name" 2 1)" \
        "$(awk -v k="$(median "$work/$name" 3)" 'BEGIN {print k / 1024}')" "$(spread "$work/$name" 3 1024)"
done
ratio() { awk -v a="$(median "$work/exam" "$1")" -v b="$(median "$work/japanese" "$1")" 'BEGIN {printf "%.2f", a / b}'; }
echo "exam / japanese: mapped $(ratio 1)x (target <= 1.25), painted $(ratio 2)x, peak memory $(ratio 3)x (target <= 1.20)"
