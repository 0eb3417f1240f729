#!/usr/bin/env bash
# Sets up what VextKey needs, builds it and starts it. Arguments go to vextkey.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVEXT_BUILD_TESTS=OFF -DVEXT_BUILD_BENCH=OFF >/dev/null
cmake --build build/release -j "$(nproc 2>/dev/null || echo 2)"

if [ $# -eq 0 ]; then
    set -- --help
fi
exec build/release/src/vextkey/vextkey "$@"
