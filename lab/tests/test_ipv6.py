#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Lab test of the extended test's IPv6 section: native IPv6 behind the
router's stateful firewall, the same without a firewall, NAT66 (masquerade),
NPTv6 (stateless prefix translation), IPv6 dropped on the way to the provider,
and a client without IPv6. tarvolin-report runs the section alone
(--extended-paths ipv6) in the client namespace and prints the JSON report."""
import json
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import labtest  # noqa: E402

LAB = os.path.join(labtest.LAB_DIR, "tvl-lab")
BUILD = os.environ.get("TARVOLIN_BUILD_DIR", os.path.join(labtest.LAB_DIR, "..", "build"))
REPORT = os.path.join(BUILD, "tarvolin-report")


def lab(*args):
    return subprocess.run([LAB] + list(args), capture_output=True, text=True, timeout=120)


def run(checks, title, lab_args, paths="ipv6", whole=None):
    """Brings a lab up, runs the IPv6 section (with the SIP server section
    before it when paths says so); returns (text, figures, seconds of the whole
    run). whole, a dict, takes the report's extendedNat object."""
    checks.current = title
    lab_id = "v%d" % (os.getpid() % 100000)
    up = lab("up", "--id", lab_id, *lab_args)
    if not checks.check(up.returncode == 0, "lab up failed: " + up.stderr.strip()):
        lab("down", lab_id)
        return "", {}, 0.0
    started = time.time()
    try:
        r = subprocess.run([LAB, "exec", lab_id, "client", "env", "QT_QPA_PLATFORM=offscreen", REPORT,
                            "--json", "--extended-paths", paths, "--timeout", "200"],
                           capture_output=True, timeout=230, cwd="/tmp")
    finally:
        took = time.time() - started
        lab("down", lab_id)
    out = r.stdout.decode("utf-8", "replace")
    checks.check(r.returncode == 0, "tarvolin-report ended with status %d: %s"
                 % (r.returncode, r.stderr.decode("utf-8", "replace")))
    try:
        extended = json.loads(out).get("extendedNat", {})
    except ValueError:
        checks.check(False, "no JSON: %r" % out[:400])
        return "", {}, took
    if whole is not None:
        whole.update(extended)
    figures = extended.get("ipv6", {})
    text = extended.get("text", "")
    print("=== %s (%s) %.1f s (section %.2f s)" % (title, " ".join(lab_args), took, figures.get("seconds", -1)))
    print(text)
    return text, figures, took


