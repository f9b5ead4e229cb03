#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Lab test of the extended path sections: the number of NATs (one, a second
private NAT, a carrier NAT in 100.64.0.0/10), the router's port-mapping
services on and off without a mapping left behind, the voice path on a clean
and on a bad line, and the provider's SIP servers found through NAPTR/SRV with
one target down."""
import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import labtest  # noqa: E402

LAB = os.path.join(labtest.LAB_DIR, "tvl-lab")
BUILD = os.environ.get("TARVOLIN_BUILD_DIR", os.path.join(labtest.LAB_DIR, "..", "build"))
SCENARIO = os.path.join(BUILD, "tarvolin-report")
TLS_MODULE = any(os.path.exists(os.path.join(d, "kamailio/modules/tls.so"))
                 for d in ("/usr/lib/x86_64-linux-gnu", "/usr/lib/aarch64-linux-gnu", "/usr/lib"))

VERDICT = {
    "single": "Вывод: один NAT — ",
    "double": "Вывод: двойной NAT — ",
    "cgnat": "Вывод: NAT оператора (CGNAT) — ",
}


def lab(*args):
    return subprocess.run([LAB] + list(args), capture_output=True, text=True, timeout=120)


def router_mappings(lab_id):
    """Where a port mapping would show: miniupnpd's chains and the router's inbound NAT chain."""
    out = ""
    for what in (["table", "inet", "tvlupnp"], ["chain", "ip", "tvlrt", "nat_prerouting"]):
        out += lab("exec", lab_id, "router", "nft", "list", *what).stdout
    return out


def blocks(output):
    found, name = {}, None
    for line in output.split("\n"):
        m = re.fullmatch(r"==([A-Za-z]+)==", line)
        if m:
            name = m.group(1)
            found[name] = []
            continue
        if name:
            found[name].append(line)
    return {k: "\n".join(v).strip() for k, v in found.items()}


def run(checks, title, lab_args, sections):
    """Brings a lab up, runs the sections in the client namespace, returns (blocks, router before, after)."""
    checks.current = title
    lab_id = "x%d" % (os.getpid() % 100000)
    started = time.time()
    up = lab("up", "--id", lab_id, *lab_args)
    if not checks.check(up.returncode == 0, "lab up failed: " + up.stderr.strip()):
        lab("down", lab_id)
        return {}, "", ""
    try:
        before = router_mappings(lab_id)
        r = subprocess.run([LAB, "exec", lab_id, "client", "env", "QT_QPA_PLATFORM=offscreen", SCENARIO,
                            "--extended-paths", sections, "--blocks", "--timeout", "90"],
                           capture_output=True, timeout=120, cwd="/tmp")
        after = router_mappings(lab_id)
    finally:
        lab("down", lab_id)
    out = r.stdout.decode("utf-8", "replace")
    print("=== %s (%s) %.1f s, status %d" % (title, " ".join(lab_args), time.time() - started, r.returncode))
    print(out)
    checks.check(r.returncode == 0, "tarvolin-report ended with status %d: %s"
                 % (r.returncode, r.stderr.decode("utf-8", "replace")))
    return blocks(out), before, after


def figure(text, pattern):
    m = re.search(pattern.replace("NUMBER", r"([0-9]+(?:[.,][0-9]+)?)"), text)
    return float(m.group(1).replace(",", ".")) if m else None


def nat_and_ports(checks):
    cases = [
        # title, lab options, verdict, UPnP line, NAT-PMP line, PCP line
        ("single NAT, all mapping services", ["--upnp", "on", "--natpmp", "on", "--sip-dns", "naptr"], "single",
         "UPnP IGD: есть, устройство InternetGatewayDevice:2, служба WANIPConnection:2",
         "NAT-PMP: есть", "PCP: есть"),
        ("double NAT (RFC 1918), no mapping service", ["--double-nat", "on", "--sip-dns", "srv"], "double",
         "UPnP IGD: нет ответа", "NAT-PMP: нет", "PCP: нет"),
        ("carrier NAT, UPnP only", ["--cgnat", "on", "--upnp", "on", "--sip-dns", "down"], "cgnat",
         "UPnP IGD: есть", "NAT-PMP: нет", "PCP: нет"),
    ]
    for title, opts, verdict, upnp, natpmp, pcp in cases:
        # The first lab's line is clean: its voice section is the clean-line case.
        clean = verdict == "single"
        if verdict == "double":
            # This one through the window, after one of its NAT measurements.
            nat, ports, dns = window_sections(checks, title, opts)
        else:
            b, before, after = run(checks, title, opts, "nat,ports,voice,dns" if clean else "nat,ports,dns")
            nat, ports, dns = b.get("ExtNat", ""), b.get("ExtPorts", ""), b.get("ExtDns", "")
            checks.equal(after, before, "router rules after the queries (no mapping left behind)")
        if clean:
            # Every answer back, R about 92 (G.107 defaults with about 40 ms mouth to ear).
            mos = figure(b.get("ExtVoice", ""), r"MOS: NUMBER")
            checks.check(mos is not None and mos > 4.3, "clean line MOS above 4.3: %r" % mos)
        checks.contains(nat, VERDICT[verdict], "verdict")
        for other in set(VERDICT) - {verdict}:
            checks.lacks(nat, VERDICT[other], "other verdict")
        checks.contains(ports, upnp, "UPnP")
        checks.contains(ports, natpmp, "NAT-PMP")
        checks.contains(ports, pcp, "PCP")
        dns_checks(checks, opts[-1], dns)


def window_sections(checks, title, opts):
    """The main window's run, then the extended window with the mapping measurement and the path sections."""
    runs = checks.scenario(title, *opts, "--extended-only", "mapping", "--extended-paths", "nat,ports,dns",
                           timeout=200)
    text = runs[-1]["Form5"] if runs else ""
    checks.contains(text, "(Endpoint-Independent Mapping)", "the window's own measurement first")
    parts = {}
    for title_line, key in (("Число NAT на пути", "nat"), ("Протоколы управления портами", "ports"),
                            ("SIP-серверы домена", "dns")):
        at = text.find(title_line)
        parts[key] = re.split(r"\r?\n\r?\n", text[at:])[0] if at >= 0 else ""
    return parts["nat"], parts["ports"], parts["dns"]


