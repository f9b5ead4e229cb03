#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""The extended NAT test window behind each kind of router the lab builds:
mapping and filtering in RFC 4787 words for the six NAT behaviours, the
binding lifetime for two UDP timeouts and on a line losing 5 % each way, no
binding to keep on an open Internet connection, hairpinning on and off, through
address-dependent filters and from a new port behind port-dependent mapping,
the RTP pair behind a port-remapping NAT, and STUN servers without RFC 5780 or
ignoring CHANGE-REQUEST. The runs are
independent labs and go three at a time."""
import concurrent.futures
import json
import subprocess
import time

import labtest as T

EIM = "(Endpoint-Independent Mapping)"
ADM = "(Address-Dependent Mapping)"
APDM = "(Address and Port-Dependent Mapping)"
EIF = "(Endpoint-Independent Filtering)"
ADF = "(Address-Dependent Filtering)"
APDF = "(Address and Port-Dependent Filtering)"
NO_NAT = "NAT не обнаружен"
CANNOT = "сервер не поддерживает этот тест"
BEHAVIOUR_WORDS = [EIM, ADM, APDM, EIF, ADF, APDF, NO_NAT]

# name: lab options, measurements, scenario time limit (s)
RUNS = {
    "open": (["--nat", "open"], "mapping,filtering,lifetime", 120),
    "udp-firewall": (["--nat", "udp-firewall"], "mapping,filtering", 120),
    "full-cone": (["--nat", "full-cone"], "mapping,filtering", 120),
    "restricted-cone": (["--nat", "restricted-cone"], "mapping,filtering", 120),
    "symmetric": (["--nat", "symmetric"], "mapping,filtering", 120),
    # Port restricted cone (the default), hairpinning off, UDP timeout 20 s.
    "port-restricted-cone, timeout 20 s": (["--udp-timeout", "20"],
                                           "mapping,filtering,hairpin,rtp-pair,lifetime", 150),
    "hairpin on, timeout 60 s": (["--udp-timeout", "60", "--hairpin", "on"], "hairpin,lifetime", 180),
    "port-remapping": (["--nat", "port-remapping"], "mapping,rtp-pair", 120),
    # One lost probe must not end the search: each is confirmed with another socket.
    "5 % loss each way, timeout 60 s": (["--udp-timeout", "60", "--loss", "5", "--loss-way", "both"],
                                        "lifetime", 180),
    "symmetric, hairpin on": (["--nat", "symmetric", "--hairpin", "on"], "mapping,hairpin", 120),
    "restricted-cone, hairpin on": (["--nat", "restricted-cone", "--hairpin", "on"], "filtering,hairpin", 120),
    "no RFC 5780": (["--stun-mode", "no-rfc5780"], "mapping,filtering,lifetime", 120),
    "CHANGE-REQUEST ignored": (["--stun-mode", "ignore-change"], "mapping,filtering", 120),
}

# name: {measurement: words that must appear in its section}
WORDS = {
    "open": {"mapping": [NO_NAT], "filtering": [EIF],
             "lifetime": ["keep-alive-пакеты для удержания отображения не нужны"]},
    "udp-firewall": {"mapping": [NO_NAT], "filtering": [APDF]},
    "full-cone": {"mapping": [EIM], "filtering": [EIF]},
    "restricted-cone": {"mapping": [EIM], "filtering": [ADF]},
    "symmetric": {"mapping": [APDM], "filtering": [APDF]},
    "port-restricted-cone, timeout 20 s": {"mapping": [EIM], "filtering": [APDF],
                                           "hairpin": ["(Hairpinning не поддерживается)"],
                                           "rtp-pair": ["порты сохранены — да"]},
    "hairpin on, timeout 60 s": {"hairpin": ["(Hairpinning поддерживается)"]},
    "port-remapping": {"mapping": [EIM], "rtp-pair": ["порты сохранены — нет", "порты соседние — нет"]},
    "5 % loss each way, timeout 60 s": {},
    # Hairpinned from the router's address with a new port: not an internal source.
    "symmetric, hairpin on": {"mapping": [APDM],
                              "hairpin": ["(Hairpinning поддерживается, с другим внешним портом)"]},
    # B's datagram passes A's address filter once A has sent to B's external address.
    "restricted-cone, hairpin on": {"filtering": [ADF], "hairpin": ["(Hairpinning поддерживается)"]},
    "no RFC 5780": {"mapping": [CANNOT], "filtering": [CANNOT], "lifetime": [CANNOT]},
    # The lab's server also answers requests to 203.0.113.11:3478 from the
    # primary address: neither test may take such an answer as evidence.
    "CHANGE-REQUEST ignored": {"mapping": [CANNOT], "filtering": [CANNOT]},
}

TITLES = {
    "mapping": "Отображение адресов (mapping)",
    "filtering": "Фильтрация входящих пакетов (filtering)",
    "hairpin": "Петля через NAT (hairpinning)",
    "rtp-pair": "Пара портов RTP/RTCP",
    "lifetime": "Время жизни неиспользуемого отображения UDP",
}

TIMEOUTS = {"port-restricted-cone, timeout 20 s": 20, "hairpin on, timeout 60 s": 60,
            "5 % loss each way, timeout 60 s": 60}
# Words no section of a run may contain.
LACKS = {"symmetric, hairpin on": ["внутреннему адресу", "не поддерживается"],
         "restricted-cone, hairpin on": ["не поддерживается"],
         "open": ["NAT хранит"]}


def run(name):
    options, only, limit = RUNS[name]
    started = time.time()
    r = subprocess.run(["bash", T.RUN_SCENARIO] + options + ["--extended-only", only, "--timeout", str(limit)],
                       capture_output=True, timeout=limit + 60)
    return (name, r.returncode, r.stdout.decode("utf-8", "replace"), r.stderr.decode("utf-8", "replace"),
            time.time() - started)


def sections(text):
    """Section text by measurement name, from the window's result text."""
    found = {}
    for block in text.replace("\r\n", "\n").split("\n\n"):
        title = block.split("\n", 1)[0]
        for m, t in TITLES.items():
            if title == t:
                found[m] = block
    return found


