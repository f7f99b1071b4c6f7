#!/bin/sh
# Builds the RTF fuzz target with clang in BUILD_DIR and runs it for SECONDS
# on a copy of the seed corpus. Exits non-zero on a crash, a leak or a
# timeout; what failed is left in BUILD_DIR/fuzz-artifacts/.
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
cmake --build "$build" --target fuzz_rtf -j2

corpus="$build/fuzz-corpus"
artifacts="$build/fuzz-artifacts"
mkdir -p "$corpus" "$artifacts"
cp "$here"/corpus/* "$corpus"/

LSAN_OPTIONS="suppressions=$here/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}" \
QT_QPA_PLATFORM=offscreen "$build/tests/fuzz/fuzz_rtf" \
    -max_total_time="$seconds" -max_len=65536 -timeout=10 \
    -dict="$here/rtf.dict" -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$corpus"
