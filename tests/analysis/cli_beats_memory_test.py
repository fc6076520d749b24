#!/usr/bin/env python3
"""velmora-cli beats in bounded memory: a long recording is read a window at a time (a sparse
three-hour twelve-lead file stays far below what reading it whole takes), a recording longer than
any ECG recorder holds is refused before it is read, saying why, and a long record made of a
real one repeated gives, away from the joins, the beats the real one gives alone."""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from checks import check, exit_status  # noqa: E402

CLI = sys.argv[1]
SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, os.pardir)
REAL = os.environ.get("VELMORA_REALDATA") or os.path.join(SOURCE, os.pardir, "shared", "realdata")
TMP = tempfile.mkdtemp(prefix="velmora-beats-")
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"), LC_ALL="C.UTF-8")
LEADS = ["i", "ii", "iii", "avr", "avl", "avf", "v1", "v2", "v3", "v4", "v5", "v6"]
# Reading the three-hour file whole took its 130 MB of bytes and 260 MB of floats at once.
# AddressSanitizer keeps freed memory in quarantine and shadows the rest: twice the room there.
BOUND_MB = 400 if os.environ.get("VELMORA_SANITIZED") else 200


def sparse_record(name, leads, rate, seconds):
    """A header and a sparse format-16 signal file of that length (all zero)."""
    frames = int(rate * seconds)
    with open(os.path.join(TMP, name + ".hea"), "w") as f:
        f.write("%s %d %d %d\n" % (name, len(leads), rate, frames))
        for lead in leads:
            f.write("%s.dat 16 1000/mV 16 0 0 0 0 %s\n" % (name, lead))
    with open(os.path.join(TMP, name + ".dat"), "wb") as f:
        f.truncate(frames * 2 * len(leads))
    return os.path.join(TMP, name + ".hea")


def beats(header, out):
    """Runs beats in a child of its own: exit code, stderr, its peak RSS in MB, seconds."""
    probe = ("import resource, subprocess, sys\n"
             "r = subprocess.run(sys.argv[1:], capture_output=True)\n"
             "sys.stderr.write(r.stderr.decode('utf-8', 'replace'))\n"
             "print(r.returncode, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)\n")
    start = time.monotonic()
    r = subprocess.run([sys.executable, "-c", probe, CLI, "beats", header, "--out", out],
                       capture_output=True, env=ENV, timeout=240, text=True)
    code, rss = (int(v) for v in r.stdout.split())
    return code, r.stderr, rss / 1024.0, time.monotonic() - start


def lines(path):
    return [l.split() for l in open(path).read().splitlines()]


def main():
    # Three hours of twelve leads at 500 Hz: 130 MB on disk, no beats in it.
    header = sparse_record("long", LEADS, 500, 3 * 3600)
    out = os.path.join(TMP, "long.txt")
    code, err, rss, took = beats(header, out)
    check(code == 0 and "0 beats in 10800.0 s at 500 Hz" in err, "a long flat file: %s" % err)
    check(rss < BOUND_MB, "peak memory %.0f MB (bound %d MB) in %.1f s" % (rss, BOUND_MB, took))
    check(os.path.exists(out) and os.path.getsize(out) == 0, "an empty beat list written")

    # Forty days of two leads at 1 kHz (14 GB, sparse): refused at once, before any reading.
    header = sparse_record("month", ["MLII", "V1"], 1000, 40 * 86400)
    out = os.path.join(TMP, "month.txt")
    code, err, rss, took = beats(header, out)
    check(code == 2 and "40.0 days" in err and "no ECG recorder holds more than 31" in err,
          "a 40-day signal is refused saying why: %s" % err.strip())
    check(rss < 100 and took < 10 and not os.path.exists(out),
          "refused before reading: %.0f MB, %.1f s, nothing written" % (rss, took))

    if not os.path.isdir(REAL):
        print("no real data at %s (VELMORA_REALDATA): the real record's part skipped" % REAL)
        return exit_status()
    # MIT-BIH 100 four times over (two hours: three detection windows of two leads).
    mit = os.path.join(REAL, "wfdb", "mitdb")
    once = os.path.join(TMP, "once.txt")
    code, err, rss, took = beats(os.path.join(mit, "100.hea"), once)
    check(code == 0, "MIT-BIH 100: %s" % err)
    single = [int(l[0]) for l in lines(once)] if code == 0 else []
    data = open(os.path.join(mit, "100.dat"), "rb").read()
    frames = len(data) // 3  # format 212, two signals: three bytes a frame
    with open(os.path.join(TMP, "four.dat"), "wb") as f:
        f.write(data[:frames * 3] * 4)
    head = open(os.path.join(mit, "100.hea")).read().splitlines()
    first = head[0].split()
    first[3] = str(frames * 4)
    with open(os.path.join(TMP, "four.hea"), "w") as f:
        f.write(" ".join(first) + "\n")
        for line in head[1:]:
            if line and not line.startswith("#"):
                f.write(line.replace("100.dat", "four.dat", 1) + "\n")
    four = os.path.join(TMP, "four.txt")
    code, err, rss, took = beats(os.path.join(TMP, "four.hea"), four)
    check(code == 0 and rss < BOUND_MB, "two hours of MIT-BIH 100: %s, %.0f MB" % (err.strip(), rss))
    got = [int(l[0]) for l in lines(four)] if code == 0 else []
    margin = 20 * 360  # the detector's own edges: no beat within 20 s of a join is compared
    for k in range(4):
        want = [b + k * frames for b in single if margin < b < frames - margin]
        have = [b for b in got if margin < b - k * frames < frames - margin]
        # The same beats; one may sit a sample off (each window scales a lead's slope energy
        # by its own level there), none further than 10 ms.
        moved = [abs(h - w) for w, h in zip(want, have)]
        check(want and len(have) == len(want) and max(moved) <= 0.010 * 360,
              "copy %d: its %d beats are the record's (%d of them a sample off)"
              % (k + 1, len(want), sum(1 for m in moved if m)))
    return exit_status()


if __name__ == "__main__":
    try:
        sys.exit(main())
    finally:
        shutil.rmtree(TMP, ignore_errors=True)
