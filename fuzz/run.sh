#!/usr/bin/env bash
# run.sh FUZZER WORK_CORPUS SEED_CORPUS SECONDS: runs one libFuzzer target for a bounded time.
set -euo pipefail
fuzzer=$1 work=$2 seeds=$3 seconds=$4
mkdir -p "$work"
dirs=("$work")
[ -d "$seeds" ] && dirs+=("$seeds")
exec "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 "${dirs[@]}"
