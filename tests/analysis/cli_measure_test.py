#!/usr/bin/env python3
"""velmora-cli measure and beats: every value by its key (null when absent), the beats as record
points, the whole of a 30-minute WFDB record at its own rate, WFDB records through info, render
and export, and bad input refused with exit 2. The real data (PhysioNet) is read where it lies;
without it the script says so and passes."""
import json
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from checks import check, exit_status  # noqa: E402

CLI = sys.argv[1]
SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, os.pardir)
REAL = os.environ.get("VELMORA_REALDATA") or os.path.join(SOURCE, os.pardir, "shared", "realdata")
TMP = tempfile.mkdtemp(prefix="velmora-measure-")
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"), LC_ALL="C.UTF-8")
KEYS = ["heart_rate_bpm", "rr_ms", "p_ms", "pr_ms", "qrs_ms", "qt_ms", "qtc_bazett_ms",
        "qtc_fridericia_ms", "axis_p_deg", "axis_qrs_deg", "axis_t_deg", "sokolow_lyon_mv"]


def run(*args):
    r = subprocess.run([CLI, *args], capture_output=True, env=ENV, timeout=120)
    return r.returncode, r.stdout.decode("utf-8", "replace"), r.stderr.decode("utf-8", "replace")


def main():
    if not os.path.isdir(REAL):
        print("no real data at %s (VELMORA_REALDATA): skipped" % REAL)
        return 0
    ludb = os.path.join(REAL, "wfdb", "ludb")
    mit = os.path.join(REAL, "wfdb", "mitdb", "100.hea")

    code, out, err = run("measure", os.path.join(ludb, "15.hea"), "--json")
    check(code == 0, "measure --json exits 0: " + err)
    m = json.loads(out) if code == 0 else {}
    check(all(k in m for k in KEYS), "every key is there: %s" % sorted(m))
    check(all(isinstance(m.get(k), float) for k in KEYS),
          "a sinus rhythm record has every value: %s" % {k: m.get(k) for k in KEYS})
    check(60 < (m.get("heart_rate_bpm") or 0) < 67, "heart rate of LUDB 15: %s" % m.get("heart_rate_bpm"))
    beats = m.get("beats", [])
    check(len(beats) == 10 and all(0 <= b < 4096 for b in beats) and beats == sorted(beats),
          "ten beats as record points: %s" % beats)
    rr = [(b - a) / 409.6 * 1000 for a, b in zip(beats, beats[1:])]
    check(rr and abs(sum(rr) / len(rr) - m["rr_ms"]) < 0.01, "rr_ms is the mean of the beats' RR")
    classes = m.get("beat_classes", "")
    check(isinstance(classes, str) and len(classes) == len(beats) and set(classes) <= set("NVQ")
          and classes.count("N") >= 8, "a class letter per beat, a sinus rhythm's normal: %r" % classes)

    code, out, err = run("measure", os.path.join(ludb, "8.hea"), "--json")
    af = json.loads(out) if code == 0 else {}
    check(code == 0 and af.get("p_ms") is None and af.get("pr_ms") is None
          and af.get("axis_p_deg") is None and af.get("qrs_ms") is not None,
          "atrial fibrillation: P and PR are null, QRS measured")

    code, out, err = run("measure", os.path.join(ludb, "15.hea"))
    check(code == 0 and "heart rate:" in out and " bpm" in out and "QTc (Bazett):" in out
          and "a doctor confirms them" in out, "measure prints its values as text")
    code, out, err = run("measure", mit)
    check(code == 0 and "QT:" in out, "a two-lead record measures: " + out[-200:])

    # The whole 30 minutes at 360 Hz.
    code, out, err = run("beats", mit, "--out", os.path.join(TMP, "beats.txt"))
    lines = open(os.path.join(TMP, "beats.txt")).read().splitlines() if code == 0 else []
    check(code == 0 and 2200 < len(lines) < 2350, "beats of MIT-BIH 100: %d lines, %s" % (len(lines), err))
    ok = all(abs(int(l.split()[0]) / 360.0 - float(l.split()[1])) < 0.001 for l in lines)
    check(ok and lines and float(lines[-1].split()[1]) > 1790, "index, then seconds, to the end")
    cls = [l.split()[2] if len(l.split()) == 3 else "" for l in lines]
    check(all(c in ("N", "V", "Q") for c in cls) and cls.count("V") <= 10,
          "a class per line; MIT-BIH 100 (one ventricular beat) nearly all N: %d V"
          % cls.count("V"))
    # MIT-BIH 119: ventricular bigeminy and trigeminy, 444 of its 1987 beats ventricular.
    code, out, err = run("beats", mit.replace("100.hea", "119.hea"), "--out",
                         os.path.join(TMP, "beats119.txt"))
    cls = [l.split()[2] for l in open(os.path.join(TMP, "beats119.txt")).read().splitlines()
           if len(l.split()) == 3] if code == 0 else []
    check(code == 0 and 380 < cls.count("V") < 520 and 1450 < cls.count("N") < 1650,
          "MIT-BIH 119: %d V, %d N, %s" % (cls.count("V"), cls.count("N"), err))

    # WFDB through the other commands.
    code, out, err = run("info", mit)
    check(code == 0 and "WFDB record (.hea)" in out, "info names the type: " + out[:200])
    code, out, err = run("render", os.path.join(ludb, "1.hea"), "--out", os.path.join(TMP, "l.png"))
    check(code == 0 and os.path.getsize(os.path.join(TMP, "l.png")) > 10000, "render draws it")
    code, out, err = run("export", os.path.join(ludb, "1.hea"), "--out", os.path.join(TMP, "l.dat"))
    check(code == 0 and os.path.getsize(os.path.join(TMP, "l.dat")) == 112552,
          "export writes it as a record block: " + err)
    code, out, err = run("measure", os.path.join(TMP, "l.dat"), "--json")
    again = json.loads(out) if code == 0 else {}
    code, out, err = run("measure", os.path.join(ludb, "1.hea"), "--json")
    first = json.loads(out) if code == 0 else {}
    check(again and again == first, "the record block measures as the WFDB record it came from")
    code, out, err = run("export", mit, "--out", os.path.join(TMP, "x.hea"))
    check(code == 1 and "unsupported output type" in err, "WFDB is opened only: " + err)

    # Bad input.
    shutil.copy(os.path.join(ludb, "1.hea"), os.path.join(TMP, "lonely.hea"))
    code, out, err = run("measure", os.path.join(TMP, "lonely.hea"))
    check(code == 2 and "lonely.hea" in err and "No such file or directory" in err,
          "a header without its signal file: exit 2, naming it: " + err)
    code, out, err = run("beats", os.path.join(TMP, "lonely.hea"), "--out", os.path.join(TMP, "b.txt"))
    check(code == 2 and not os.path.exists(os.path.join(TMP, "b.txt")), "beats: exit 2, nothing written")
    code, out, err = run("beats", mit, "--out", "/proc/velmora/b.txt")
    check(code == 2 and "/proc/velmora/b.txt" in err, "an unwritable output: exit 2: " + err)
    code, out, err = run("beats", mit)
    check(code == 1 and "--out" in err, "beats without --out: exit 1")
    code, out, err = run("measure")
    check(code == 1, "measure without a file: exit 1")
    return exit_status()


if __name__ == "__main__":
    try:
        sys.exit(main())
    finally:
        shutil.rmtree(TMP, ignore_errors=True)
