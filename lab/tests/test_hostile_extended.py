#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""The extended test on a hostile network.

- Home network: a LAN host answers M-SEARCH before the router, naming a
  device description on a third host and one on a server whose HTTP body never
  ends. Nothing may reach either host, the program's peak memory stays within
  20 MB of a clean run's, and the port-mapping findings equal the clean run's.
- Provider side: during a whole extended run behind a full cone NAT, a
  stranger sprays the client's ports with Binding Responses naming a third
  address (random and voice-shaped transaction IDs), NAT-PMP and PCP answers
  and SIP 200 answers. The findings equal the clean run's, nothing goes to the
  third address, and the program's CPU time stays within twice the clean run's."""
import json
import os
import re
import subprocess
import tempfile

import labtest as T

LAB = os.path.join(T.LAB_DIR, "tvl-lab")
BUILD = os.environ.get("TARVOLIN_BUILD_DIR", os.path.join(T.LAB_DIR, "..", "build"))
PROGRAM = os.path.join(BUILD, "tarvolin-report")
STATE_ROOT = os.environ.get("TVL_STATE_ROOT", "/run/tvl-lab")
MB = 1024  # /usr/bin/time's %M is in KiB

PORTS_ONLY = ["--json", "--extended-paths", "ports", "--timeout", "90"]
WHOLE_RUN = ["--json", "--extended-only", "mapping,filtering,hairpin,rtp-pair",
             "--extended-paths", "nat,ports,voice,dns,sip", "--timeout", "240"]


def lab(*args):
    return subprocess.run([LAB] + list(args), capture_output=True, text=True, timeout=120)


def assignments(text):
    return dict(line.split("=", 1) for line in text.split() if "=" in line)


def measured_run(c, title, lab_args, program_args, inspect=None):
    """Brings a lab up, runs tarvolin-report in the client under GNU time and
    returns (JSON document, figures). inspect(lab_id) runs before the lab goes
    down and returns more figures."""
    c.current = title
    lab_id = "he%d" % (os.getpid() % 100000)
    up = lab("up", "--id", lab_id, *lab_args)
    if not c.check(up.returncode == 0, "lab up (%s): %s" % (" ".join(lab_args), up.stderr.strip())):
        lab("down", lab_id)
        return {}, {}
    work = tempfile.mkdtemp(prefix="tvl-hostile.")
    times = os.path.join(work, "time.txt")
    try:
        open(os.path.join(STATE_ROOT, lab_id, "spray.go"), "w").close()
        r = subprocess.run([LAB, "exec", lab_id, "client", "env", "QT_QPA_PLATFORM=offscreen", "/usr/bin/time",
                            "-f", "USER=%U SYSTEM=%S MAX_RSS_KB=%M", "-o", times, PROGRAM] + program_args,
                           capture_output=True, timeout=300, cwd=work)
        figures = assignments(open(times).read()) if os.path.exists(times) else {}
        figures.update(udp_counts(lab_id))
        if inspect:
            figures.update(inspect(lab_id))
    finally:
        lab("down", lab_id)
        subprocess.run(["rm", "-rf", work])
    print("=== %s: status %d, figures %r" % (title, r.returncode, figures))
    c.check(r.returncode == 0, "tarvolin-report ended with status %d: %s"
            % (r.returncode, r.stderr.decode("utf-8", "replace")[-2000:]))
    try:
        return json.loads(r.stdout.decode("utf-8")), figures
    except ValueError:
        c.check(False, "no JSON document: %r" % r.stdout[:500])
        return {}, figures


def udp_counts(lab_id):
    """Datagrams the client namespace delivered to a socket, and those without one
    (/proc/net/snmp; the namespace is the program's alone)."""
    rows = [ln.split() for ln in lab("exec", lab_id, "client", "cat", "/proc/net/snmp").stdout.splitlines()
            if ln.startswith("Udp:")]
    if len(rows) < 2:
        return {}
    udp = dict(zip(rows[0][1:], rows[1][1:]))
    return {"UDP_IN_DATAGRAMS": udp.get("InDatagrams", ""), "UDP_NO_PORTS": udp.get("NoPorts", "")}


def cpu(figures):
    return float(figures.get("USER", "nan")) + float(figures.get("SYSTEM", "nan"))


# --- the hostile home network

SSDP_FIRST = r'''
import socket, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("0.0.0.0", 0))
s.settimeout(2)
s.sendto(b"M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nMAN: \"ssdp:discover\"\r\nMX: 2\r\n"
         b"ST: urn:schemas-upnp-org:device:InternetGatewayDevice:1\r\n\r\n", ("239.255.255.250", 1900))
print(s.recvfrom(2048)[1][0])
'''

ENDLESS_BYTES = r'''
import socket, time
s = socket.create_connection(("192.168.1.40", 5000), timeout=2)
s.sendall(b"GET /rootDesc.xml HTTP/1.1\r\nHost: 192.168.1.40:5000\r\n\r\n")
n, end = 0, time.monotonic() + 0.5
while time.monotonic() < end:
    n += len(s.recv(65536))
print(n)
'''


def hostile_lan_figures(lab_id):
    figures = assignments(lab("hostile-count", lab_id).stdout)
    # Only now, after the counters are read: the hosts really are hostile.
    figures["FIRST_SSDP_ANSWER"] = lab("exec", lab_id, "client", "python3", "-c", SSDP_FIRST).stdout.strip()
    figures["ENDLESS_BYTES_IN_HALF_A_SECOND"] = lab("exec", lab_id, "client", "python3", "-c",
                                                    ENDLESS_BYTES).stdout.strip()
    return figures


def port_mapping_findings(doc):
    ext = doc.get("extendedNat", {})
    paths = ext.get("paths", {})
    return {"text": ext.get("text"), "upnpIgd": paths.get("upnpIgd"), "natPmp": paths.get("natPmp"),
            "pcp": paths.get("pcp"), "gateway": paths.get("gateway")}


def hostile_home_network(c):
    clean, fc = measured_run(c, "home network, clean", ["--upnp", "on"], PORTS_ONLY)
    hostile, fh = measured_run(c, "home network with a liar and an endless server",
                               ["--upnp", "on", "--hostile-lan", "on"], PORTS_ONLY, hostile_lan_figures)
    print("figures: clean %r, hostile %r" % (fc, fh))
    c.current = "hostile home network"
    # The hosts did what makes them hostile.
    c.check(int(fh.get("LIAR_ANSWERS", "0")) >= 2, "the liar answered the program's search: %r" % fh)
    c.equal(fh.get("FIRST_SSDP_ANSWER"), "192.168.1.20", "first answer to M-SEARCH (the liar, before the router)")
    c.check(int(fh.get("ENDLESS_BYTES_IN_HALF_A_SECOND") or 0) > 1024 * 1024,
            "the endless server streams: %r bytes in half a second" % fh.get("ENDLESS_BYTES_IN_HALF_A_SECOND"))
    # What the program did.
    c.equal(fh.get("THIRD_PACKETS"), "0", "packets that reached the third host")
    c.equal(fh.get("ENDLESS_PACKETS"), "0", "packets that reached the endless server")
    if c.check("MAX_RSS_KB" in fc and "MAX_RSS_KB" in fh, "peak memory measured"):
        grown = (int(fh["MAX_RSS_KB"]) - int(fc["MAX_RSS_KB"])) / MB
        c.check(grown <= 20, "peak memory %s KiB hostile vs %s KiB clean (%.1f MB more, at most 20)"
                % (fh["MAX_RSS_KB"], fc["MAX_RSS_KB"], grown))
    found = port_mapping_findings(clean)
    c.check((found["upnpIgd"] or {}).get("deviceVersion") == 2, "the router's own IGD found: %r" % found)
    c.equal(port_mapping_findings(hostile), found, "port-mapping findings")


# --- a stranger spraying during a whole extended run

def extended_findings(doc):
    """Every finding of the run, without timing figures and the ports the system picked."""
    ext = doc.get("extendedNat", {})
    paths = ext.get("paths", {})
    rtp = ext.get("rtp-pair", {})
    sip_path = ext.get("sipPath", {})
    voice = paths.get("voice", {})
    return {
        "main": {k: doc.get(k) for k in ("nat", "upnp", "sip", "externalAddress", "addressClass",
                                          "portAllocation", "dnsTestPassed", "gateway")},
        "mapping": ext.get("mapping", {}).get("behaviour"),
        "filtering": ext.get("filtering", {}).get("behaviour"),
        "hairpin": ext.get("hairpin", {}).get("result"),
        "rtp-pair": {k: rtp.get(k) for k in ("preserved", "parityKept", "adjacent")},
        "paths": {k: paths.get(k) for k in ("gateway", "hops", "natVerdict", "natEvidence", "natHop",
                                            "stunMappedAddress", "mappedAddressPath", "upnpIgd", "natPmp",
                                            "natPmpExternalAddress", "pcp")},
        "dns": [{k: t.get(k) for k in ("address", "answered", "host", "port", "transport")}
                for t in paths.get("sipDns", {}).get("targets", [])],
        "voice": {"sent": voice.get("sent"), "rated": voice.get("rated")},
        "sip": {"findings": sip_path.get("findings"),
                "checks": [{k: x.get(k) for k in ("answered", "refused", "sent", "sourceAddress", "transport", "port")}
                           for x in sip_path.get("checks", [])]},
        "summary": [(row.get("key"), row.get("mark")) for row in ext.get("summary", {}).get("rows", [])],
    }


def spray_figures(lab_id):
    return assignments(lab("spray-count", lab_id).stdout)


def stranger_spraying(c):
    clean, fc = measured_run(c, "whole extended run, full cone NAT, clean", ["--nat", "full-cone"], WHOLE_RUN)
    sprayed, fs = measured_run(c, "whole extended run, full cone NAT, sprayed",
                               ["--nat", "full-cone", "--spray", "extended"], WHOLE_RUN, spray_figures)
    print("figures: clean %r, sprayed %r" % (fc, fs))
    c.current = "stranger spraying the extended run"
    sent = int(fs.get("SPRAY_SENT", "0"))
    c.check(sent >= 50000, "the stranger sent %d datagrams (at least 50000 expected)" % sent)
    c.check(sent <= 150000, "the spray stays bounded: %d datagrams" % sent)
    c.equal(fs.get("SPRAY_THIRD_PACKETS"), "0", "packets towards the address the forged answers name")
    # The spray reached the program's own sockets, not only closed ports.
    forged = int(fs.get("UDP_IN_DATAGRAMS") or 0) - int(fc.get("UDP_IN_DATAGRAMS") or 0)
    c.check(forged >= 300, "forged datagrams delivered to the program's sockets: %d (at least 300)" % forged)
    found = extended_findings(clean)
    c.check(found["mapping"] == "endpoint-independent" and found["paths"]["natVerdict"] == "single",
            "the clean run measured the full cone NAT: %r" % found)
    got = extended_findings(sprayed)
    for key in found:
        c.equal(got[key], found[key], "findings: " + key)
    if c.check(re.fullmatch(r"[0-9.]+", fc.get("USER", "")) is not None and "USER" in fs, "CPU time measured"):
        # The 10 ms granularity of CPU accounting would dominate a very small clean figure.
        c.check(cpu(fs) <= 2 * cpu(fc) + 0.05,
                "CPU time %.2f s sprayed vs %.2f s clean (at most twice)" % (cpu(fs), cpu(fc)))


def main():
    T.preflight()
    if not os.access("/usr/bin/time", os.X_OK):
        print("FAIL: /usr/bin/time (GNU time) is needed to measure the program")
        raise SystemExit(1)
    c = T.Checks()
    hostile_home_network(c)
    stranger_spraying(c)
    c.finish()


if __name__ == "__main__":
    main()
