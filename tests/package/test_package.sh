#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Package test: builds the .deb, installs it with apt-get into a fresh Debian 12
# root (debootstrap, minbase) and checks the installed program there:
#   - the capability for ICMP echoes is set on both programs;
#   - the menu entry and the icon are installed, nothing under /usr/local;
#   - tarvolin-report --json runs headless as an unprivileged user in a network
#     namespace with only loopback: UDP-blocked NAT caption, loopback-only
#     interface list, echoes sent through a raw socket;
#   - apt-get purge leaves no file of the package behind.
#
#   test_package.sh SOURCE_DIR WORK_DIR
#
# WORK_DIR keeps the base root tarball and apt's downloaded packages between
# runs. Exit 77 (skipped) where debootstrap cannot run, unless
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
for tool in debootstrap dpkg-buildpackage unshare chroot python3; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps.sh)"
done

mkdir -p "$work/apt-archives/partial"
work=$(cd "$work" && pwd)
# The mirror this machine's apt uses.
targets=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 2>/dev/null | sort -u)
mirror=$(awk '$2 == "bookworm" { print $1; exit }' <<<"$targets")
mirror=${mirror:-http://deb.debian.org/debian/}
security=$(awk '$2 == "bookworm-security" { print $1; exit }' <<<"$targets")

failures=0
check() {  # check DESCRIPTION COMMAND...
    if "${@:2}"; then
        echo "ok: $1"
    else
        echo "FAIL: $1"
        failures=$((failures + 1))
    fi
}

step "building the package"
# Niced: the test command runs the lab suites beside this build, and their
# timings must not suffer from the compiler.
DEB_BUILD_OPTIONS="nocheck parallel=2" nice -n 10 "$src/scripts/package.sh" "$work/deb" >"$work/package.out" 2>&1 || {
    cat "$work/package.out"
    echo "FAIL: scripts/package.sh"
    exit 1
}
deb=$(tail -n 1 "$work/package.out")
[ -f "$deb" ] || { echo "FAIL: no .deb ($deb)"; exit 1; }
step "built $(basename "$deb")"
if command -v lintian >/dev/null; then
    lintian --fail-on error,warning "$deb" >"$work/lintian.txt" 2>&1
    check "lintian: no errors or warnings" test $? = 0
    sed 's/^/   /' "$work/lintian.txt"
fi
command -v desktop-file-validate >/dev/null &&
    check "desktop-file-validate" desktop-file-validate "$src/data/example.tarvolin.Tarvolin.desktop"
command -v appstreamcli >/dev/null &&
    check "appstreamcli validate --no-net" appstreamcli validate --no-net "$src/data/example.tarvolin.Tarvolin.metainfo.xml"

base="$work/bookworm-minbase.tar.gz"
if [ ! -s "$base" ]; then
    step "debootstrap bookworm (minbase) from $mirror"
    fresh=$(mktemp -d "$work/debootstrap.XXXXXX")
    if ! debootstrap --variant=minbase bookworm "$fresh" "$mirror" >"$work/debootstrap.log" 2>&1; then
        tail -n 20 "$work/debootstrap.log"
        rm -rf --one-file-system "$fresh"
        skip "debootstrap cannot build a Debian 12 root here (log: $work/debootstrap.log)"
    fi
    tar -C "$fresh" -czf "$base.part" . && mv "$base.part" "$base"
    rm -rf --one-file-system "$fresh"
fi

root=$(mktemp -d "$work/root.XXXXXX")
mounted=()
cleanup() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount -l "${mounted[i]}" 2>/dev/null
    done
    # Never remove through a mount that is still there.
    if [ -z "$(findmnt -rn -o TARGET | grep -F "$root")" ]; then
        rm -rf --one-file-system "$root"
    else
        echo "note: $root left behind: still mounted"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM
bind() {  # bind SOURCE TARGET-IN-ROOT [OPTIONS]
    mkdir -p "$root$2"
    mount --bind "$1" "$root$2" && mounted+=("$root$2")
}

step "unpacking the base root"
tar -C "$root" -xzf "$base"
chmod 755 "$root"  # the root of the system (the tarball keeps debootstrap's private mode)
mount -t proc proc "$root/proc" && mounted+=("$root/proc")
bind /sys /sys
bind /dev /dev
mount -t tmpfs tmpfs "$root/run" && mounted+=("$root/run")
bind "$work/apt-archives" /var/cache/apt/archives
cp /etc/resolv.conf "$root/etc/resolv.conf"
{
    echo "deb $mirror bookworm main"
    echo "deb $mirror bookworm-updates main"
    [ -z "$security" ] || echo "deb $security bookworm-security main"
} >"$root/etc/apt/sources.list"
# No service of an installed package starts inside the root.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod +x "$root/usr/sbin/policy-rc.d"
cp "$deb" "$root/tmp/"
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive LANG=C.UTF-8 "$@"; }

