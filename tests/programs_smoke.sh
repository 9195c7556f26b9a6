#!/usr/bin/env bash
# The shipped programs as a user runs them: vantrel-sim on loopback, vantrel-cli against it.
# programs_smoke.sh SIM CLI DATA VERSION [WINDOW]: WINDOW, the desktop tool, is only asked for its
# help and version, with no display at all.
set -uo pipefail
sim=$1 cli=$2 data=$3 version=$4 window=${5:-}
fail=0
check() {  # check NAME EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then echo "FAIL $1: expected [$2], got [$3]"; fail=1; else echo "ok   $1"; fi
}

start_sim() {  # start_sim ARGS...: sets sim_pid and port
  log=$(mktemp)
  "$sim" --port 0 "$@" >"$log" 2>&1 &
  sim_pid=$!
  for _ in $(seq 200); do grep -q 'listening on' "$log" && break; sleep 0.02; done
  port=$(sed -n 's/.*listening on 127.0.0.1:\([0-9]*\).*/\1/p' "$log")
  [ -n "$port" ] || { echo "vantrel-sim did not start:"; cat "$log"; exit 1; }
}
stop_sim() { kill "$sim_pid"; wait "$sim_pid"; check "sim exits 0 on SIGTERM" 0 $?; }

check "sim --version" "vantrel-sim $version" "$("$sim" --version)"
check "cli --version" "vantrel-cli $version" "$("$cli" --version)"
if [ -n "$window" ]; then
  nodisplay() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@"; }
  check "window --version" "vantrel $version" "$(nodisplay "$window" --version 2>&1)"
  out=$(nodisplay "$window" --help 2>&1); code=$?
  check "window --help exit" 0 $code
  case "$out" in *--data-dir*--adaptor*--screenshot*) check "window --help" ok ok ;;
                 *) check "window --help" "the options" "$out" ;; esac
fi

start_sim --channels 2 --model 7 --mcu 2.1 --voltage 13.8
check identify "channels=2 model=7 mcu=2.1 dsp=1.0 family=QV" "$("$cli" --adaptor 127.0.0.1:$port identify)"
check status "voltage=13.8 V temperature=45 C running=1230 m protection=off" \
  "$("$cli" --adaptor 127.0.0.1:$port status)"
check read "01 02 03 04 05 06" "$("$cli" --adaptor 127.0.0.1:$port read 20585 6)"
check load-setup "Load setup OK." "$("$cli" --adaptor 127.0.0.1:$port load-setup 2)"
check "read back" "02" "$("$cli" --adaptor 127.0.0.1:$port read 20591 1)"
stop_sim

# Whole configurations through the real protocol: download, store, download again.
work=$(mktemp -d)
c() { "$cli" --adaptor 127.0.0.1:$port --data-dir "$data" "$@"; }
start_sim
c download "$work/A.dat" >/dev/null; check "download A" 0 $?
c store "$work/A.dat" >/dev/null; check "store A" 0 $?
c download "$work/B.dat" >/dev/null; check "download B" 0 $?
cmp -s "$work/A.dat" "$work/B.dat"; check "A and B identical" 0 $?
# A non-trivial tune comes back on its grids.
sed -e 's/^Channel1\\HighPass\\ON=.*/Channel1\\HighPass\\ON=1/' \
    -e 's/^Channel1\\HighPass\\Slope=.*/Channel1\\HighPass\\Slope=24/' \
    -e 's/^Channel1\\HighPass\\Freq=.*/Channel1\\HighPass\\Freq=1000.0/' \
    -e 's/^Channel2\\Delay\\Time=.*/Channel2\\Delay\\Time=3.5/' \
    -e 's/^Channel2\\Delay\\Trim=.*/Channel2\\Delay\\Trim=6.0/' \
    -e 's/^Channel3\\EQ\\EQBand5\\Gain=.*/Channel3\\EQ\\EQBand5\\Gain=-3.5/' \
    "$work/A.dat" > "$work/T.dat"
c store "$work/T.dat" --activate 1 >/dev/null; check "store tune" 0 $?
c download "$work/C.dat" >/dev/null; check "download tune" 0 $?
for key in 'Channel1\HighPass\ON=1' 'Channel1\HighPass\Slope=24' 'Channel1\HighPass\Freq=1000.0' \
           'Channel2\Delay\Time=3.5' 'Channel2\Delay\Trim=6.0' 'Channel3\EQ\EQBand5\Gain=-3.5' \
           'CurrentSetupIndex=1'; do
  grep -qF "$key" "$work/C.dat"; check "tune keeps $key" 0 $?
done
check switch "Load setup OK." "$(c switch 3)"
check "switched" "03" "$(c read 20591 1)"
rm -rf "$work"
stop_sim

start_sim --fault identify:close-mid-reply
out=$("$cli" --adaptor 127.0.0.1:$port identify 2>&1); code=$?
check "fault exit" 1 $code
check "fault text" "Communication fail, please retry." "$out"
stop_sim

# Nobody listens on the port the stopped simulator had: five attempts, 100 ms apart.
start=$(date +%s%N)
out=$("$cli" --adaptor 127.0.0.1:$port identify 2>&1); code=$?
ms=$(( ($(date +%s%N) - start) / 1000000 ))
check "refused exit" 1 $code
check "refused text" "Communication fail, please retry." "$out"
[ "$ms" -ge 400 ] && [ "$ms" -lt 5000 ] && echo "ok   refused after $ms ms" || { echo "FAIL refused after $ms ms"; fail=1; }

"$sim" --bogus >/dev/null 2>&1; check "sim bad option" 2 $?
exit $fail
