#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""The binding lifetime behind a router whose UDP timeout is exactly 120 s,
the least RFC 4787 (REQ-5) allows: the search finds it between 115 and
120 s of idle time, names no breach of RFC 4787 and advises a keep-alive of
half the idle time seen to survive. One run of about 130 s, in a file of its
own so that it runs beside the other lab suites."""
import json

import labtest as T


def main():
    T.preflight()
    c = T.Checks()
    runs = c.scenario("timeout 120 s", "--udp-timeout", "120", "--extended-only", "lifetime", "--timeout", "200",
                      timeout=260)
    if c.check(len(runs) == 2, "the automatic run and the extended test expected, got %d" % len(runs)):
        ext = runs[1]
        c.check("Form5TIMEOUT" not in ext.blocks, "the extended test ran into its time limit")
        text = ext["Form5"]
        life = json.loads(ext["Form5JSON"] or "{}").get("lifetime", {})
        last, dead = life.get("lastAliveSeconds", -1), life.get("firstDeadSeconds", -1)
        c.check(last == 115 and dead == 120, "lifetime between 115 and 120 s: %d, %d" % (last, dead))
        c.equal(life.get("belowRfc4787"), False, "no breach claimed in the figures")
        c.lacks(text, "RFC 4787", "no breach claimed in the text")
        c.equal(life.get("keepAliveSeconds"), 55, "keep-alive: half of 115 s, down to 5 s")
        c.contains(text, "не реже чем раз в 55 с", "keep-alive advice")
    c.finish()


if __name__ == "__main__":
    main()