# Recommends (Mesa and the like) would double the time and test nothing more.
step "apt-get install --no-install-recommends ./$(basename "$deb")"
if ! in_root sh -c "apt-get update -qq && apt-get install -y -qq --no-install-recommends /tmp/$(basename "$deb")" >"$work/apt.log" 2>&1; then
    tail -n 30 "$work/apt.log"
    echo "FAIL: apt-get install"
    exit 1
fi
rm -f "$root/tmp/$(basename "$deb")"

step "checking the installed package"
for prog in tarvolin tarvolin-report; do
    check "getcap shows cap_net_raw on /usr/bin/$prog" \
        sh -c "chroot '$root' getcap /usr/bin/$prog | grep -q cap_net_raw"
done
check "desktop entry installed" test -f "$root/usr/share/applications/example.tarvolin.Tarvolin.desktop"
check "menu entry names the installed icon" grep -qx "Icon=tarvolin" "$root/usr/share/applications/example.tarvolin.Tarvolin.desktop"
check "scalable icon installed" test -f "$root/usr/share/icons/hicolor/scalable/apps/tarvolin.svg"
check "48x48 icon installed" test -f "$root/usr/share/icons/hicolor/48x48/apps/tarvolin.png"
check "manual pages installed" test -f "$root/usr/share/man/man1/tarvolin-report.1.gz"
in_root dpkg -L tarvolin >"$work/files.txt"
check "nothing under /usr/local" sh -c "! grep -q '^/usr/local' '$work/files.txt'"
check "no file writable by group or others" \
    sh -c "! chroot '$root' sh -c 'dpkg -L tarvolin | while read -r f; do [ -f \"\$f\" ] && find \"\$f\" -perm /022; done' | grep -q ."

step "tarvolin-report --json in a loopback-only network namespace"
unshare -n chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 HOME=/tmp \
    sh -c 'ip link set lo up && exec setpriv --reuid=65534 --regid=65534 --clear-groups /usr/bin/tarvolin-report --json --timeout 60' \
    >"$work/report.json" 2>"$work/report.err"
rc=$?
check "tarvolin-report ended with status 0 (was $rc)" test "$rc" = 0
check "tarvolin-report wrote nothing on stderr" test ! -s "$work/report.err"
check "the JSON document holds the expected figures" python3 - "$work/report.json" <<'PY'
import json, sys
doc = json.load(open(sys.argv[1], encoding="utf-8"))
problems = []
if doc["nat"]["caption"] != "Протокол UDP заблокирован\nUDP Blocked":
    problems.append("NAT caption %r" % doc["nat"]["caption"])
if not doc["interfaces"] or any(not e["address"].startswith("127.") for e in doc["interfaces"]):
    problems.append("interfaces %r" % doc["interfaces"])
echoes = doc["ping"]["echoes"]
# 11050: no ICMP socket could be opened, i.e. the capability did not work.
if len(echoes) != 10 or any(e["status"] in (0, 11050) for e in echoes):
    problems.append("echoes %r" % echoes)
for p in problems:
    print("   " + p)
sys.exit(1 if problems else 0)
PY
[ "$rc" = 0 ] || cat "$work/report.err"

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
