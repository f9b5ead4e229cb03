#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Package test, in fresh Debian 12 roots (debootstrap, minbase):
#   - scripts/package.sh builds the .deb inside a root of its own, so a build
#     dependency missing from debian/control fails here; every compile line
#     carries dpkg-buildflags' CPPFLAGS; lintian, desktop-file-validate and
#     appstreamcli find nothing;
#   - apt-get installs the .deb into a second fresh root: no file capability,
#     no setuid or setgid bit, menu entry, icon, manual pages and the
#     documentation they name, nothing under /usr/local;
#   - as an unprivileged user in a network namespace whose ping_group_range is
#     open and whose loopback holds the ping target, tarvolin-report --json
#     reports the ten echoes answered with their times; with the range closed
#     every echo has the "no socket" status (no raw socket for a normal user);
#   - apt-get purge leaves no file of the package behind.
#
#   test_package.sh SOURCE_DIR WORK_DIR
#
# WORK_DIR keeps between runs: the base root tarball, apt's downloaded
# packages, the compiler cache and the build root with the build dependencies
# installed (keyed by debian/control, so a changed list starts from the base
# root again). Exit 77 (skipped) where debootstrap cannot run, unless
# TARVOLIN_REQUIRE_LAB=1.
set -uo pipefail
src=$(cd "$1" && pwd)
work=$2
SKIP=77
T0=$SECONDS

skip() {
    if [ "${TARVOLIN_REQUIRE_LAB:-0}" = 1 ]; then
        echo "FAIL: $1 (TARVOLIN_REQUIRE_LAB=1)"
        exit 1
    fi
    echo "SKIPPED: $1"
    exit $SKIP
}
step() { echo "[$((SECONDS - T0)) s] $*"; }

[ "$(id -u)" = 0 ] || skip "the package test needs root (debootstrap, chroot)"
for tool in debootstrap unshare chroot setpriv python3 zstd; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps.sh)"
done

mkdir -p "$work/apt-archives/partial" "$work/ccache"
work=$(cd "$work" && pwd)
# The mirror this machine's apt uses; none found: debootstrap's default.
targets=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 2>/dev/null | sort -u)
mirror=$(awk '$2 == "bookworm" { print $1; exit }' <<<"$targets")
security=$(awk '$2 == "bookworm-security" { print $1; exit }' <<<"$targets")
# The ping target the package is built with (the default of the build).
target=$(sed -n 's/^set(TARVOLIN_PING_TARGET *"\([0-9.]*\)".*/\1/p' "$src/CMakeLists.txt")
[ -n "$target" ] || { echo "FAIL: no TARVOLIN_PING_TARGET default in CMakeLists.txt"; exit 1; }

failures=0
check() {  # check DESCRIPTION COMMAND...
    if "${@:2}"; then
        echo "ok: $1"
    else
        echo "FAIL: $1"
        failures=$((failures + 1))
    fi
}

base="$work/bookworm-minbase.tar.gz"
if [ ! -s "$base" ]; then
    step "debootstrap bookworm (minbase)${mirror:+ from $mirror}"
    fresh=$(mktemp -d "$work/debootstrap.XXXXXX")
    if ! debootstrap --variant=minbase bookworm "$fresh" ${mirror:+"$mirror"} >"$work/debootstrap.log" 2>&1; then
        tail -n 20 "$work/debootstrap.log"
        rm -rf --one-file-system "$fresh"
        skip "debootstrap cannot build a Debian 12 root here (log: $work/debootstrap.log)"
    fi
    tar -C "$fresh" -czf "$base.part" . && mv "$base.part" "$base"
    rm -rf --one-file-system "$fresh"
fi

root=
mounted=()
unmount_root() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount -l "${mounted[i]}" 2>/dev/null
    done
    mounted=()
}
remove_root() {
    unmount_root
    [ -n "$root" ] || return 0
    # Never remove through a mount that is still there.
    if [ -z "$(findmnt -rn -o TARGET | grep -F "$root")" ]; then
        rm -rf --one-file-system "$root"
    else
        echo "note: $root left behind: still mounted"
    fi
    root=
}
trap remove_root EXIT
trap 'exit 130' INT TERM
bind() {  # bind SOURCE TARGET-IN-ROOT
    mkdir -p "$root$2"
    mount --bind "$1" "$root$2" && mounted+=("$root$2")
}
# open_root TARBALL: unpacks it into a new root and mounts what apt and the
# programs need.
open_root() {
    root=$(mktemp -d "$work/root.XXXXXX")
    tar -C "$root" -xf "$1"
    chmod 755 "$root"  # the root of the system (the tarball keeps debootstrap's private mode)
    mount -t proc proc "$root/proc" && mounted+=("$root/proc")
    bind /sys /sys
    bind /dev /dev
    mount -t tmpfs tmpfs "$root/run" && mounted+=("$root/run")
    bind "$work/apt-archives" /var/cache/apt/archives
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    if [ -n "$mirror" ]; then
        {
            echo "deb $mirror bookworm main"
            echo "deb $mirror bookworm-updates main"
            [ -z "$security" ] || echo "deb $security bookworm-security main"
        } >"$root/etc/apt/sources.list"
    fi
    # No service of an installed package starts inside the root.
    printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
    chmod +x "$root/usr/sbin/policy-rc.d"
}
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive LANG=C.UTF-8 "$@"; }

