#!/usr/bin/env bash
# Makes the Debian package from the Release build (tools/build-release.sh, which builds only what
# changed) and prints its path.
#   tools/package.sh [OUTPUT_DIR]     default build/package
# Install it with: sudo apt install ./build/package/vextkey_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

out=${1:-build/package}
tools/deps.sh --package
tools/build-release.sh

mkdir -p "$out"
out=$(cd "$out" && pwd)
rm -f "$out"/vextkey_*.deb
cpack --config build/release/CPackConfig.cmake -G DEB -B "$out" >/dev/null
rm -rf "$out/_CPack_Packages"
ls "$out"/vextkey_*.deb
