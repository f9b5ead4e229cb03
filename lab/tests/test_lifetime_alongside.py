#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""The binding lifetime search with everything else of the extended test
running while its sockets sit idle (mapping, filtering, hairpinning, the RTP
pair and every path section, each on sockets of its own), against the search
alone, behind routers that forget an idle UDP binding after 23 s: the same
lifetime either way, so no other measurement refreshed a watched binding, and
the whole extended test takes about as long as the search alone. The two runs
are independent labs and go side by side."""
import concurrent.futures
import json
import subprocess
import time

import labtest as T

TIMEOUT = 23
RUNS = {
    "everything": ["--extended"],
    "the lifetime search alone": ["--extended-only", "lifetime"],
}
# The main window's automatic test runs in both: the difference is the
# extended window's, which may exceed the search alone by the last section's tail.
MAX_EXTRA_SECONDS = 12


def run(name):
    started = time.time()
    r = subprocess.run(["bash", T.RUN_SCENARIO, "--udp-timeout", str(TIMEOUT), "--timeout", "150"] + RUNS[name],
                       capture_output=True, timeout=210)
    return (name, r.returncode, r.stdout.decode("utf-8", "replace"), r.stderr.decode("utf-8", "replace"),
            time.time() - started)


def main():
    T.preflight()
    c = T.Checks()
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        results = list(pool.map(run, RUNS))
    lifetimes, seconds = {}, {}
    for name, status, out, err, took in results:
        c.current = name
        print("=== %s: %.1f s, status %d" % (name, took, status))
        print(out)
        if err.strip():
            print("--- stderr\n" + err)
        c.check(status == 0, "run-scenario ended with status %d" % status)
        runs = T.parse(out)
        if not c.check(len(runs) == 2, "the automatic run and the extended test expected, got %d" % len(runs)):
            continue
        ext = runs[1]
        c.check("Form5TIMEOUT" not in ext.blocks, "the extended test ran into its time limit")
        figures = json.loads(ext["Form5JSON"] or "{}")
        life = dict(figures.get("lifetime", {}))
        print("    lifetime: %s" % json.dumps(life, ensure_ascii=False))
        life.pop("seconds", None)
        lifetimes[name] = life
        seconds[name] = took
        c.equal(life.get("result"), "measured", "lifetime result")
        last, dead = life.get("lastAliveSeconds", -1), life.get("firstDeadSeconds", -1)
        c.check(last <= TIMEOUT <= dead and dead - last == 5,
                "lifetime %d s: measured between %d and %d s" % (TIMEOUT, last, dead))
        if name == "everything":
            rows = [r.get("key") for r in figures.get("summary", {}).get("rows", [])]
            c.equal(rows, ["mapping", "filtering", "hairpin", "rtp-pair", "lifetime",
                           "nat", "ports", "voice", "dns", "sip", "ipv6"], "every finding present")
            c.check(figures.get("paths", {}).get("voice", {}).get("sent") == 500, "the voice stream ran whole")
    c.current = "both"
    if c.check(len(lifetimes) == 2, "both runs gave a lifetime"):
        c.equal(lifetimes["everything"], lifetimes["the lifetime search alone"],
                "lifetime with everything running beside it")
    if len(seconds) == 2:
        extra = seconds["everything"] - seconds["the lifetime search alone"]
        print("everything took %.1f s more than the search alone" % extra)
        c.check(extra <= MAX_EXTRA_SECONDS, "everything took %.1f s longer than the search alone" % extra)
    c.finish()


if __name__ == "__main__":
    main()