# --- Build, in a root holding only what debian/control asks for -----------
key=$(cat "$src/debian/control" "$base" | sha256sum | cut -c1-16)
build_root="$work/build-root-$key.tar.zst"
if [ -s "$build_root" ]; then
    step "unpacking the build root (build dependencies of this debian/control)"
    open_root <(zstd -dc "$build_root")
    fresh_build=0
else
    step "unpacking the base root for the build"
    open_root "$base"
    fresh_build=1
    # The compiler cache only: it provides no compiler or library.
    if ! in_root sh -c 'apt-get update -qq && apt-get install -y -qq --no-install-recommends ccache' \
        >"$work/build-apt.log" 2>&1; then
        tail -n 20 "$work/build-apt.log"
        echo "FAIL: apt-get install ccache in the build root"
        exit 1
    fi
fi
bind "$work/ccache" /var/cache/ccache
mkdir -p "$root/usr/src/tarvolin"
tar -C "$src" --exclude=./.git --exclude='./build*' --exclude='./obj-*' --exclude=./debian/tarvolin \
    --exclude='./debian/.debhelper' -cf - . | tar -C "$root/usr/src/tarvolin" -xf -

step "scripts/package.sh in the build root"
# Niced: the test command runs the lab suites beside this build, and their
# timings must not suffer from the compiler.
if ! nice -n 10 chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
    LANG=C.UTF-8 HOME=/root CCACHE_DIR=/var/cache/ccache DEB_BUILD_OPTIONS="nocheck parallel=2" \
    /usr/src/tarvolin/scripts/package.sh /usr/src/out >"$work/package.out" 2>&1; then
    tail -n 40 "$work/package.out"
    echo "FAIL: scripts/package.sh in a fresh Debian 12 root"
    exit 1
fi
deb_in_root=$(tail -n 1 "$work/package.out")
rm -rf "$work/deb" && mkdir -p "$work/deb"
cp "$root$deb_in_root" "$root/usr/src/out/build.log" "$work/deb/" || { echo "FAIL: no .deb ($deb_in_root)"; exit 1; }
deb="$work/deb/$(basename "$deb_in_root")"
step "built $(basename "$deb")"
# The preprocessor flags the build had to get, as debian/rules asks for them.
cppflags=$(in_root env DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CPPFLAGS)
if [ "$fresh_build" = 1 ]; then
    # Keep the root with the build dependencies for the next run.
    rm -rf "$root/usr/src/tarvolin" "$root/usr/src/out"
    unmount_root
    rm -f "$work"/build-root-*.tar.zst
    tar -C "$root" -cf - . | zstd -q -T2 -3 -o "$build_root.part" && mv "$build_root.part" "$build_root"
fi
remove_root

# Each compile line carries CPPFLAGS (_FORTIFY_SOURCE): CMake ignores the
# variable, debhelper adds it to CXXFLAGS.
compiles=$(grep -E ' -o [^ ]+\.o -c ' "$work/deb/build.log")
check "the build compiled something" test -n "$compiles"
check "dpkg-buildflags asks for _FORTIFY_SOURCE" grep -q -- -D_FORTIFY_SOURCE <<<"$cppflags"
carries() { ! grep -vqF -e "$1" <<<"$compiles"; }
for flag in $cppflags; do
    check "every compile line carries $flag" carries "$flag"
done
if command -v lintian >/dev/null; then
    # Info tags too: an override that no longer matches is reported.
    lintian --display-info --fail-on error,warning,info "$deb" >"$work/lintian.txt" 2>&1
    check "lintian: no errors, warnings or info tags" test $? = 0
    grep -v '^running with root privileges' "$work/lintian.txt" | sed 's/^/   /'
fi
command -v desktop-file-validate >/dev/null &&
    check "desktop-file-validate" desktop-file-validate "$src/data/example.tarvolin.Tarvolin.desktop"
command -v appstreamcli >/dev/null &&
    check "appstreamcli validate --no-net" appstreamcli validate --no-net "$src/data/example.tarvolin.Tarvolin.metainfo.xml"

# --- Install into a fresh root ---------------------------------------------
step "unpacking a fresh base root"
open_root "$base"
cp "$deb" "$root/tmp/"
# Recommends (Mesa and the like) would double the time and test nothing more.
step "apt-get install --no-install-recommends ./$(basename "$deb")"
if ! in_root sh -c "apt-get update -qq && apt-get install -y -qq --no-install-recommends /tmp/$(basename "$deb")" >"$work/apt.log" 2>&1; then
    tail -n 30 "$work/apt.log"
    echo "FAIL: apt-get install"
    exit 1
fi
rm -f "$root/tmp/$(basename "$deb")"

