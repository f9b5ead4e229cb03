#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Runs outside the usual set-up: a client with its loopback interface only,
UDP port 5060 held by another program, "Повторить тест" after the router
has been switched to another NAT behaviour, and STUN answers whose second
attribute is not CHANGED-ADDRESS."""
import labtest as T


def main():
    T.preflight()
    c = T.Checks()

    # Loopback only: no main interface, nothing reachable.
    runs = c.scenario("no usable interface", "--client-net", "off")
    if c.check(len(runs) == 1, "one complete run expected"):
        r = runs[0]
        ips = r["IPs"]
        c.check(ips.startswith("1 - 127.0.0.1\r\n"), "IPs lists the loopback address: %r" % ips[:40])
        c.lacks(ips, "IP по умолчанию - ", "IPs")
        c.contains(ips, "Основной шлюз неопределенный\r\n", "IPs")
        c.contains(ips, "Основной IP адрес\r\nиз общего диапазона\r\n", "IPs")
        c.contains(ips, "DNS тест - не прошел", "IPs")
        rep = r["Label2"]
        lines = rep.split("\r\n")
        c.check(len(lines) > 3 and lines[3].endswith("% - Компьютер не подключен к сети" + T.DASHES),
                "report: the verdict follows the figures line: %r" % lines[3:4])
        c.contains(lines[2] if len(lines) > 2 else "", "(DefIP:, MSK:, GW:неопределенный, DNS-NO", "report")
        c.equal(r["NATType"], "Протокол UDP заблокирован\r\nUDP Blocked", "NATType")
        c.equal(r["IPAdr"], "Неопределен", "IPAdr")
        c.contains(r["Ping"], "Потерянных пакетов - 10", "Ping")

    # UDP 5060 held by another process in the client namespace.
    runs = c.scenario("port 5060 taken", "--occupy-udp", "5060")
    if c.check(len(runs) == 1, "one complete run expected"):
        r = runs[0]
        c.check("Порт 5060 занят другой программой !!!" in r.messages,
                "message \"Порт 5060 занят другой программой !!!\" shown: %r" % r.messages)
        # Nothing can be sent from port 5060: the SIP probe says so and sends
        # nothing (no REGISTER, no TCP attempt); the rest of the run goes on.
        c.check("Ошибка открытия порта 5060 !!!\r\nВозможно порт занят другой программой." in r.messages,
                "SIP probe's message shown: %r" % r.messages)
        c.equal(r["NATType"], T.NAT_CAPTIONS["port-restricted-cone"], "NATType")
        c.equal(r["IPAdr"], "192.0.2.2", "IPAdr")
        c.contains(r["IPs"], "Порт UDP 5060 - не прошел\r\nПорт TCP 5060 - не прошел", "IPs")
        c.contains(r["Label2"], T.DASHES, "report complete")

    # "Повторить тест" after the router changed from port restricted cone to
    # symmetric: the second report describes the symmetric NAT only.
    runs = c.scenario("restart after switching the NAT", "--nat", "port-restricted-cone",
                      "--restart-nat", "symmetric")
    if c.check(len(runs) == 2, "two complete runs expected, got %d" % len(runs)):
        first, second = runs
        c.equal(first["NATType"], T.NAT_CAPTIONS["port-restricted-cone"], "first NATType")
        c.equal(first["STUN_Port"], T.PRESERVES, "first STUN_Port")
        c.paragraphs(first["Label2"], ["R0", "R1", "C2", "C3", "C4", "C5", "PP"], "first report")
        c.equal(second["NATType"], T.NAT_CAPTIONS["symmetric"], "second NATType")
        c.equal(second["STUN_Port"], T.RANDOM, "second STUN_Port")
        c.equal(second["IPAdr"], "192.0.2.2", "second IPAdr")
        c.equal(second["SIPsup"], "Отсутствует", "second SIPsup")
        rep = second["Label2"]
        c.paragraphs(rep, ["S0", "S1", "S2", "S3", "S4"], "second report")
        c.no_paragraphs(rep, ["R0", "R1", "C0", "C2", "PP"], "second report")
        c.check(rep.split("\r\n")[0].startswith("Внешний адрес NATа: 192.0.2.2 (Симметричный, Port:Случайный,"),
                "second report: NAT line %r" % rep.split("\r\n")[0])
        c.equal(rep.count("Внешний адрес NATа: "), 1, "second report: one summary")
        c.contains(second["IPs"], "Порт UDP 5060 - не прошел\r\nПорт TCP 5060 - прошел", "second IPs")
        c.equal(second["IPs"].count("Основной шлюз "), 1, "second IPs rebuilt")
    # coturn's own attribute order puts SOURCE-ADDRESS second. The program
    # looks the CHANGED-ADDRESS attribute up by its type, so its fourth request
    # still goes to the alternative address and a symmetric NAT shows a new
    # mapping there. (Taking the second attribute as the alternative address
    # would send it to the main address again and read "Port Restricted Cone".)
    runs = c.scenario("symmetric NAT, STUN answers in coturn's order", "--nat", "symmetric",
                      "--stun-order", "coturn")
    if c.check(len(runs) == 1, "one complete run expected"):
        r = runs[0]
        c.equal(r["NATType"], T.NAT_CAPTIONS["symmetric"], "NATType")
        c.equal(r["STUN_Port"], T.RANDOM, "STUN_Port")
        c.paragraphs(r["Label2"], ["S0", "S1", "S2", "S3", "S4"])
        c.no_paragraphs(r["Label2"], ["R0", "C2"])
    c.finish()


if __name__ == "__main__":
    main()
