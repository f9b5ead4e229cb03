#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""The start-up DNS test against the lab's DNS server: the domain's A record
inside the provider's network and its _sip._udp SRV record pass (checked in the
NAT behaviour runs); a missing SRV record or an A record outside the network
prefix fail, and nothing else of the run is affected."""
import labtest as T


def main():
    T.preflight()
    c = T.Checks()
    for mode in ("nosrv", "wrongaddr"):
        runs = c.scenario("DNS " + mode, "--dns", mode)
        if not c.check(len(runs) == 1, "one complete run expected"):
            continue
        r = runs[0]
        c.contains(r["IPs"], "\r\nDNS тест - не прошел\r\n", "IPs")
        c.lacks(r["IPs"], "DNS тест - прошел", "IPs")
        c.contains(r["Label2"], ", DNS-NO, UDP5060-OK, TCP5060-OK)", "report: survey line")
        c.equal(r["NATType"], T.NAT_CAPTIONS["port-restricted-cone"], "NATType")
        c.equal(r["IPAdr"], "192.0.2.2", "IPAdr")
    c.finish()


if __name__ == "__main__":
    main()
