#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs the Debian 12 packages needed to build, run and test Tarvolin.
# Runs apt-get only when something is missing. Needs root (or sudo).
# --with-lab also installs what the network lab needs (lab/install-deps).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo

packages=(
  cmake g++ make pkg-config libc-ares-dev
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev libqt6svg6
  qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n
  xvfb xauth
  iproute2
  clang libclang-rt-14-dev
  fonts-dejavu-core fonts-liberation2
  dpkg-dev debhelper debootstrap lintian desktop-file-utils appstream zstd
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ "${1:-}" = "--with-lab" ]; then
  $SUDO "$here/lab/install-deps"
fi