def main():
    labtest.preflight()
    checks = labtest.Checks()
    step = 5  # the lifetime search's step (s)

    text, f, _ = run(checks, "native IPv6 behind a stateful firewall",
                     ["--ipv6", "native", "--udp-timeout", "20", "--sip-dns", "srv"], "dns,ipv6")
    checks.contains(text, "Глобальные адреса, постоянные: 2001:db8:10::10", "the client's global address")
    checks.contains(text, "Маршрут IPv6 по умолчанию: есть, через eth0", "default route")
    checks.equal(f.get("stun", {}).get("translation"), "none", "translation")
    checks.equal(f.get("stun", {}).get("mapped"), "[2001:db8:10::10]:" + f.get("stun", {}).get("source", "?:").split("]:")[-1],
                 "mapped address is the source")
    firewall = f.get("firewall", {})
    checks.equal(firewall.get("filtering", {}).get("behaviour"), "address-and-port-dependent", "filtering")
    lifetime = firewall.get("lifetime", {})
    alive, dead = lifetime.get("lastAliveSeconds", -99), lifetime.get("firstDeadSeconds", -99)
    checks.check(20 - step <= alive <= 20 and 20 <= dead <= 20 + step,
                 "lifetime within one step of the 20 s conntrack timeout: alive %r, dead %r" % (alive, dead))
    checks.equal(f.get("family"), "ipv6", "advice")
    checks.contains(text, "Вывод: IPv6 работает.", "verdict")
    # sip1 has an AAAA record: the echoes go to it, and it answers over IPv6.
    checks.equal(f.get("echoes", {}).get("target"), "2001:db8:1::10", "echo target from the AAAA record")
    checks.equal(f.get("echoes", {}).get("answered"), 10, "echoes answered")
    sip6 = f.get("sipTargets", [])
    udp6 = [t for t in sip6 if t.get("transport") == "UDP"]
    checks.check(len(udp6) == 1 and udp6[0].get("address") == "2001:db8:1::10" and udp6[0].get("answered")
                 and udp6[0].get("sipStatus", 0) >= 200, "OPTIONS answered over IPv6: %r" % sip6)
    tcp6 = [t for t in sip6 if t.get("transport") == "TCP"]
    checks.check(len(tcp6) == 1 and tcp6[0].get("answered"), "TCP over IPv6: %r" % sip6)
    tls6 = [t for t in sip6 if t.get("transport") == "TLS"]
    checks.check(len(tls6) == 1 and tls6[0].get("port") == 5061 and tls6[0].get("answered"),
                 "TLS over IPv6: %r" % sip6)
    checks.contains(text, "Серверы SIP провайдера по IPv6", "the targets in words")

    text, f, _ = run(checks, "native IPv6 without a firewall", ["--ipv6", "nofw"])
    checks.equal(f.get("stun", {}).get("translation"), "none", "translation")
    checks.equal(f.get("firewall", {}).get("filtering", {}).get("behaviour"), "endpoint-independent", "filtering")
    checks.contains(text, "(Endpoint-Independent Filtering)", "filtering in words")
    checks.contains(text, "keep-alive для межсетевого экрана не нужен", "no keep-alive without a firewall")

    text, f, _ = run(checks, "NAT66", ["--ipv6", "nat66", "--udp-timeout", "10"])
    checks.equal(f.get("stun", {}).get("translation"), "nat66", "translation")
    checks.contains(text, "NAT66", "NAT66 in words")
    checks.contains(f.get("stun", {}).get("mapped", ""), "[2001:db8:2::2]:", "the router's address")
    checks.contains(text, "Глобальные адреса, постоянные: нет", "no global address on the client")

    text, f, _ = run(checks, "NPTv6", ["--ipv6", "nptv6", "--udp-timeout", "10"])
    checks.equal(f.get("stun", {}).get("translation"), "nptv6", "translation")
    checks.contains(text, "NPTv6 (RFC 6296)", "NPTv6 in words")
    checks.contains(f.get("stun", {}).get("mapped", ""), "[2001:db8:20::", "the outside prefix")

    dropped, plain = {}, {}
    text, f, _ = run(checks, "IPv6 dropped on the way to the provider", ["--ipv6", "drop", "--sip-dns", "srv"],
                     "dns,ipv6", dropped)
    checks.equal(f.get("family"), "ipv4", "advice")
    checks.contains(text, "IPv6 не работает", "verdict")
    checks.contains(text, "Отключите IPv6 в телефоне", "what to do")
    sip6 = f.get("sipTargets", [])
    checks.check(len(sip6) >= 2 and all(t.get("checked") and not t.get("answered") for t in sip6),
                 "every AAAA target tried and silent: %r" % sip6)
    # The IPv4 targets fare as in a lab without IPv6.
    run(checks, "the same SIP records without IPv6", ["--sip-dns", "srv"], "dns,ipv6", plain)

    def ipv4_targets(extended):
        return sorted((t.get("transport"), t.get("host"), t.get("port"), t.get("address"), t.get("checked"),
                       t.get("answered")) for t in extended.get("paths", {}).get("sipDns", {}).get("targets", [])
                      if ":" not in t.get("address", ""))
    checks.check(len(ipv4_targets(plain)) >= 4, "IPv4 targets without IPv6: %r" % ipv4_targets(plain))
    checks.equal(ipv4_targets(dropped), ipv4_targets(plain), "IPv4 targets unchanged by the IPv6 drop")

    text, f, _ = run(checks, "no IPv6 on the client", ["--ipv6", "none"])
    section = text[text.find("IPv6\n"):] if "IPv6\n" in text else text
    checks.contains(section, "IPv6 на компьютере нет", "one line")
    checks.equal(len([ln for ln in section.strip().split("\n")[1:] if ln.strip()]), 1, "lines of the section")
    checks.check(0 <= f.get("seconds", 99) < 1.0, "section under 1 s: %r" % f.get("seconds"))
    checks.equal(f.get("available"), False, "available")
    checks.finish()


if __name__ == "__main__":
    main()
