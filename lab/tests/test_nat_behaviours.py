#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""The six NAT behaviours of the lab's router, one run of the main window each:
NAT type, external address, port allocation, SIP caption, verdict paragraphs,
gateway found by the TTL-1 echo, DNS test, the UDP and TCP 5060 lines and the
summary lines of the report."""
import labtest as T

PRIVATE_GW = "192.168.1.1"
PUBLIC_GW = "198.51.100.1"

# behaviour: external address, port caption, SIP caption, UDP 5060 passed,
# paragraphs in order, paragraphs that must be absent
CASES = {
    "port-restricted-cone": ("192.0.2.2", T.PRESERVES, "Отсутствует", True,
                             ["R0", "R1", "C2", "C3", "C4", "C5", "PP"], ["C0", "S0", "CU", "A1", "W1"]),
    "restricted-cone": ("192.0.2.3", T.PRESERVES, "Отсутствует", True,
                        ["R0", "R1", "C2", "C3", "C4", "C5", "PP"], ["C0", "S0", "CU", "A1", "W1"]),
    "full-cone": ("192.0.2.3", T.PRESERVES, "Отсутствует", True,
                  ["C0", "C1", "C2", "C3", "C4", "C5", "PP"], ["R0", "S0", "CU", "A1", "W1"]),
    # The NAT picks a new port for every destination: the SIP answer, sent to
    # the Via port 5060 of the external address, finds no mapping.
    "symmetric": ("192.0.2.2", T.RANDOM, "Отсутствует", False,
                  ["S0", "S1", "S2", "S3", "S4"], ["SU", "C0", "R0", "PP", "A1", "W1"]),
    # A public client address: kamailio sees the Via address as the source and
    # adds no ";received=" (the caption reads "Присутствует" during the run);
    # the verdict finds the external address equal to the main address and
    # writes "Реальный IP адрес" with P0 (open) or P1 (firewall).
    "open": ("198.51.100.10", T.PRESERVES, "Реальный IP адрес", True,
             ["P0", "PP"], ["P1", "A1", "W1", "S0", "C0", "R0"]),
    "udp-firewall": ("198.51.100.10", T.PRESERVES, "Реальный IP адрес", True,
                     ["P1", "PP"], ["P0", "A1", "W1", "S0", "C0", "R0"]),
}

ORDER = ["port-restricted-cone", "restricted-cone", "full-cone", "symmetric", "open", "udp-firewall"]


def main():
    T.preflight()
    c = T.Checks()
    for nat in ORDER:
        ext, port_caption, sip, udp_ok, present, absent = CASES[nat]
        public = nat in ("open", "udp-firewall")
        client = "198.51.100.10" if public else "192.168.1.10"
        gw = PUBLIC_GW if public else PRIVATE_GW
        runs = c.scenario(nat, "--nat", nat)
        if not c.check(len(runs) == 1, "one complete run expected, got %d" % len(runs)):
            continue
        r = runs[0]
        c.equal(r.messages, [], "message boxes")
        c.equal(r["IPAdr"], ext, "IPAdr")
        c.equal(r["NATType"], T.NAT_CAPTIONS[nat], "NATType")
        c.equal(r["STUN_Port"], port_caption, "STUN_Port")
        c.equal(r["SIPsup"], sip, "SIPsup")
        c.equal(r["UPnP"], "Отсутствует", "UPnP")

        ips = r["IPs"]
        c.contains(ips, "IP по умолчанию - " + client + "\r\n", "IPs")
        c.contains(ips, "Маска подсети - 255.255.255.0\r\n", "IPs")
        c.contains(ips, "Основной шлюз " + gw + "\r\n", "IPs: gateway from the TTL-1 echo")
        c.contains(ips, "Основной IP адрес\r\n" + ("из общего диапазона" if public else "из диапазона RFC1918"),
                   "IPs: address class")
        c.contains(ips, "\r\nDNS тест - прошел", "IPs")
        c.check(ips.endswith("\r\n\r\nПорт UDP 5060 - %s\r\nПорт TCP 5060 - прошел"
                             % ("прошел" if udp_ok else "не прошел")),
                "IPs ends with the UDP and TCP 5060 lines: %r" % ips[-70:])

        rep = r["Label2"]
        lines = rep.split("\r\n")
        port_word = "Совпадающий" if port_caption == T.PRESERVES else "Случайный"
        nat_first = T.NAT_CAPTIONS[nat].split("\r\n")[0]
        c.equal(lines[0], "Внешний адрес NATа: %s (%s, Port:%s, SIP:%s, UPnP:Отсутствует)"
                % (ext, nat_first, port_word, sip), "report: NAT line")
        c.check(lines[1].startswith("Интерфейсы: ") and "-" + client + ",  " in lines[1],
                "report: interface line %r" % lines[1])
        c.equal(lines[2], "(DefIP:%s, MSK:255.255.255.0, GW:%s, DNS-OK, UDP5060-%s, TCP5060-OK)"
                % (client, gw, "OK" if udp_ok else "NO"), "report: survey line")
        c.check(lines[3].startswith("Задержка:") and ", Потери:0, Джиттер:" in lines[3]
                and lines[3].endswith("% - Качество Интернет канала отличное!"),
                "report: figures and grade line %r" % lines[3])
        if public:
            c.contains(rep, "\r\nДанный компьютер имеет реальный IP адрес.\r\n\r\n", "report")
        else:
            c.lacks(rep, "Данный компьютер имеет реальный IP адрес.", "report")
        c.paragraphs(rep, present)
        c.no_paragraphs(rep, absent)
        c.contains(rep, T.DASHES + "\r\n", "report: line of dashes")

        ping = r["Ping"]
        c.equal(ping.count(" мс -  [ping OK]"), 10, "Ping: ten answered echoes")
        c.contains(ping, "Потерянных пакетов - 0", "Ping")
    c.finish()


if __name__ == "__main__":
    main()
