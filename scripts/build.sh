#!/usr/bin/env bash
# build.sh [BUILD_DIR] [extra cmake args...]: configures and builds Vantrel (installs nothing).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
shift || true
generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
elif [ $# -gt 0 ]; then
  cmake "$build" "$@"
fi
cmake --build "$build" --parallel "$(nproc)"
