#!/usr/bin/env bash
# man_pages_test.sh MANDIR PROGRAM...: each program's man page formats without a warning and
# names every option its --help lists.
set -uo pipefail
mandir=$1
shift
if ! command -v groff >/dev/null 2>&1; then
  echo "FAIL: groff is not installed (Debian package groff-base)"
  exit 1
fi
fail=0
for program in "$@"; do
  name=$(basename "$program")
  page="$mandir/$name.1"
  if [ ! -f "$page" ]; then echo "FAIL $name: no man page $page"; fail=1; continue; fi
  warnings=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$page" 2>&1)
  if [ -n "$warnings" ]; then echo "FAIL $name: groff warns:"; echo "$warnings"; fail=1; fi
  help=$(timeout 30 "$program" --help 2>&1)
  if [ $? -ne 0 ]; then echo "FAIL $name: --help failed:"; echo "$help"; fail=1; continue; fi
  # Qt's generic --help-all is not one of the program's own options.
  options=$(grep -oE -- '--[a-z][a-z-]*' <<<"$help" | grep -vx -- '--help-all' | sort -u)
  [ -n "$options" ] || { echo "FAIL $name: no option found in --help"; fail=1; }
  text=$(tr -d '\\' <"$page")
  for option in $options; do
    if grep -qF -- "$option" <<<"$text"; then
      echo "ok   $name $option"
    else
      echo "FAIL $name: $option is in --help but not in $page"
      fail=1
    fi
  done
done
exit $fail