step "checking the installed package"
in_root dpkg -L tarvolin >"$work/files.txt"
# getcap comes from libcap2-bin, which iproute2 already pulls in on Debian 12.
in_root apt-get install -y -qq --no-install-recommends libcap2-bin >>"$work/apt.log" 2>&1
in_root sh -c 'dpkg -L tarvolin | while read -r f; do [ -f "$f" ] && echo "$f"; done | xargs -r getcap' \
    >"$work/getcap.txt" 2>&1
check "getcap prints nothing for the package's files" test ! -s "$work/getcap.txt"
sed 's/^/   /' "$work/getcap.txt"
check "no setuid/setgid bit, no file writable by group or others" \
    sh -c "! chroot '$root' sh -c 'dpkg -L tarvolin | while read -r f; do [ -f \"\$f\" ] && find \"\$f\" -perm /6022; done' | grep -q ."
check "desktop entry installed" test -f "$root/usr/share/applications/example.tarvolin.Tarvolin.desktop"
check "menu entry names the installed icon" grep -qx "Icon=tarvolin" "$root/usr/share/applications/example.tarvolin.Tarvolin.desktop"
check "scalable icon installed" test -f "$root/usr/share/icons/hicolor/scalable/apps/tarvolin.svg"
check "48x48 icon installed" test -f "$root/usr/share/icons/hicolor/48x48/apps/tarvolin.png"
for page in tarvolin tarvolin-report; do
    check "manual page $page(1) installed" test -f "$root/usr/share/man/man1/$page.1.gz"
    check "Russian manual page $page(1) installed" test -f "$root/usr/share/man/ru/man1/$page.1.gz"
done
doc=$(zcat "$root/usr/share/man/man1/tarvolin-report.1.gz" | grep -o '/usr/share/doc/tarvolin/[^ ]*' | head -n 1)
check "the documentation tarvolin-report(1) names is installed (${doc:-none named})" test -n "$doc" -a -f "$root$doc"
check "nothing under /usr/local" sh -c "! grep -q '^/usr/local' '$work/files.txt'"

# run_report RANGE OUTPUT: tarvolin-report --json as uid 65534 in a network
# namespace with only loopback, which also holds the ping target.
run_report() {
    unshare -n chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 HOME=/tmp \
        sh -c 'ip link set lo up && ip addr add "$1/32" dev lo &&
               echo "$2" >/proc/sys/net/ipv4/ping_group_range &&
               exec setpriv --reuid=65534 --regid=65534 --clear-groups /usr/bin/tarvolin-report --json --timeout 60' \
        - "$target" "$1" >"$2.json" 2>"$2.err"
}
# check_echoes FILE STATUS: every one of the ten echoes has STATUS and a time.
check_echoes() {
    python3 - "$1" "$2" "$target" <<'PY'
import json, sys
doc = json.load(open(sys.argv[1], encoding="utf-8"))
status, target = int(sys.argv[2]), sys.argv[3]
ping = doc["ping"]
problems = []
if ping["target"] != target:
    problems.append("target %r" % ping["target"])
echoes = ping["echoes"]
if len(echoes) != 10:
    problems.append("%d echoes" % len(echoes))
for e in echoes:
    if e["status"] != status or not isinstance(e.get("time"), int) or e["time"] < 0:
        problems.append("echo %r" % e)
if doc["nat"]["caption"] != "Протокол UDP заблокирован\nUDP Blocked":
    problems.append("NAT caption %r" % doc["nat"]["caption"])
for p in problems:
    print("   " + p)
sys.exit(1 if problems else 0)
PY
}

step "tarvolin-report --json as uid 65534, ping_group_range open"
run_report "0 2147483647" "$work/report-open"
rc=$?
check "tarvolin-report ended with status 0 (was $rc)" test "$rc" = 0
check "tarvolin-report wrote nothing on stderr" test ! -s "$work/report-open.err"
check "the ten echoes to $target answered, each with its time" check_echoes "$work/report-open.json" 0
[ "$rc" = 0 ] || cat "$work/report-open.err"

step "tarvolin-report --json as uid 65534, ping_group_range closed"
run_report "1 0" "$work/report-closed"
rc=$?
check "tarvolin-report ended with status 0 (was $rc)" test "$rc" = 0
# 11050: no ICMP socket could be opened (no datagram socket, no raw socket).
check "every echo has the no-socket status 11050" check_echoes "$work/report-closed.json" 11050

step "apt-get purge tarvolin"
in_root apt-get purge -y -qq tarvolin >>"$work/apt.log" 2>&1
check "package purged" sh -c "! chroot '$root' dpkg-query -W tarvolin >/dev/null 2>&1"
leftovers=$(cd "$root" && find . -xdev \( -path ./var/cache/apt/archives -o -path ./proc -o -path ./sys -o -path ./dev \) -prune \
    -o -iname '*tarvolin*' -print)
check "no file of the package left behind${leftovers:+: $leftovers}" test -z "$leftovers"
missing=0
while read -r f; do
    [ "$f" = /. ] && continue
    [ -d "$root$f" ] && continue
    [ -e "$root$f" ] && { echo "   left: $f"; missing=1; }
done <"$work/files.txt"
check "every listed file removed" test "$missing" = 0

step "done, $failures failure(s)"
[ "$failures" = 0 ]
