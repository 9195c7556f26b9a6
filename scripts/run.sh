#!/usr/bin/env bash
# run.sh [--adaptor HOST[:PORT]]: installs what is missing, builds, and runs Vantrel. Without an
# adaptor it starts the virtual amplifier on loopback and talks to that.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build"
bin="$root/build/bin"

adaptor=""
if [ "${1:-}" = "--adaptor" ] && [ -n "${2:-}" ]; then
  adaptor=$2
fi

sim_pid=""
cleanup() { [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true; }
trap cleanup EXIT

if [ -z "$adaptor" ]; then
  log=$(mktemp)
  "$bin/vantrel-sim" --bind 127.0.0.1 --port 0 >"$log" &
  sim_pid=$!
  for _ in $(seq 100); do
    grep -q 'listening on' "$log" && break
    sleep 0.05
  done
  adaptor=$(sed -n 's/.*listening on \([0-9.:]*\).*/\1/p' "$log" | head -n 1)
  [ -n "$adaptor" ] || { echo "vantrel-sim did not start" >&2; cat "$log" >&2; exit 1; }
  echo "Virtual amplifier on $adaptor"
fi

echo "\$ vantrel-cli --adaptor $adaptor identify"
"$bin/vantrel-cli" --adaptor "$adaptor" identify
echo "\$ vantrel-cli --adaptor $adaptor status"
"$bin/vantrel-cli" --adaptor "$adaptor" status

# The desktop tool, when there is a display to show it on.
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "\$ vantrel --data-dir build/data --adaptor $adaptor"
  "$bin/vantrel" --data-dir "$root/build/data" --adaptor "$adaptor"
else
  echo "No display: vantrel not started (vantrel --screenshot DIR renders its pages without one)."
fi
