#!/usr/bin/env bash
# Sets up what VextKey needs, builds it and starts it with the demo key set (or the arguments
# given, which go to vextkey).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/build-release.sh

# The driver first, unless one runs already (or it is not built): the window works without it.
vextd=build/release/src/vextd/vextd
if [ -x "$vextd" ] && ! pgrep -u "$(id -u)" -x vextd >/dev/null 2>&1; then
    "$vextd" >/dev/null 2>&1 &
fi

if [ $# -eq 0 ] && [ -f examples/Demo.vks ]; then
    set -- examples/Demo.vks
fi
exec build/release/src/vextkey/vextkey "$@"
