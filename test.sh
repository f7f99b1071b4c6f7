#!/usr/bin/env bash
# Installs what is missing, builds the program and runs every test: the unit,
# widget and content tests, the end-to-end tests in a real X server and in a
# headless Wayland compositor, the Debian package's build and checks, the
# whole suite again under the address and undefined-behaviour sanitizers,
# and the RTF and wave readers' fuzzers for a bounded time. Ends with CTest's summary.
set -euo pipefail
cd "$(dirname "$0")"
# Ninja for a new build folder; an existing one keeps the generator it has.
generator() { [ -f "$1/CMakeCache.txt" ] || echo "-G Ninja"; }
tools/install-deps.sh test
jobs=$(nproc)

echo "== Sanitizer build (address, undefined)"
cmake -S . -B build-asan $(generator build-asan) -DCMAKE_BUILD_TYPE=Debug -DKARVEL_SANITIZE=ON -DKARVEL_TESTS=ON >/dev/null
cmake --build build-asan -j "$jobs"
LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan -LE 'e2e|package' -E '^content_' --output-on-failure -j "$jobs"

echo "== Fuzzing the RTF and wave readers"
tests/fuzz/run.sh build-fuzz "${KARVEL_FUZZ_SECONDS:-60}"

echo "== Build and all tests"
cmake -S . -B build $(generator build) -DKARVEL_TESTS=ON -DKARVEL_BENCH=ON >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure
