#!/usr/bin/env bash
# validate.sh TOOL PACKAGE FILE: the desktop integration file passes its freedesktop validator.
set -uo pipefail
tool=$1 package=$2 file=$3
if ! command -v "$tool" >/dev/null 2>&1; then
  echo "FAIL: $tool is not installed (Debian package $package; scripts/install-deps.sh installs it)"
  exit 1
fi
case "$tool" in
  appstreamcli) out=$("$tool" validate --no-net "$file" 2>&1) ;;
  *) out=$("$tool" "$file" 2>&1) ;;
esac
code=$?
echo "$out"
# Warnings count as failures too: they are what a software centre or a menu gets wrong.
if [ $code -ne 0 ] || grep -qiE '(^|[^a-z])(error|warning)' <<<"$out"; then
  echo "FAIL: $tool rejects $file"
  exit 1
fi
echo "ok   $file"
