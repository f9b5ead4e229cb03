#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""The tool windows against the lab, opened from the menu after the automatic
test: the packet passage window with and without the router forwarding the
chosen port, the DNS SRV window listing the lab's SRV and A records, and the
ping window through a delayed line."""
import re

import labtest as T

ENTRY = "пришел пакет на порт 5070"


def main():
    T.preflight()
    c = T.Checks()

    runs = c.scenario("port forwarded: passage window and DNS SRV window", "--nat", "port-restricted-cone",
                      "--forward", "5070", "--passage", "5070:0", "--dns-srv", "_sip._udp.tarvolin.test")
    if c.check(len(runs) == 3, "main run plus two tool windows expected, got %d" % len(runs)):
        log = runs[1]["Form1"]
        # The test server answers to the Via address and port: the external
        # address and 5070, which the router forwards to the client.
        c.check(re.match(r"\(\d\d?:\d\d:\d\d\) " + ENTRY + "\r\n\r\n", log) is not None,
                "Form1 log: an arrival on 5070 expected, got %r" % log)
        c.equal(runs[2]["Form3"],
                "Entrie: \t\t1\r\nType: \t\t33\r\nRR Name: \t_sip._udp.tarvolin.test\r\n"
                "Host Name: \ttarvolin.test\r\nHost Port: \t5060\r\n\r\n"
                "Entrie: \t\t2\r\nType: \t\t1\r\nRR Name: \ttarvolin.test\r\n"
                "IP Addresse: \t203.0.113.10\r\n\r\n", "Form3 listing")

    runs = c.scenario("no forwarding, delayed line: passage window and ping window", "--nat",
                      "port-restricted-cone", "--delay", "200", "--passage", "5070:0",
                      "--ping", "203.0.113.10:3")
    if c.check(len(runs) == 3, "main run plus two tool windows expected, got %d" % len(runs)):
        # Sent from a system-chosen port, the answer to 5070 finds no way in.
        c.equal(runs[1]["Form1"], "", "Form1 log without forwarding")
        ping = runs[2]
        lines = ping["Form4"].split("\r\n")
        c.equal(lines[0], "Пинг на адрес 203.0.113.10", "Form4 heading")
        times = []
        for n in (1, 2, 3):
            m = re.fullmatch(r"Запрос № %d на 203\.0\.113\.10 - время ответа (\d+) мс - статус  \[ping OK\]" % n,
                             lines[n] if len(lines) > n else "")
            if c.check(m is not None, "Form4 line %d: %r" % (n, lines[n] if len(lines) > n else None)):
                times.append(int(m.group(1)))
        c.check(all(200 <= t < 400 for t in times), "Form4 times follow the 200 ms line: %r" % times)
        c.equal(ping["Num"], "3", "Num")
        c.equal(ping["poter"], "0 % (0)", "poter")
        m = re.fullmatch(r"(\d+)(?:[.,]\d+)? мс\.", ping["Zadergka"])
        c.check(m is not None and 200 <= int(m.group(1)) < 400, "Zadergka %r" % ping["Zadergka"])
        if len(times) == 3:
            c.check(ping["Dgit"].endswith(" %%  (%d мс.)" % (max(times) - min(times))), "Dgit %r" % ping["Dgit"])
    c.finish()


if __name__ == "__main__":
    main()
