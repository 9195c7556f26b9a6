#!/bin/sh
# Runs nm_tests on a private bus: first without NetworkManager, then against python-dbusmock's
# NetworkManager template. Exits 77 (skipped) when dbus-run-session, dbus-send or dbusmock is
# missing.
# Usage: run_nm_tests.sh NM_TESTS
set -u
nm_tests=$1

command -v dbus-run-session >/dev/null 2>&1 || { echo "dbus-run-session missing"; exit 77; }
command -v dbus-send >/dev/null 2>&1 || { echo "dbus-send missing"; exit 77; }
# dbusmock comes with the distribution's Python, which need not be the first python3 on PATH.
python=
for candidate in /usr/bin/python3 python3; do
    if "$candidate" -c 'import dbusmock' >/dev/null 2>&1; then
        python=$candidate
        break
    fi
done
[ -n "$python" ] || { echo "python3-dbusmock missing"; exit 77; }

exec dbus-run-session -- sh -c '
    python=$1
    nm_tests=$2
    "$nm_tests" --gtest_filter="NmAbsent*" || exit 1

    "$python" -m dbusmock --template networkmanager --session >/dev/null &
    mock=$!
    tries=0
    until dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
            org.freedesktop.DBus.GetNameOwner string:org.freedesktop.NetworkManager \
            >/dev/null 2>&1; do
        tries=$((tries + 1))
        if [ "$tries" -gt 100 ] || ! kill -0 "$mock" 2>/dev/null; then
            echo "the mock NetworkManager did not appear on the bus"
            kill "$mock" 2>/dev/null
            exit 1
        fi
        sleep 0.1
    done

    "$nm_tests" --gtest_filter="-NmAbsent*"
    status=$?
    kill "$mock" 2>/dev/null
    wait "$mock" 2>/dev/null
    exit $status
' sh "$python" "$nm_tests"
