#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Line quality: a delay and losses on the path to the provider, seen in the
ping log, the figures of the report and its grade."""
import re

import labtest as T


def echo_lines(ping):
    return [l for l in ping.split("\r\n") if re.match(r"^\d - \d+ мс - ", l)]


def main():
    T.preflight()
    c = T.Checks()

    # 300 ms added to every round trip: average about 300, the waiting time
    # becomes 7 x the average, the grade "удовлетворительное" with a large delay.
    runs = c.scenario("delay 300 ms", "--delay", "300")
    if c.check(len(runs) == 1, "one complete run expected"):
        r = runs[0]
        echoes = echo_lines(r["Ping"])
        c.equal(len(echoes), 10, "Ping: ten echo lines")
        for l in echoes:
            rtt = int(l.split(" - ")[1].split(" ")[0])
            c.check(300 <= rtt <= 340 and l.endswith(" [ping OK]"), "Ping: echo line %r" % l)
        m = re.search(r"Средняя задержка - (\d+)\r\n", r["Ping"])
        c.check(m is not None and 300 <= int(m.group(1)) <= 340, "Ping: average line")
        c.contains(r["Ping"], "Потерянных пакетов - 0", "Ping")
        lines = r["Label2"].split("\r\n")
        c.check(len(lines) > 4 and lines[3].startswith("Задержка:3")
                and lines[3].endswith("% - Качество Интернет канала удовлетворительное!")
                and lines[4] == "Достаточно большая задержка.",
                "report: figures and grade %r" % lines[3:5])
        c.equal(r["NATType"], T.NAT_CAPTIONS["port-restricted-cone"], "NATType (answers within 7 x delay)")
        c.equal(r["SIPsup"], "Отсутствует", "SIPsup")
        c.contains(r["IPs"], "Порт UDP 5060 - прошел", "IPs")

    # Everything towards the provider lost: ten failed echoes, no average, no
    # STUN answer, no SIP answer, no TCP connection.
    runs = c.scenario("loss 100 %", "--loss", "100")
    if c.check(len(runs) == 1, "one complete run expected"):
        r = runs[0]
        echoes = echo_lines(r["Ping"])
        c.equal(len(echoes), 10, "Ping: ten echo lines")
        c.check(all(not l.endswith("[ping OK]") for l in echoes), "Ping: every echo failed")
        c.contains(r["Ping"], "Средняя задержка - неизвестна\r\n", "Ping")
        c.contains(r["Ping"], "Потерянных пакетов - 10\r\n", "Ping")
        c.check(r["Ping"].endswith("Джиттер - отсутствует"), "Ping ends with the jitter text")
        c.equal(r["IPAdr"], "Неопределен", "IPAdr")
        c.equal(r["NATType"], "Протокол UDP заблокирован\r\nUDP Blocked", "NATType")
        c.equal(r["STUN_Port"], " Случайный порт (Random port)", "STUN_Port (mapped port 0)")
        lines = r["Label2"].split("\r\n")
        c.check(len(lines) > 3 and lines[3].startswith("Задержка:0, Потери:10, Джиттер:0% - ")
                and lines[3].endswith("Не удалось определить внешний адрес NATа!" + T.DASHES),
                "report: figures line runs into the verdict and the dashes: %r" % lines[3:4])
        c.contains(r["IPs"], "Порт UDP 5060 - не прошел\r\nПорт TCP 5060 - не прошел", "IPs")
        c.contains(r["IPs"], "Основной шлюз 192.168.1.1\r\n", "IPs (the router is before the lossy line)")

    # Half of the echoes lost at random: the log, the count and the grade agree.
    runs = c.scenario("loss 50 %", "--loss", "50")
    if c.check(len(runs) == 1, "one complete run expected"):
        r = runs[0]
        echoes = echo_lines(r["Ping"])
        lost = sum(1 for l in echoes if not l.endswith(" [ping OK]"))
        c.equal(len(echoes), 10, "Ping: ten echo lines")
        c.check(lost >= 1, "Ping: some echoes lost at 50 %")
        c.contains(r["Ping"], "Потерянных пакетов - %d\r\n" % lost, "Ping: loss count = failed lines")
        if lost >= 5:
            c.contains(r["Ping"], "Средняя задержка - неизвестна", "Ping")
        rep = r["Label2"]
        c.contains(rep.split("\r\n")[3], ", Потери:%d, " % lost, "report: figures line")
        if r["IPAdr"] != "Неопределен":
            if lost >= 3:
                c.contains(rep, "% - Качество Интернет канала неудовлетворительное!\r\n"
                           "Очень большой процент ошибок.\r\n", "report: grade")
            else:
                c.contains(rep, "% - Качество Интернет канала хорошее!\r\nПрисутствуют ошибки.\r\n",
                           "report: grade")
    c.finish()


if __name__ == "__main__":
    main()
