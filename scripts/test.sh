#!/usr/bin/env bash
# test.sh [--sanitize address,undefined|thread]: installs what is missing, builds and runs every
# test (unit, integration, fuzz). With --sanitize the suite is built with those sanitizers in
# build-sanitize-*/ instead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

build="$root/build"
args=()
if [ "${1:-}" = "--sanitize" ] && [ -n "${2:-}" ]; then
  build="$root/build-sanitize-${2//,/-}"
  args=(-DVANTREL_SANITIZE="$2" -DVANTREL_FUZZ_TESTS=OFF -DVANTREL_BUILD_BENCH=OFF)
  # Also for the skin generator that runs during the build.
  export TSAN_OPTIONS="suppressions=$root/cmake/tsan-qt.supp ${TSAN_OPTIONS:-}"
fi
"$root/scripts/build.sh" "$build" "${args[@]}"
cd "$build"
export QT_QPA_PLATFORM=offscreen
ctest --output-on-failure --parallel "$(nproc)" --timeout 300