def main():
    T.preflight()
    c = T.Checks()
    with concurrent.futures.ThreadPoolExecutor(max_workers=3) as pool:
        results = list(pool.map(run, RUNS))
    for name, status, out, err, seconds in results:
        c.current = name
        print("=== %s: %.1f s, status %d" % (name, seconds, status))
        print(out)
        if err.strip():
            print("--- stderr\n" + err)
        c.check(status == 0, "run-scenario ended with status %d" % status)
        runs = T.parse(out)
        if not c.check(len(runs) == 2, "the automatic run and the extended test expected, got %d" % len(runs)):
            continue
        ext = runs[1]
        c.check("Form5TIMEOUT" not in ext.blocks, "the extended test ran into its time limit")
        found = sections(ext["Form5"])
        figures = json.loads(ext["Form5JSON"] or "{}")
        c.equal(sorted(found), sorted(RUNS[name][1].split(",")), "sections")
        for m, words in WORDS[name].items():
            section = found.get(m, "")
            for w in words:
                c.contains(section, w, m)
            if CANNOT in words:
                for w in BEHAVIOUR_WORDS + ["keep-alive"]:
                    c.lacks(section, w, m + " (server cannot test)")
        for w in LACKS.get(name, []):
            c.lacks(ext["Form5"], w, "whole text")
        for m, f in figures.items():
            print("    %s: %.1f s" % (m, f.get("seconds", -1)))
        if name in TIMEOUTS:
            timeout = TIMEOUTS[name]
            life = figures.get("lifetime", {})
            last, dead = life.get("lastAliveSeconds", -1), life.get("firstDeadSeconds", -1)
            # Within one step: the binding lived through last and was gone at dead.
            c.check(last <= timeout <= dead and dead - last == 5,
                    "lifetime %d s: measured between %d and %d s" % (timeout, last, dead))
            # One step past the timeout, and a second probe that confirms the loss.
            c.check(life.get("seconds", 999) <= timeout + 5 + 5,
                    "lifetime search took %.1f s (timeout %d s)" % (life.get("seconds", -1), timeout))
            c.contains(found.get("lifetime", ""), "Настройте на телефоне отправку keep-alive (или перерегистрацию) "
                       "не реже чем раз в %d с" % life.get("keepAliveSeconds", -1), "lifetime advice")
    c.finish()


if __name__ == "__main__":
    main()
