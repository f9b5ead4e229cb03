#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""The report saved as an HTML page after a full run with the extended test,
opened in a real browser (Debian's headless Chromium, in a network namespace
of its own with only loopback): the page is drawn (not blank), and its DOM
holds the extended test's summary rows and both pictures as inline SVG."""
import os
import shutil
import struct
import subprocess
import tempfile
import zlib

import labtest as T


def png_colours(path):
    """Distinct pixel values of an 8-bit RGB(A) PNG, read without a library."""
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    pos, idat, width, height, colour = 8, b"", 0, 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            if depth != 8 or colour not in (2, 6):
                return None
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    size = 3 if colour == 2 else 4
    stride = width * size + 1
    seen = set()
    # Unfiltered rows only give exact pixels; filtered ones still vary when the page does.
    for y in range(0, height, 7):
        row = raw[y * stride + 1:(y + 1) * stride]
        for x in range(0, len(row) - size, size * 5):
            seen.add(bytes(row[x:x + size]))
    return seen


def chromium(args, cwd):
    profile = tempfile.mkdtemp(prefix="tvl-chromium.")
    try:
        cmd = ["unshare", "-n", "chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
               "--no-first-run", "--disable-background-networking", "--disable-component-update",
               "--disable-sync", "--user-data-dir=" + profile] + args
        return subprocess.run(cmd, capture_output=True, timeout=120, cwd=cwd)
    finally:
        shutil.rmtree(profile, ignore_errors=True)


def main():
    T.preflight()
    c = T.Checks()
    if not c.check(shutil.which("chromium") is not None, "chromium installed (lab/install-deps)"):
        c.finish()
    work = tempfile.mkdtemp(prefix="tvl-html.")
    try:
        page = os.path.join(work, "report.html")
        runs = c.scenario("full run with the extended test, saved as HTML", "--nat", "port-restricted-cone",
                          "--udp-timeout", "10", "--extended", "--save-report", page, "--timeout", "200", timeout=240)
        if not (c.check(len(runs) >= 1, "a complete run") and c.check(os.path.exists(page), "page saved")):
            c.finish()
        dom = chromium(["--dump-dom", "file://" + page], work).stdout.decode("utf-8", "replace")
        rows = dom.count("<tr class=\"green\">") + dom.count("<tr class=\"yellow\">") + \
            dom.count("<tr class=\"red\">") + dom.count("<tr class=\"grey\">")
        c.check(rows >= 9, "summary rows in the DOM: %d" % rows)
        c.contains(dom, "<p class=\"action\">Настройте keep-alive не реже чем раз в", "action line")
        c.check(dom.count("<svg") == 2, "two inline SVG pictures: %d" % dom.count("<svg"))
        c.contains(dom, "Голосовой поток: время туда и обратно", "voice picture")
        c.contains(dom, "Поиск времени жизни отображения", "lifetime picture")
        shot = os.path.join(work, "page.png")
        chromium(["--screenshot=" + shot, "--window-size=1000,2400", "file://" + page], work)
        if c.check(os.path.exists(shot), "screenshot taken"):
            colours = png_colours(shot)
            c.check(colours is None or len(colours) > 20, "the page is drawn: %s colours" %
                    ("?" if colours is None else len(colours)))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    c.finish()


if __name__ == "__main__":
    main()
