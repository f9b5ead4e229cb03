#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""SIP ALG and UPnP on the lab's router.

- SIP ALG on behind a port restricted cone NAT (UPnP on as well): the router
  rewrites the Via header, the answer carries no ";received=":
  "Присутствует" with A1 directly followed by A2; with a SIP translating NAT
  the verdict gives no NAT-type paragraphs, so no UPnP paragraph either.
- UPnP on behind a symmetric NAT: "Присутствует" and paragraph SU ("4.")
  after S0..S4.
- UPnP on behind a full cone NAT: paragraph CU ("5.") after C0..C5.
"""
import labtest as T


def main():
    T.preflight()
    c = T.Checks()

    runs = c.scenario("SIP ALG and UPnP on, port restricted cone",
                      "--nat", "port-restricted-cone", "--sip-alg", "on", "--upnp", "on")
    if c.check(len(runs) == 1, "one complete run expected"):
        r = runs[0]
        c.equal(r["SIPsup"], "Присутствует", "SIPsup")
        c.equal(r["UPnP"], "Присутствует", "UPnP")
        c.equal(r["NATType"], T.NAT_CAPTIONS["port-restricted-cone"], "NATType")
        rep = r["Label2"]
        lines = rep.split("\r\n")
        c.check(T.A1 in lines and lines.index(T.A1) + 1 < len(lines)
                and lines[lines.index(T.A1) + 1] == T.A2, "report: A1 followed on the next line by A2")
        c.check(rep.count(T.A2 + "\r\n\r\n") == 1, "report: A2 followed by a blank line")
        c.paragraphs(rep, ["A1", "A2", "PP"])
        c.no_paragraphs(rep, ["R0", "R1", "C0", "S0", "CU", "SU", "W1"])
        c.contains(lines[0], ", SIP:Присутствует, UPnP:Присутствует)", "report: NAT line")
        c.contains(r["IPs"], "Основной шлюз 192.168.1.1\r\n", "IPs")
        c.contains(r["IPs"], "Порт UDP 5060 - прошел", "IPs")

    runs = c.scenario("UPnP on, symmetric NAT", "--nat", "symmetric", "--upnp", "on")
    if c.check(len(runs) == 1, "one complete run expected"):
        r = runs[0]
        c.equal(r["UPnP"], "Присутствует", "UPnP")
        c.equal(r["SIPsup"], "Отсутствует", "SIPsup")
        c.paragraphs(r["Label2"], ["S0", "S1", "S2", "S3", "S4", "SU"])
        c.no_paragraphs(r["Label2"], ["CU", "PP"])

    runs = c.scenario("UPnP on, full cone NAT", "--nat", "full-cone", "--upnp", "on")
    if c.check(len(runs) == 1, "one complete run expected"):
        r = runs[0]
        c.equal(r["UPnP"], "Присутствует", "UPnP")
        c.paragraphs(r["Label2"], ["C0", "C1", "C2", "C3", "C4", "C5", "CU", "PP"])
        c.no_paragraphs(r["Label2"], ["SU"])
    c.finish()


if __name__ == "__main__":
    main()
