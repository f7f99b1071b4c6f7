#!/usr/bin/env bash
# Instruction counts of the start-up, which unlike times stay the same on a
# busy machine: each of the three start-up benchmark programs runs once under
# callgrind on a private Xvfb, and the main thread's counts are split where
# the window is mapped and where its first paint is put on the screen.
# Prints, for each program, the main thread's instructions before mapping,
# from mapping to the first paint, and over the next seconds, with the
# libraries that took most before the first paint; then what the other
# threads ran over the whole run (work done beside the main thread, such as
# measuring a document, which the first paint may wait for). The callgrind
# files (one per thread) stay in OUT for callgrind_annotate.
#   bench/startup_profile.sh BUILD_DIR [OUT]
set -euo pipefail
build=$(readlink -f "${1:-build}")
out=$(readlink -f "${2:-$(mktemp -d)}")
mkdir -p "$out"
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
source "$(dirname "$(readlink -f "$0")")/three-windows.sh"

for i in 0 1 2; do
    rm -f "$out/${names[$i]}".*
    # Dumps before the window is mapped and before the first flush of its
    # backing store to the screen; the last part runs until the program ends.
    "$build/bench/time_to_mapped" 6 "${titles[$i]}" /usr/bin/valgrind --tool=callgrind --separate-threads=yes \
        --dump-before=xcb_map_window --dump-before='QBackingStore::flush*' \
        --callgrind-out-file="$out/${names[$i]}.%p" "${programs[$i]}" >/dev/null 2>"$work/log" \
        || { cat "$work/log"; exit 1; }
    sleep 1
done

/usr/bin/python3 - "$out" "${names[@]}" <<'PY'
import collections, glob, re, sys

def parse(path):
    """Instructions per object file in one callgrind dump (self cost)."""
    names, per_object, current, in_call = {}, collections.Counter(), None, False
    with open(path, errors='replace') as f:
        for line in f:
            m = re.match(r'(c?)ob=\((\d+)\)(?: (.*))?', line)
            if m:
                if m.group(3):
                    names[m.group(2)] = m.group(3).strip()
                if not m.group(1):
                    current = names.get(m.group(2))
                continue
            if line.startswith('calls='):
                in_call = True
                continue
            if line[:1].isdigit() or line[:1] in '+-*':
                if in_call:
                    in_call = False
                    continue
                parts = line.split()
                if len(parts) >= 2:
                    per_object[(current or '?').rsplit('/', 1)[-1]] += int(parts[1])
    return per_object

out = sys.argv[1]
for name in sys.argv[2:]:
    # NAME.PID-TT is thread TT's count to the end, NAME.PID.N-TT its Nth
    # part; the dumps split the main thread (01) only.
    files = glob.glob(f'{out}/{name}.*')
    main = [f for f in files if f.endswith('-01')]
    final = [f for f in main if re.fullmatch(rf'.*/{name}\.\d+-01', f)]
    parts = sorted((f for f in main if re.search(r'\.\d+\.\d+-01$', f)),
                   key=lambda f: int(f.rsplit('.', 1)[1].split('-')[0]))
    others = collections.Counter()
    for f in files:
        if re.search(r'-\d+$', f) and not f.endswith('-01'):
            others += parse(f)
    mapped = parse(parts[0]) if parts else collections.Counter()
    painted = parse(parts[1]) if len(parts) > 1 else collections.Counter()
    later = collections.Counter()
    for f in parts[2:] + final:
        later += parse(f)
    m, p, l, o = (sum(c.values()) / 1e6 for c in (mapped, painted, later, others))
    print(f'{name:9s} main thread: before mapped {m:7.1f} M   mapped to painted {p:7.1f} M   '
          f'to painted {m + p:7.1f} M   after {l:7.1f} M instructions')
    both = mapped + painted
    top = ', '.join(f'{k} {v / 1e6:.1f}' for k, v in both.most_common(8))
    print(f'          to painted by library (M): {top}')
    print(f'          other threads, whole run: {o:7.1f} M instructions')
PY
