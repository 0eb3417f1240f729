#!/usr/bin/env bash
# Sets up what VextKey needs to build and run (never a test package) and makes the optimised
# build users run (build/release, no tests).
# tools/run.sh, tools/package.sh and CI all build through here, so CI proves what users get.
# It is configured for /usr because the Debian package is made from it; it runs from the build
# tree just the same.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DVEXT_BUILD_TESTS=OFF -DVEXT_BUILD_BENCH=OFF >/dev/null
cmake --build build/release -j "$(nproc 2>/dev/null || echo 2)"
