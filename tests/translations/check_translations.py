#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""The English translation against the code: lupdate reads the sources into a
copy of translations/tarvolin_en.ts, then every message must have a finished,
non-empty English text carrying the same %1-style arguments as the Russian.
Usage: check_translations.py LUPDATE SOURCE_DIR"""
import collections
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

ARGUMENT = re.compile(r"%L?(\d{1,2})")


def arguments(text):
    return collections.Counter(m.group(1) for m in ARGUMENT.finditer(text or ""))


def problems(ts_path):
    """(context, Russian text, what is wrong) for each faulty message."""
    found = []
    for context in ET.parse(ts_path).getroot().iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            source = "".join(message.find("source").itertext())  # a CR is a <byte> element
            translation = message.find("translation")
            kind = translation.get("type") if translation is not None else "missing"
            text = "".join(translation.itertext()) if translation is not None else ""
            if kind in ("unfinished", "missing") or not text.strip():
                found.append((name, source, "no English text" if not text.strip() else "unfinished"))
            elif kind in ("vanished", "obsolete"):
                continue
            elif arguments(source) != arguments(text):
                found.append((name, source, "arguments %s in Russian, %s in English"
                              % (sorted(arguments(source).elements()), sorted(arguments(text).elements()))))
    return found


def main():
    lupdate, source_dir = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as tmp:
        ts = os.path.join(tmp, "tarvolin_en.ts")
        shutil.copy(os.path.join(source_dir, "translations", "tarvolin_en.ts"), ts)
        dirs = [os.path.join(source_dir, d) for d in ("app", "probes", "platform", "tools")]
        subprocess.run([lupdate, "-silent", "-source-language", "ru_RU", "-target-language", "en",
                        "-locations", "none", "-no-obsolete", *dirs, "-ts", ts], check=True)
        faults = problems(ts)
        total = sum(1 for _ in ET.parse(ts).getroot().iter("message"))
    for context, source, what in faults:
        print("%s: %r: %s" % (context, source[:80], what))
    print("%d messages, %d without a proper English text" % (total, len(faults)))
    return 1 if faults or total == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
