#!/usr/bin/env bash
# Sets up what VextKey needs, builds it and starts it with the demo key set (or the arguments
# given, which go to vextkey).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/build-release.sh

# The driver first, unless one runs already: the window works without it, but the user must
# know why the pads will not type. vextd returns once it serves or has failed; the daemon keeps
# logging to the same file.
vextd=build/release/src/vextd/vextd
if [ -x "$vextd" ] && ! pgrep -u "$(id -u)" -x vextd >/dev/null 2>&1; then
    log="${XDG_RUNTIME_DIR:-${TMPDIR:-/tmp}}/vextd.log"
    if ! timeout 5 "$vextd" >/dev/null 2>"$log"; then
        {
            echo "tools/run.sh: the driver did not start, so the pads will not type:"
            sed 's/^/    /' "$log"
            echo "The README's Driver section tells how to give your user access to /dev/uinput."
            echo "The window opens anyway; its Options > Start Driver tries again."
        } >&2
    fi
fi

if [ $# -eq 0 ] && [ -f examples/Demo.vks ]; then
    set -- examples/Demo.vks
fi
exec build/release/src/vextkey/vextkey "$@"
