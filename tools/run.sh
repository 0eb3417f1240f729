#!/usr/bin/env bash
# Sets up what VextKey needs, builds it and starts it with the demo key set (or the arguments
# given, which go to vextkey). Run it as the desktop user: it asks for sudo only to install
# missing packages.
set -euo pipefail
cd "$(dirname "$0")/.."

# The driver never runs as root, so a start through sudo would leave the pads typing nothing.
# Only where nobody else is logged in (a throw-away container) may it all run as root.
if [ "$(id -u)" -eq 0 ]; then
    others=$(who 2>/dev/null | awk '$1 != "root" { print $1 }' | head -n 1)
    if [ -n "${SUDO_USER:-}" ] || [ -n "$others" ]; then
        echo "tools/run.sh: run this as your desktop user, not as root or with sudo:" >&2
        echo "    tools/run.sh          (it asks for sudo only to install packages)" >&2
        echo "The driver, vextd, never runs as root." >&2
        exit 1
    fi
    export VEXTD_ALLOW_ROOT=1
    echo "tools/run.sh: running as root with nobody else logged in, so the driver starts" \
        "with VEXTD_ALLOW_ROOT=1." >&2
fi

tools/build-release.sh

# The driver first, unless one runs already: the window works without it, but the user must
# know why the pads will not type. vextd returns once it serves or has failed, saying why on
# stderr; from then on it logs to ~/.local/state/vext/vextd.log.
vextd=build/release/src/vextd/vextd
if [ -x "$vextd" ] && ! pgrep -u "$(id -u)" -x vextd >/dev/null 2>&1; then
    if ! timeout 10 "$vextd"; then
        {
            echo "tools/run.sh: the driver did not start (its messages are above), so the pads"
            echo "will not type. \"man vextd\" or docs/manual/driver.html tells what it needs."
            echo "The window opens anyway; its Options > Start Driver tries again."
        } >&2
    fi
fi

if [ $# -eq 0 ] && [ -f examples/Demo.vks ]; then
    set -- examples/Demo.vks
fi
exec build/release/src/vextkey/vextkey "$@"
