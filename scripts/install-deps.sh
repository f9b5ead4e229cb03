#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, run and test Tarvolin.
# Runs apt-get only when something is missing. Needs root (or sudo).
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  xvfb xauth
  iproute2 libcap2-bin
  fonts-dejavu-core fonts-liberation2
)
if [ "${1:-}" = "--with-lab" ]; then
  here=$(cd "$(dirname "$0")/.." && pwd)
  if [ -f "$here/lab/packages.txt" ]; then
    mapfile -t lab < <(grep -v -E '^\s*(#|$)' "$here/lab/packages.txt")
    packages+=("${lab[@]}")
  fi
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
# Packages must not start system services of their own (the lab starts its own servers).
if [ ! -e /usr/sbin/policy-rc.d ]; then
  printf '#!/bin/sh\nexit 101\n' | $SUDO tee /usr/sbin/policy-rc.d >/dev/null
  $SUDO chmod +x /usr/sbin/policy-rc.d
fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
