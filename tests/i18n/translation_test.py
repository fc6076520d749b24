#!/usr/bin/env python3
"""The English translation covers every text of the sources, each one finished and sound.

Runs lupdate over src/ into a copy of translations/velmora_en.ts and reads its report: a text the
file does not have yet ("N new") or an unfinished entry fails, and so does a class whose tr() would
look in another context than lupdate writes (no Q_OBJECT). Each translation keeps its source's
placeholders (%1 ...), its shortcut after a tab and an accelerator where the source has one.

usage: translation_test.py SOURCE_DIR
"""
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
from pathlib import Path

LUPDATE = "/usr/lib/qt6/bin/lupdate"
LRELEASE = "/usr/lib/qt6/bin/lrelease"


def main() -> int:
    root = Path(sys.argv[1])
    faults = []
    with tempfile.TemporaryDirectory() as tmp:
        ts = Path(tmp) / "velmora_en.ts"
        shutil.copy(root / "translations" / "velmora_en.ts", ts)
        run = subprocess.run([LUPDATE, "src", "-I", "src", "-ts", str(ts), "-no-obsolete",
                              "-locations", "none"], cwd=root, capture_output=True, text=True)
        report = run.stdout + run.stderr
        if run.returncode != 0:
            faults.append("lupdate failed:\n" + report)
        found = re.search(r"Found (\d+) source text\(s\) \((\d+) new and (\d+) already existing\)",
                          report)
        if not found:
            faults.append("no lupdate report:\n" + report)
        elif int(found.group(2)):
            faults.append(f"{found.group(2)} text(s) of the sources are not in the translation "
                          "file: run scripts/update-translations and translate them")
        for line in report.splitlines():
            if "lacks Q_OBJECT" in line or "Cannot invoke tr()" in line:
                faults.append("tr() would not find its translation: " + line.strip())

        for context in ET.parse(ts).getroot().iter("context"):
            name = context.findtext("name")
            for message in context.iter("message"):
                source = message.findtext("source") or ""
                node = message.find("translation")
                text = node.text or "" if node is not None else ""
                where = f"{name}: {source!r}"
                if node is None or node.get("type") in ("unfinished", "vanished", "obsolete"):
                    faults.append("unfinished: " + where)
                    continue
                if sorted(re.findall(r"%\d", source)) != sorted(re.findall(r"%\d", text)):
                    faults.append(f"placeholders differ: {where} -> {text!r}")
                if "\t" in source and source.split("\t", 1)[1] != text.split("\t", 1)[-1]:
                    faults.append(f"shortcut differs: {where} -> {text!r}")
                if re.search(r"&[^&\s]", source) and not re.search(r"&[^&\s]", text):
                    faults.append(f"accelerator lost: {where} -> {text!r}")
                if re.search("[\u0400-\u04ff]", text):
                    faults.append(f"Russian left in the English: {where} -> {text!r}")

        release = subprocess.run([LRELEASE, str(ts), "-qm", str(Path(tmp) / "velmora_en.qm")],
                                 capture_output=True, text=True)
        if not re.search(r"\(\d+ finished and 0 unfinished\)", release.stdout) or \
                "Ignored" in release.stdout:
            faults.append("lrelease: " + release.stdout + release.stderr)
    for f in faults:
        print(f)
    print(f"{len(faults)} fault(s)")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
