#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Lab test of "SIP через маршрутизатор" against the provider's kamailio
running the shipped mirror fragment: no SIP ALG, the kernel's SIP helper on
UDP 5060 and on TCP 5060 too, a server without the fragment, and forged
mirror answers sprayed during the run."""
import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import labtest  # noqa: E402

LAB = os.path.join(labtest.LAB_DIR, "tvl-lab")
BUILD = os.environ.get("TARVOLIN_BUILD_DIR", os.path.join(labtest.LAB_DIR, "..", "build"))
REPORT = os.path.join(BUILD, "tarvolin-report")
EXTERNAL = "192.0.2.2"
ALG = "маршрутизатор переписывает SIP (SIP ALG): Via, Contact, адрес и порт в SDP"
SECOND_ADVICE = "SIP ALG работает только на порту 5060: используйте порт 5080"
TCP_ADVICE = "TCP не затронут: используйте SIP по TCP"


def second_port():
    """The second SIP port the build was configured with (0: none)."""
    try:
        with open(os.path.join(BUILD, "CMakeCache.txt")) as f:
            m = re.search(r"^TARVOLIN_SECOND_SIP_PORT:STRING=(\d*)$", f.read(), re.M)
        return int(m.group(1)) if m and m.group(1) else 0
    except OSError:
        return 0


def run(checks, title, lab_args, spray=False):
    """The SIP section in a fresh lab; returns (its text, seconds the program ran)."""
    checks.current = title
    lab_id = "m%d" % (os.getpid() % 100000)
    up = subprocess.run([LAB, "up", "--id", lab_id] + lab_args, capture_output=True, text=True, timeout=120)
    if not checks.check(up.returncode == 0, "lab up failed: " + up.stderr.strip()):
        subprocess.run([LAB, "down", lab_id], capture_output=True)
        return "", 0.0
    try:
        if spray:
            open("/run/tvl-lab/%s/spray.go" % lab_id, "w").close()
            time.sleep(0.3)
        started = time.time()
        r = subprocess.run([LAB, "exec", lab_id, "client", "env", "QT_QPA_PLATFORM=offscreen", REPORT,
                            "--extended-paths", "sip", "--timeout", "60"],
                           capture_output=True, timeout=90, cwd="/tmp")
        seconds = time.time() - started
    finally:
        subprocess.run([LAB, "down", lab_id], capture_output=True)
    out = r.stdout.decode("utf-8", "replace")
    print("=== %s (%s) %.1f s, status %d" % (title, " ".join(lab_args), seconds, r.returncode))
    print(out)
    checks.check(r.returncode == 0, "tarvolin-report ended with status %d" % r.returncode)
    # The section's text, up to the empty line after it.
    m = re.search(r"^SIP через маршрутизатор\n(.*?)(?:\n\n|\Z)", out, re.S | re.M)
    return (m.group(1).strip() if m else ""), seconds


def check_line(text, name):
    m = re.search(r"^%s: .*$" % name, text, re.M)
    return m.group(0) if m else ""


def main():
    labtest.preflight()
    checks = labtest.Checks()
    second = second_port()
    names = ["UDP 5060", "TCP 5060"] + (["UDP %d" % second, "TCP %d" % second] if second else [])

    clean, _ = run(checks, "no SIP ALG", [])
    checks.equal(clean.split("\n")[0], "SIP проходит без изменений", "finding")
    for name in names:
        checks.check(check_line(clean, name).startswith(name + ": без изменений (отправлено с 192.168.1.10:"),
                     "%s unchanged, source shown: %r" % (name, check_line(clean, name)))

    alg, _ = run(checks, "SIP ALG on UDP 5060", ["--sip-alg", "on"])
    checks.contains(alg, ALG, "ALG finding")
    checks.contains(alg, TCP_ADVICE, "TCP advice")
    if second:
        checks.contains(alg, SECOND_ADVICE, "second port advice")
    checks.contains(check_line(alg, "UDP 5060"), "изменено", "UDP 5060 changed")
    for what, sent, mirrored in (("Via", "SIP/2.0/UDP 192.168.1.10:5060;", "SIP/2.0/UDP %s:5060;" % EXTERNAL),
                                 ("Contact", "<sip:tarvolin@192.168.1.10:5060>", "<sip:tarvolin@%s:5060>" % EXTERNAL),
                                 ("SDP c=", "c=IN IP4 192.168.1.10", "c=IN IP4 " + EXTERNAL)):
        checks.check(re.search(r"^  INVITE %s: %s.* -> %s.*\(внешний адрес NAT\)$"
                               % (re.escape(what), re.escape(sent), re.escape(mirrored)), alg, re.M),
                     "INVITE %s rewritten to the external address" % what)
    for name in names[1:]:
        checks.check(": без изменений" in check_line(alg, name), "%s unchanged: %r" % (name, check_line(alg, name)))

    # The kernel's helper can be assigned to TCP 5060 as well.
    tcp, _ = run(checks, "SIP ALG on UDP and TCP 5060", ["--sip-alg", "tcp"])
    checks.contains(tcp, ALG, "ALG finding")
    checks.lacks(tcp, TCP_ADVICE, "no TCP advice")
    checks.contains(check_line(tcp, "TCP 5060"), "изменено", "TCP 5060 changed")
    checks.check(re.search(r"^  REGISTER Via: SIP/2.0/TCP 192.168.1.10:\d+;.* -> SIP/2.0/TCP %s:\d+;"
                           % re.escape(EXTERNAL), tcp, re.M), "TCP REGISTER Via rewritten")

    bare, seconds = run(checks, "server without the mirror", ["--sip-mirror", "off"])
    checks.equal(bare.split("\n")[0], "сервер не поддерживает проверку", "finding")
    checks.check(seconds < 3.0, "answered in %.1f s (under 3 s expected)" % seconds)

    # Forged mirror answers from a stranger (full cone: everything inbound passes).
    quiet, _ = run(checks, "full cone, SIP ALG", ["--nat", "full-cone", "--sip-alg", "on"])
    sprayed, _ = run(checks, "full cone, SIP ALG, sprayed", ["--nat", "full-cone", "--sip-alg", "on", "--spray", "on"],
                     spray=True)
    # The SDP session ID is a random number of varying length: the body's
    # Content-Length varies with it.
    strip = re.compile(r"(branch=z9hG4bK|o=- )[a-z0-9]+|:\d{4,5}\b|(Content-Length: )\d+ -> \d+")
    checks.check(bool(quiet), "the clean run has findings")
    checks.equal(strip.sub("", sprayed), strip.sub("", quiet), "findings under the spray")
    checks.lacks(sprayed, "10.66.66.66", "forged copy")
    checks.finish()


if __name__ == "__main__":
    main()
