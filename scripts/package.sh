#!/usr/bin/env bash
# package.sh [BUILD_DIR]: builds Vantrel and makes the Debian package BUILD_DIR/vantrel_*.deb
# (BUILD_DIR defaults to build/). Install it with: sudo apt install ./build/vantrel_*.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "$build"
# A package built from an older version must not be picked up by the glob in the instructions.
rm -f "$build"/vantrel_*.deb
(cd "$build" && cpack --config CPackConfig.cmake -B "$build")
rm -rf "$build/_CPack_Packages"
ls "$build"/vantrel_*.deb
