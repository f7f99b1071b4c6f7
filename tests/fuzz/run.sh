#!/bin/sh
# Builds the fuzz targets with clang in BUILD_DIR and runs them for SECONDS
# in all, each on a copy of its seed corpus: the RTF reader three quarters
# of the time, the wave reader the rest. Exits non-zero on a crash, a leak
# or a timeout; what failed is left in BUILD_DIR/fuzz-artifacts/.
#
#   tests/fuzz/run.sh BUILD_DIR SECONDS
set -eu

if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD_DIR SECONDS" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
source=$(cd "$here/../.." && pwd)
mkdir -p "$1"
build=$(cd "$1" && pwd)
seconds=$2

cmake -S "$source" -B "$build" -G Ninja \
    -DKARVEL_FUZZ=ON -DKARVEL_TESTS=OFF -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --target fuzz_rtf fuzz_wave -j2

artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
# fuzz NAME SECONDS [extra libFuzzer options]
fuzz() {
    name=$1 time=$2
    shift 2
    corpus="$build/fuzz-corpus-$name"
    mkdir -p "$corpus"
    cp "$here/corpus-$name"/* "$corpus"/
    LSAN_OPTIONS="suppressions=$here/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}" \
    QT_QPA_PLATFORM=offscreen "$build/tests/fuzz/fuzz_$name" \
        -max_total_time="$time" -timeout=10 -dict="$here/$name.dict" -print_final_stats=1 \
        -artifact_prefix="$artifacts/" "$@" "$corpus"
}
wave_seconds=$((seconds / 4 > 5 ? seconds / 4 : 5))
fuzz rtf $((seconds - wave_seconds > 5 ? seconds - wave_seconds : 5)) -max_len=65536
fuzz wave "$wave_seconds" -max_len=4096
