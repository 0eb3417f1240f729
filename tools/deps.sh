#!/usr/bin/env bash
# Installs the Debian packages VextKey needs to build, run and test, but only those missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config ccache
    qt6-base-dev libsdl2-dev libsqlite3-dev libxtst-dev
    # vextd follows the focus on X11, and Pick Window reads X windows, over XCB
    libxcb1-dev
    libgtest-dev libbenchmark-dev
    xvfb xauth xdotool
    # tools/package.sh and tools/check-install.sh: the Debian package and the installed tree
    dpkg-dev file desktop-file-utils shared-mime-info libglib2.0-bin groff-base
    # File > Send mails a key set through xdg-email
    xdg-utils
    # vextd's real pad path under test: an emulated USB pad that SDL finds through libudev
    umockdev libumockdev-dev libudev1
    # printed sheets are read back with pdftotext; their labels are set in Liberation Mono where
    # Courier New is missing
    poppler-utils fonts-liberation
    # Wayland: the capture reads the compositor's keymap; the window runs natively through
    # qt6-wayland; the tests start headless sway and weston and type through wtype
    libwayland-dev libxkbcommon-dev qt6-wayland sway weston wtype
    # vextd follows the focus in wlroots compositors: wayland-scanner makes the protocol's code;
    # the tests run an XWayland game under sway
    libwayland-bin xwayland
    # vextd follows the focus in KDE Plasma on Wayland through a KWin script that calls it over
    # the session bus (libdbus); the tests run kwin_wayland --virtual with a bus of their own
    libdbus-1-dev dbus kwin-wayland
)
if [ "${1:-}" = "--fuzz" ]; then
    packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
