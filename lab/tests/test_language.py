#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""The automatic test behind a port-restricted cone NAT under three locales:
LANG=en_US.UTF-8 gives the report in English (no Russian letter left in the
saved text report, English captions and paragraphs, the NAT caption's second
line unchanged); ru_RU.UTF-8 and C.UTF-8 give the Russian report, the same
in both, with the captions and paragraphs the program has always shown."""
import os
import re
import shutil
import tempfile

import labtest as T

CYRILLIC = re.compile("[\u0400-\u04ff]")
NAT = "port-restricted-cone"
RUSSIAN = {
    "NATType": T.NAT_CAPTIONS[NAT],
    "STUN_Port": T.PRESERVES,
    "SIPsup": "Отсутствует",
    "title": "Параметры NATа",
    "paragraphs": ["R0", "R1", "C2", "C3", "C4", "C5", "PP"],
}
ENGLISH = {
    "NATType": "Port restricted cone\r\nPort Restricted Cone",
    "STUN_Port": "Preserved port (Preserves port)",
    "SIPsup": "Absent",
    "title": "NAT parameters",
    "report": ["With a restricted cone NAT the connection options are: ",
               "  1. Use STUN. If one-way audio occurs, use one of the other options."],
}
# (locale, expected texts)
ROWS = [("en_US.UTF-8", ENGLISH), ("ru_RU.UTF-8", RUSSIAN), ("C.UTF-8", RUSSIAN)]


def comparable(report):
    """The report box up to the system's interface listing (its hardware
    addresses differ from lab to lab), with its figures masked."""
    return re.sub(r"\d+", "#", report.split(T.DASHES)[0])


def main():
    T.preflight()
    c = T.Checks()
    work = tempfile.mkdtemp(prefix="tvl-language.")
    russian_reports = {}
    for lang, expected in ROWS:
        saved = os.path.join(work, lang + ".txt")
        runs = c.scenario("LANG=" + lang, "--nat", NAT, "--save-report", saved, lang=lang)
        if not c.check(len(runs) >= 1 and runs[0]["Label2"], lang + ": a finished run"):
            continue
        run = runs[0]
        text = open(saved, encoding="utf-8").read() if os.path.exists(saved) else ""
        c.check(text != "", lang + ": report saved")
        for block in ("NATType", "STUN_Port", "SIPsup"):
            c.equal(run[block], expected[block], lang + ": " + block)
        c.contains(text, expected["title"], lang + ": group title in the saved report")
        if expected is ENGLISH:
            left = sorted(set(line for line in text.splitlines() if CYRILLIC.search(line)))
            c.check(not left, lang + ": Russian lines left in the English report: %r" % left[:5])
            lines = run.report_paragraphs().split(T.CRLF)
            for line in expected["report"]:
                c.check(line in lines, lang + ": report line %r" % line)
        else:
            c.paragraphs(run.report_paragraphs(), expected["paragraphs"], lang)
            russian_reports[lang] = comparable(run.report_paragraphs())
    if len(russian_reports) == 2:
        c.equal(russian_reports["C.UTF-8"], russian_reports["ru_RU.UTF-8"], "C.UTF-8 report as under ru_RU.UTF-8")
    shutil.rmtree(work, ignore_errors=True)
    c.finish()


if __name__ == "__main__":
    main()
