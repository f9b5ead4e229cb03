#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the Debian package: installs the build dependencies (apt-get
# build-dep on the source folder), runs
# dpkg-buildpackage on a copy of the sources and prints the path of the .deb.
#
#   scripts/package.sh [OUTPUT_DIR]      (default: build/package)
#
# DEB_BUILD_OPTIONS is passed through (e.g. "nocheck parallel=2").
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/build/package}
SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo

# Exactly the build dependencies debian/control names, build-essential
# included (apt adds it to every build-dep). dpkg-checkbuilddeps comes with
# dpkg-dev, which a fresh system lacks: then apt decides.
if ! (cd "$here" && dpkg-checkbuilddeps) >/dev/null 2>&1; then
  echo "Installing the build dependencies of debian/control" >&2
  $SUDO apt-get update -qq >&2
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get build-dep -y -qq --no-install-recommends "$here" >&2
fi

# dpkg-buildpackage writes beside the source folder: build a copy inside OUTPUT_DIR.
mkdir -p "$out"
out=$(cd "$out" && pwd)
src="$out/tarvolin-src"
rm -rf "$src" "$out"/tarvolin_*
mkdir -p "$src"
tar -C "$here" --exclude=./.git --exclude='./build*' --exclude='./obj-*' --exclude=./debian/tarvolin \
    --exclude='./debian/.debhelper' -cf - . | tar -C "$src" -xf -
# The copy's path stays the same between runs, so ccache (when present) hits.
# debhelper gives the build its own HOME: name the cache folder explicitly.
if command -v ccache >/dev/null && [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ]; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache
  CCACHE_DIR=${CCACHE_DIR:-$(ccache -k cache_dir)}
  export CCACHE_DIR
fi
(cd "$src" && dpkg-buildpackage -us -uc -b >"$out/build.log" 2>&1) || {
  tail -n 40 "$out/build.log" >&2
  echo "package.sh: dpkg-buildpackage failed (log: $out/build.log)" >&2
  exit 1
}
rm -rf "$src"
ls "$out"/tarvolin_*.deb
