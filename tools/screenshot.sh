#!/usr/bin/env bash
# Makes the README's picture of the window, docs/images/vextkey-window.png, from the real
# program: the configurator with the demo key set (its function list and the pad window of
# slot 1) on an Xvfb server of its own, with a driver of two virtual pads that holds the demo.
#   tools/screenshot.sh [VEXTKEY [OUTPUT.png]]
# VEXTKEY defaults to build/release/src/vextkey/vextkey (tools/build-release.sh builds it); the
# vextd of the same build tree is started when it is there. Nothing of the user's own settings,
# driver or key sets is touched: every file lives in a temporary folder.
set -euo pipefail
cd "$(dirname "$0")/.."

vextkey=${1:-build/release/src/vextkey/vextkey}
out=${2:-docs/images/vextkey-window.png}
if [ ! -x "$vextkey" ]; then
    echo "tools/screenshot.sh: no $vextkey; build it first (tools/build-release.sh)" >&2
    exit 1
fi
vextd=$(dirname "$vextkey")/../vextd/vextd

tools/deps.sh --docs

tmp=$(mktemp -d)
pids=()
cleanup() {
    # Only what this script started, the newest first.
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
    rm -rf "$tmp"
}
trap cleanup EXIT

fail() {
    echo "tools/screenshot.sh: $*" >&2
    exit 1
}

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
    local tenths=$1 i
    shift
    for ((i = 0; i < tenths; i++)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# A private session: settings, runtime folder, log, registry store and caches.
mkdir -p "$tmp/config/Zelvan" "$tmp/runtime" "$tmp/state" "$tmp/cache" "$tmp/data"
chmod 700 "$tmp/runtime"
# The Tip of the Day stays shut (1: not at start-up).
printf '[Tip]\nStartUp=1\n' >"$tmp/config/Zelvan/VextKey.conf"
unset WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS XDG_CURRENT_DESKTOP XDG_SESSION_TYPE VEXT_DEVICE
export XDG_CONFIG_HOME=$tmp/config XDG_RUNTIME_DIR=$tmp/runtime XDG_STATE_HOME=$tmp/state \
    XDG_CACHE_HOME=$tmp/cache XDG_DATA_HOME=$tmp/data VEXT_REGISTRY=$tmp/state/registry.sqlite \
    QT_QPA_PLATFORM=xcb LANG=C.UTF-8 LC_ALL=C.UTF-8

# Xvfb picks a free display and writes its number into the pipe once it serves.
mkfifo "$tmp/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.log" &
pids+=($!)
read -r -t 20 number <"$tmp/display" || fail "Xvfb did not start: $(cat "$tmp/xvfb.log")"
export DISPLAY=:$number

# The driver, so that the status bar names the key set it holds.
if [ -x "$vextd" ]; then
    if [ "$(id -u)" -eq 0 ]; then
        export VEXTD_ALLOW_ROOT=1
    fi
    "$vextd" --foreground --test-virtual-pads 2 --output "record:$tmp/keys.log" \
        >"$tmp/vextd.log" 2>&1 &
    pids+=($!)
    if wait_for 100 grep -q "ready:" "$tmp/vextd.log"; then
        "$vextkey" -ld examples/Demo.vks || fail "vextkey -ld examples/Demo.vks failed"
    else
        echo "tools/screenshot.sh: the driver did not start, so the picture shows none:" >&2
        cat "$tmp/vextd.log" >&2
    fi
fi

"$vextkey" examples/Demo.vks >"$tmp/vextkey.log" 2>&1 &
pids+=($!)

# The main window: a child of the root window with vextkey's class and title, shown. No window
# manager frames it, so its place on the screen is its own.
geometry() {
    local id info
    for id in $(xwininfo -root -children |
        sed -nE 's/^ *(0x[0-9a-f]+) "VextKey[^"]*": \("vextkey" "VextKey"\).*/\1/p'); do
        info=$(xwininfo -id "$id")
        grep -q "Map State: IsViewable" <<<"$info" || continue
        awk -F: '/Absolute upper-left X/ { x = $2 } /Absolute upper-left Y/ { y = $2 }
            /Width/ { w = $2 } /Height/ { h = $2 }
            END { gsub(/ /, "", x); gsub(/ /, "", y); gsub(/ /, "", w); gsub(/ /, "", h)
                  printf "%sx%s+%s+%s\n", w, h, x, y }' <<<"$info"
        return 0
    done
    return 1
}
wait_for 200 geometry >/dev/null || fail "no VextKey window appeared: $(cat "$tmp/vextkey.log")"

# Once shown, the window still takes its place, paints and asks the driver: two captures half a
# second apart of the same place and pixels mean it is done.
previous=
for ((i = 0; i < 20; i++)); do
    sleep 0.5
    crop=$(geometry) || fail "the VextKey window went away: $(cat "$tmp/vextkey.log")"
    import -window root -crop "$crop" +repage "rgb:$tmp/shot.rgb"
    current="$crop $(md5sum <"$tmp/shot.rgb")"
    [ "$current" = "$previous" ] && break
    previous=$current
done

mkdir -p "$(dirname "$out")"
import -window root -crop "$crop" +repage -strip "png:$tmp/shot.png"
mv "$tmp/shot.png" "$out"
echo "tools/screenshot.sh: wrote $out ($crop, $(stat -c %s "$out") bytes)"
