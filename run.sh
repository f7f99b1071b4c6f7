#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")"
# Ninja for a new build folder; an existing one keeps the generator it has.
generator() { [ -f "$1/CMakeCache.txt" ] || echo "-G Ninja"; }
tools/install-deps.sh run
cmake -S . -B build $(generator build) -DKARVEL_TESTS=OFF >/dev/null
cmake --build build
exec build/karvel
