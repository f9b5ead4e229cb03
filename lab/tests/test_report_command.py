#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""tarvolin-report and tarvolin as a script calls them, in a network namespace
of the test's own whose only route leads nowhere (every echo and probe goes
unanswered, nothing leaves the namespace): exit statuses, a full or closed
output, a run stopped by a signal or by --timeout printing what it measured,
--help and --version without a display, wrong options refused."""
import json
import os
import signal
import subprocess
import time

import labtest as T

BUILD = os.environ.get("TARVOLIN_BUILD_DIR", os.path.join(T.LAB_DIR, "..", "build"))
REPORT = os.path.join(BUILD, "tarvolin-report")
PROGRAM = os.path.join(BUILD, "tarvolin")
# A namespace with a default route to an address nobody holds: ARP fails, so
# every echo waits for its time-out and the run is slow enough to interrupt.
NETNS = ("ip link set lo up && ip link add v0 type veth peer name v1 && ip link set v0 up && "
         "ip link set v1 up && ip addr add 10.9.0.2/24 dev v0 && ip route add default via 10.9.0.1 && "
         "sysctl -qw net.ipv4.ping_group_range='0 2147483647' && exec \"$@\"")


def start(args, stdout=subprocess.PIPE):
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    return subprocess.Popen(["unshare", "-n", "sh", "-c", NETNS, "sh"] + args, stdout=stdout,
                            stderr=subprocess.PIPE, env=env, start_new_session=True)


def run(args, stop_after=None, sig=signal.SIGINT, stdout=subprocess.PIPE, limit=60):
    """Runs args; with stop_after, sends sig that many seconds after the start.
    Returns (status, stdout text, stderr text, seconds)."""
    t0 = time.monotonic()
    p = start(args, stdout)
    if stop_after is not None:
        time.sleep(stop_after)
        # The program is the namespace shell's exec: the session's only process.
        os.killpg(p.pid, sig)
    out, err = p.communicate(timeout=limit)
    return p.returncode, (out or b"").decode("utf-8", "replace"), err.decode("utf-8", "replace"), time.monotonic() - t0


def main():
    T.preflight()
    c = T.Checks()

    # (title, arguments, signal time, expected status, what stdout must hold, what stderr must hold);
    # the signal is SIGINT, or SIGTERM where the title says so.
    cases = [
        ("--help names the program, not its path", [REPORT, "--help"], None, 0,
         "Usage: tarvolin-report [options]", ""),
        ("--version with copyright and licence", [REPORT, "--version"], None, 0,
         "\nLicense: Apache-2.0", ""),
        ("--timeout beyond a day is refused", [REPORT, "--timeout", "4294968"], None, 64, "",
         "--timeout takes a whole number of seconds from 1 to 86400"),
        ("tool window options need --blocks", [REPORT, "--json", "--ping", "x:1"], None, 64, "", "--blocks"),
        ("--lang takes ru or en only", [REPORT, "--lang", "de"], None, 64, "", "--lang takes ru or en, not 'de'"),
        ("tarvolin --help without a display", [PROGRAM, "--help"], None, 0, "Usage: tarvolin [options]", ""),
        ("tarvolin --version without a display", [PROGRAM, "--version"], None, 0, "tarvolin (Tarvolin) ", ""),
        ("tarvolin refuses an unknown option", [PROGRAM, "--bogus"], None, 64, "",
         "tarvolin: unknown option '--bogus' (try --help)\n"),
        ("SIGINT at 3 s", [REPORT, "--json"], 3, 130, '"finished": false', "stopped by signal 2"),
        ("SIGTERM at 3 s", [REPORT], 3, 143, "Тест не завершён: остановлен на шаге", "stopped by signal 15"),
        ("--timeout 1", [REPORT, "--json", "--timeout", "1"], None, 2, '"finished": false',
         "did not finish in 1 s"),
        ("--json with the path sections alone", [REPORT, "--json", "--extended-paths", "nat"],
         None, 0, '"extendedNat"', ""),
    ]
    for title, args, stop_after, status, out_part, err_part in cases:
        rc, out, err, seconds = run(args, stop_after, signal.SIGTERM if "SIGTERM" in title else signal.SIGINT)
        print("%s: status %s in %.1f s" % (title, rc, seconds))
        c.equal(rc, status, title + ": status")
        c.contains(out, out_part, title + ": stdout")
        c.contains(err, err_part, title + ": stderr")
        if status == 64 or "--help" in args or "--version" in args:
            c.check(seconds < 5, title + ": answered at once (%.1f s)" % seconds)
        if status == 0:
            c.lacks(out, BUILD, title + ": no path")
        if status in (0, 64, 2, 130, 143):
            c.check(err.count("\n") <= 1, title + ": at most one line on stderr: %r" % err)
        if '"finished"' in out_part:
            try:
                doc = json.loads(out)
            except ValueError as e:
                c.check(False, title + ": JSON: %s" % e)
                continue
            c.equal(doc.get("finished"), False, title + ": finished")
            c.check(isinstance(doc.get("step"), str) and doc["step"], title + ": step %r" % doc.get("step"))
            c.check(doc.get("schemaVersion") == 2 and doc.get("startedAt", "").endswith("Z"),
                    title + ": header members")
            c.check(abs(doc.get("durationSeconds", -1) - seconds) < 2, title + ": duration %r" % doc.get("durationSeconds"))
        if title.startswith("--json with the path"):
            doc = json.loads(out)
            c.check("paths" in doc.get("extendedNat", {}), "path sections alone: extendedNat.paths")
            c.equal(doc.get("finished"), True, "path sections alone: finished")
            c.check("mainAddress" not in doc, "path sections alone: no main window members")

    # A full disk behind standard output: status 1 and why, not 0.
    with open("/dev/full", "wb") as full:
        rc, _, err, _ = run([REPORT, "--json", "--timeout", "2"], stdout=full)
    c.equal(rc, 1, "/dev/full: status")
    c.contains(err, "tarvolin-report: write error: No space left on device", "/dev/full: stderr")
    with open("/dev/full", "wb") as full:
        rc, _, err, _ = run([REPORT, "--version"], stdout=full)
    c.equal(rc, 1, "--version to /dev/full: status")
    c.finish()


if __name__ == "__main__":
    main()
