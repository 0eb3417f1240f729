#!/usr/bin/env bash
# Sets up what the tests need, builds and runs every test.
#   tools/test.sh             normal build in build/test
#   tools/test.sh --sanitize  AddressSanitizer + UBSan build in build/asan
set -euo pipefail
cd "$(dirname "$0")/.."

sanitize=OFF
build=build/test
for arg in "$@"; do
    case "$arg" in
    --sanitize) sanitize=ON; build=build/asan ;;
    *) echo "usage: tools/test.sh [--sanitize]" >&2; exit 2 ;;
    esac
done

tools/deps.sh --test
# The folders keep to the dependencies docs/architecture.md allows.
python3 tools/check-architecture.py
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B "$build" -G Ninja -DVEXT_SANITIZE=$sanitize -DVEXT_WERROR=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$jobs"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cd "$build"
ctest --output-on-failure -j "$jobs" --timeout 300