def dns_checks(checks, mode, dns):
    lines = [ln.strip() for ln in dns.split("\n")]
    targets = [ln for ln in lines if re.match(r"\d+\. ", ln)]
    if mode == "naptr":
        checks.contains(dns, "NAPTR: записей 3", "NAPTR")
        # NAPTR puts TCP first (order 10, preference 10), sip1 before sip2 by SRV priority.
        checks.check(len(targets) >= 2 and targets[0].startswith("1. TCP sip1.")
                     and targets[1].startswith("2. TCP sip2."), "TCP targets first: %r" % targets[:2])
    else:
        checks.contains(dns, "NAPTR: записей нет", "no NAPTR")
        checks.check(bool(targets) and targets[0].startswith("1. UDP "), "UDP first without NAPTR: %r" % targets[:1])
    tls = [t for t in targets if " TLS sip1.tarvolin.test:5061" in t]
    checks.check(len(tls) == 1, "one TLS target: %r" % tls)
    if TLS_MODULE and tls:
        checks.contains(tls[0], "TLS-соединение установлено", "TLS handshake")
        checks.contains(tls[0], "сертификат не прошёл проверку", "self-signed certificate reported")
    sip2 = [t for t in targets if "sip2.tarvolin.test" in t]
    if mode == "down":
        checks.check(len(sip2) == 2 and all("не отвечает" in t for t in sip2), "sip2 down: %r" % sip2)
        checks.contains(dns, "Часть серверов не отвечает", "partial answer")
    else:
        checks.check(len(sip2) == 2 and not any("не отвечает" in t for t in sip2), "sip2 answers: %r" % sip2)
        checks.contains(dns, "Все проверенные серверы отвечают.", "all answer")


def voice(checks):
    # 150 ms added per round trip and 5 % loss on the way out. Bounds from the
    # formula: 500 requests lose 5 % +- 3.5 standard deviations, 2 to 9 %;
    # the round trip is 150 to 160 ms and the mouth-to-ear delay 115 to 120 ms.
    # R uses what a listener hears: 1 - sqrt(1 - loss) one way, 1.0 to 4.6 %,
    # so R lies between 75.5 (120 ms, 4.6 %) and 86.8 (115 ms, 1.0 %), MOS
    # between 3.84 and 4.25; a little wider for a late answer or a BurstR off 1.
    b, _, _ = run(checks, "150 ms and 5 % loss", ["--delay", "150", "--loss", "5"], "voice")
    v = b.get("ExtVoice", "")
    loss = figure(v, r"потери: NUMBER %")
    median = figure(v, r"медиана NUMBER мс")
    r = figure(v, r"Оценка R [^:]*: NUMBER")
    mos = figure(v, r"MOS: NUMBER")
    checks.check(loss is not None and 2 <= loss <= 9, "loss 2..9 %%: %r" % loss)
    checks.check(median is not None and 150 <= median <= 160, "median round trip 150..160 ms: %r" % median)
    checks.check(r is not None and 74 <= r <= 87.5, "R 74..87.5: %r" % r)
    checks.check(mos is not None and 3.78 <= mos <= 4.28, "MOS 3.78..4.28: %r" % mos)


def main():
    labtest.preflight()
    checks = labtest.Checks()
    nat_and_ports(checks)
    voice(checks)
    checks.finish()


if __name__ == "__main__":
    main()
