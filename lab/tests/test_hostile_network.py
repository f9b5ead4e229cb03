#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""A hostile network: a STUN server that ignores CHANGE-REQUEST behind a port
restricted cone NAT; forged STUN and SIP answers sprayed at every port of a
public client (and through a full cone NAT) during the whole run; a ping target that drops every echo and a
DNS server that drops every query, each with the window's first paint and its
answers to window-manager pings measured under Xvfb."""
import os
import re
import shutil
import subprocess
import tempfile
import time

import labtest as T

BUILD = os.environ.get("TARVOLIN_BUILD_DIR", os.path.join(T.LAB_DIR, "..", "build"))
LAB = os.path.join(T.LAB_DIR, "tvl-lab")


def figures(path):
    values = {}
    if os.path.exists(path):
        for line in open(path):
            key, _, value = line.strip().partition("=")
            if key:
                values[key] = value
    return values


def without_line_figures(report):
    """The report with the measured delay and jitter blanked (they vary between runs)."""
    return re.sub(r"Задержка:\d+, Потери:(\d+), Джиттер:[\d.,]+%", r"Задержка:_, Потери:\1, Джиттер:_%", report)


def ignore_change(c):
    lab_id = "h9i%d" % (os.getpid() % 10000)
    env = subprocess.run([LAB, "up", "--id", lab_id, "--nat", "port-restricted-cone", "--stun-mode", "ignore-change"],
                         capture_output=True, text=True)
    if c.check(env.returncode == 0, "lab with --stun-mode ignore-change: %s" % env.stderr.strip()):
        try:
            probe = subprocess.run([LAB, "exec", lab_id, "client", "python3",
                                    os.path.join(T.LAB_DIR, "stun_probe.py")], capture_output=True, text=True).stdout
        finally:
            subprocess.run([LAB, "down", lab_id], capture_output=True)
        # The server really answers the change requests, from its primary address and port.
        c.check(re.search(r"^09 yes .* from 203\.0\.113\.10:3478$", probe, re.M) is not None,
                "change-IP answered from the primary address: %r" % probe)
        c.check(re.search(r"^0a yes .* from 203\.0\.113\.10:3478$", probe, re.M) is not None,
                "change-port answered from the primary port: %r" % probe)
    runs = c.scenario("server ignoring CHANGE-REQUEST", "--nat", "port-restricted-cone",
                      "--stun-mode", "ignore-change")
    if c.check(len(runs) == 1, "one complete run expected"):
        c.equal(runs[0]["NATType"], T.NAT_CAPTIONS["port-restricted-cone"], "NATType")


def spray(c):
    work = tempfile.mkdtemp(prefix="tvl-spray.")
    try:
        clean_file, spray_file = os.path.join(work, "clean"), os.path.join(work, "spray")
        clean = c.scenario("public client, clean", "--nat", "open", "--measure", clean_file)
        sprayed = c.scenario("public client, sprayed", "--nat", "open", "--spray", "on", "--measure", spray_file)
        fc, fs = figures(clean_file), figures(spray_file)
        print("figures: clean %r, sprayed %r" % (fc, fs))
        if not (c.check(len(clean) == 1 and len(sprayed) == 1, "one complete run each")
                and c.check("CPU_SECONDS" in fc and "CPU_SECONDS" in fs, "CPU time measured")):
            return
        sent = int(fs.get("SPRAY_SENT", "0"))
        c.check(sent >= 50000, "the spray host sent %d datagrams (at least 50000 expected)" % sent)
        c.check(sent <= 100000, "the spray stays bounded: %d datagrams" % sent)
        c.equal(fs.get("SPRAY_THIRD_PACKETS"), "0", "datagrams towards the third address")
        for block in ("IPAdr", "NATType", "SIPsup", "UPnP", "STUN_Port", "IPs"):
            c.equal(sprayed[0][block], clean[0][block], block)
        # The report up to the system's own interface listing, which differs
        # between two labs (link addresses, peer namespace names).
        verdict = [without_line_figures(r[0]["Label2"]).split(T.DASHES)[0] for r in (sprayed, clean)]
        c.equal(verdict[0], verdict[1], "report")
        # The 10 ms granularity of CPU accounting would dominate a very small clean figure.
        cpu_clean, cpu_spray = float(fc["CPU_SECONDS"]), float(fs["CPU_SECONDS"])
        c.check(cpu_spray <= 2 * cpu_clean + 0.05,
                "CPU time %.2f s sprayed vs %.2f s clean (at most twice)" % (cpu_spray, cpu_clean))
        # Through a full cone NAT every stranger's datagram reaches the
        # program: SSDP answers from beyond the router must not find UPnP.
        cone = c.scenario("full cone NAT without UPnP, sprayed", "--nat", "full-cone", "--spray", "on")
        if c.check(len(cone) == 1, "one complete run"):
            c.equal(cone[0]["UPnP"], "Отсутствует", "UPnP")
            c.equal(cone[0]["NATType"], T.NAT_CAPTIONS["full-cone"], "NATType")
    finally:
        shutil.rmtree(work, ignore_errors=True)


def watched_under_xvfb(c, title, lab_args, seconds):
    """Runs the program for the given seconds under Xvfb in a lab made with
    lab_args: its first paint within 1.5 s of start, and no answer to a
    window-manager ping later than about 1 s."""
    c.current = title
    probe = os.path.join(BUILD, "lab", "tvl-x-probe")
    program = os.path.join(BUILD, "tarvolin")
    if not (c.check(shutil.which("Xvfb") is not None, "Xvfb installed")
            and c.check(os.access(probe, os.X_OK), "%s built" % probe)
            and c.check(os.access(program, os.X_OK), "%s built" % program)):
        return
    display = ":%d" % (90 + os.getpid() % 100)
    xvfb = subprocess.Popen(["Xvfb", display, "-br", "-nolisten", "tcp", "-screen", "0", "1280x1024x24"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    lab_id = "h9p%d" % (os.getpid() % 10000)
    try:
        socket_path = "/tmp/.X11-unix/X" + display[1:]
        for _ in range(100):
            if os.path.exists(socket_path):
                break
            time.sleep(0.05)
        env_text = subprocess.run([LAB, "up", "--id", lab_id] + lab_args, capture_output=True, text=True)
        if not c.check(env_text.returncode == 0, "lab with %s: %s" % (" ".join(lab_args), env_text.stderr.strip())):
            return
        ns = re.search(r"^NS_CLIENT=(\S+)$", env_text.stdout, re.M).group(1)
        env = dict(os.environ, DISPLAY=display)
        work = tempfile.mkdtemp(prefix="tvl-xprobe.")
        try:
            r = subprocess.run([probe, str(seconds), "ip", "netns", "exec", ns, "env", "DISPLAY=" + display,
                                "QT_QPA_PLATFORM=xcb", program], capture_output=True, text=True, env=env,
                               cwd=work, timeout=seconds + 45)
        finally:
            shutil.rmtree(work, ignore_errors=True)
        m = dict(line.split("=", 1) for line in r.stdout.split() if "=" in line)
        print("x probe (%s):" % title, m)
        first_paint = float(m.get("FIRST_PAINT_MS", "-1"))
        c.check(0 <= first_paint <= 1500, "first paint %s ms after start (at most 1500)" % first_paint)
        c.check(int(m.get("PINGS_SENT", "0")) >= 100, "window-manager pings were sent: %s" % m.get("PINGS_SENT"))
        c.check(float(m.get("MAX_GAP_MS", "1e9")) <= 1200,
                "longest time without an answer to a window-manager ping: %s ms (about 1 s at most)"
                % m.get("MAX_GAP_MS"))
    finally:
        subprocess.run([LAB, "down", lab_id], capture_output=True)
        xvfb.terminate()
        xvfb.wait(5)


def dead_ping_target(c):
    # Load sequence (first-hop echo, DNS) and the ten lost echoes of the series.
    watched_under_xvfb(c, "dead ping target under Xvfb", ["--ping-drop", "on"], 15)


def dead_dns_server(c):
    # The name lookup and the SRV query of the load sequence each wait out the
    # resolver's whole time-out (two tries of 5 s by default), then the series.
    watched_under_xvfb(c, "dead DNS server under Xvfb", ["--dns", "dead"], 24)


def main():
    T.preflight()
    c = T.Checks()
    ignore_change(c)
    spray(c)
    dead_ping_target(c)
    dead_dns_server(c)
    c.finish()


if __name__ == "__main__":
    main()
