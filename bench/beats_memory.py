#!/usr/bin/env python3
"""Peak memory of `velmora-cli beats` (GNU time's maximum resident set size): over a 30-minute
MIT-BIH record, and over a 6 GB sparse WFDB record (twelve leads at 500 Hz in format 16, 149
hours of zeros: the whole file read at once took 6.3 GB). Goal: at most 200 MB for both.
    bench/beats_memory.py build/src/cli/velmora-cli [realdata folder]"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

CLI = sys.argv[1]
HERE = os.path.dirname(os.path.abspath(__file__))
REAL = (sys.argv[2] if len(sys.argv) > 2 else os.environ.get("VELMORA_REALDATA")
        or os.path.join(HERE, os.pardir, os.pardir, "shared", "realdata"))
TMP = tempfile.mkdtemp(prefix="velmora-beats-bench-")
LEADS = ["i", "ii", "iii", "avr", "avl", "avf", "v1", "v2", "v3", "v4", "v5", "v6"]


def measure(what, header):
    r = subprocess.run(["/usr/bin/time", "-v", CLI, "beats", header, "--out",
                        os.path.join(TMP, "beats.txt")], capture_output=True, text=True)
    rss = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", r.stderr).group(1))
    wall = re.search(r"Elapsed \(wall clock\) time.*: (\S+)", r.stderr).group(1)
    said = [l for l in r.stderr.splitlines() if l.startswith("velmora-cli")]
    print("%-34s exit %d, max RSS %6.1f MB, %s wall; %s"
          % (what, r.returncode, rss / 1024.0, wall, said[0] if said else ""))


def main():
    mit = os.path.join(REAL, "wfdb", "mitdb", "100.hea")
    if os.path.exists(mit):
        measure("MIT-BIH 100 (30 min, 2 leads)", mit)
    else:
        print("no real data at %s: the MIT-BIH figure skipped" % REAL)
    frames = 6 * 1024 ** 3 // (2 * len(LEADS))
    with open(os.path.join(TMP, "big.hea"), "w") as f:
        f.write("big %d 500 %d\n" % (len(LEADS), frames))
        for lead in LEADS:
            f.write("big.dat 16 1000/mV 16 0 0 0 0 %s\n" % lead)
    with open(os.path.join(TMP, "big.dat"), "wb") as f:
        f.truncate(frames * 2 * len(LEADS))
    measure("6 GB sparse (%.0f h, 12 leads)" % (frames / 500 / 3600), os.path.join(TMP, "big.hea"))


if __name__ == "__main__":
    try:
        main()
    finally:
        shutil.rmtree(TMP, ignore_errors=True)
