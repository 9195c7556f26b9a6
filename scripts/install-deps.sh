#!/usr/bin/env bash
# Installs every Debian package Vantrel needs to build, test and run, skipping what is present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libgl-dev libxkbcommon-dev
  libgtest-dev libgmock-dev libbenchmark-dev libyaml-dev
  clang libclang-rt-14-dev
  xvfb xauth fonts-dejavu-core
  python3 python3-dbusmock dbus-daemon dbus
  desktop-file-utils appstream
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" != 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
