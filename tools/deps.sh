#!/usr/bin/env bash
# Installs the Debian packages VextKey needs, by purpose, but only those missing:
#   tools/deps.sh             build and run it (what tools/run.sh needs)
#   tools/deps.sh --test      and run its tests and checks (tools/test.sh, CI)
#   tools/deps.sh --package   and make its Debian package (tools/package.sh)
#   tools/deps.sh --fuzz      and build its fuzzers with clang
#   tools/deps.sh --docs      and make the README's screenshot (tools/screenshot.sh)
#   tools/deps.sh --list ...  prints the packages of those sets instead of installing them
# A user's run command never installs a compositor or a test library.
set -euo pipefail

run=(
    build-essential cmake ninja-build pkg-config ccache
    qt6-base-dev libsdl2-dev libsqlite3-dev libxtst-dev
    # vextd follows the focus on X11, and Pick Window reads X windows, over XCB
    libxcb1-dev
    # File > Send mails a key set through xdg-email
    xdg-utils
    # printed sheets set their labels in Liberation Mono where Courier New is missing
    fonts-liberation
    # Wayland: the capture reads the compositor's keymap; the window runs natively through
    # qt6-wayland; vextd follows the focus in wlroots compositors (wayland-scanner makes the
    # protocol's code)
    libwayland-dev libxkbcommon-dev qt6-wayland libwayland-bin
    # vextd follows the focus in KDE Plasma through a KWin script and in GNOME through a Shell
    # extension, both calling it over the session bus
    libdbus-1-dev
)
test=(
    libgtest-dev libbenchmark-dev python3
    xvfb xauth xdotool
    # vextd's real pad path under test: an emulated USB pad that SDL finds through libudev
    umockdev libumockdev-dev libudev1
    # printed sheets are read back with pdftotext
    poppler-utils
    # the tests start headless sway and weston and type through wtype, run an XWayland game
    # under sway, and run kwin_wayland --virtual and gnome-shell --headless with a session bus
    # of their own (GNOME Shell's extension is asked through gdbus)
    sway weston wtype xwayland dbus kwin-wayland gnome-shell
    # the GNOME Shell extension of either kind is parsed by node
    nodejs
    # tools/check-install.sh: the installed tree, the desktop entry, the file type, the man pages
    # and the software centres' metadata
    file desktop-file-utils shared-mime-info libglib2.0-bin groff-base appstream
)
package=(
    # the package's dependencies come from dpkg-shlibdeps
    dpkg-dev file
)
fuzz=(clang libclang-rt-14-dev)
docs=(
    # tools/screenshot.sh: the window on an X server of its own, found with xwininfo and
    # captured with ImageMagick's import
    xvfb x11-utils imagemagick
)

packages=("${run[@]}")
list=no
for arg in "$@"; do
    case "$arg" in
    --test) packages+=("${test[@]}" "${package[@]}") ;;
    --package) packages+=("${package[@]}") ;;
    --fuzz) packages+=("${fuzz[@]}") ;;
    --docs) packages+=("${docs[@]}") ;;
    --list) list=yes ;;
    *) echo "usage: tools/deps.sh [--list] [--test] [--package] [--fuzz] [--docs]" >&2; exit 2 ;;
    esac
done
if [ "$list" = yes ]; then
    printf '%s\n' "${packages[@]}"
    exit 0
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
