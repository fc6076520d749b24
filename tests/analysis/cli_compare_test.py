#!/usr/bin/env python3
"""velmora-cli compare: the table and the change statements of simulated pairs, the JSON keys,
bad input refused, and the ECG Toolkit's example recording read from its SCP-ECG, DICOM and aECG
files, which must compare as unchanged. The real data is read where it lies; without it the script
says so and checks the simulated records only."""
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
TMP = tempfile.mkdtemp(prefix="velmora-compare-")
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"), LC_ALL="C.UTF-8")
KEYS = ["heart_rate_bpm", "pr_ms", "qrs_ms", "qt_ms", "qtc_bazett_ms", "qtc_fridericia_ms",
        "axis_p_deg", "axis_qrs_deg", "axis_t_deg"]


def run(*args):
    r = subprocess.run([CLI, *args], capture_output=True, env=ENV, timeout=120)
    return r.returncode, r.stdout.decode("utf-8", "replace"), r.stderr.decode("utf-8", "replace")


def simulate(name, *options):
    path = os.path.join(TMP, name)
    code, _, err = run("simulate", "--out", path, *options)
    check(code == 0, "simulate writes %s: %s" % (name, err))
    return path


def compare_json(previous, current):
    code, out, err = run("compare", previous, current, "--json")
    check(code == 0, "compare --json exits 0: " + err)
    return json.loads(out) if code == 0 else {"changes": []}


def codes(doc):
    return [c["code"] for c in doc["changes"]]


def simulated():
    normal = simulate("normal.dat")
    again = simulate("again.dat", "--seed", "5")
    rbbb = simulate("rbbb.dat", "--conduction", "rbbb")
    af = simulate("af.dat", "--rhythm", "af")

    doc = compare_json(normal, again)
    check(codes(doc) == ["NO_CHANGE"], "the same heart twice is no change: %s" % codes(doc))
    check(all("delta_" + k in doc for k in KEYS), "every delta key is there: %s" % sorted(doc))
    near = [doc.get("delta_qrs_ms"), doc.get("delta_heart_rate_bpm")]
    check(None not in near and abs(near[0]) <= 8 and abs(near[1]) <= 4,
          "its deltas are near 0: %s" % {k: doc.get("delta_" + k) for k in KEYS})

    doc = compare_json(normal, rbbb)
    check("NEW_CRBBB" in codes(doc) and "QRS_WIDER" in codes(doc),
          "a new right bundle branch block widens the QRS: %s" % codes(doc))
    for c in doc["changes"]:
        check(c["text"] and c["text_en"] and isinstance(c.get("evidence"), dict),
              "each change has its texts and evidence: %s" % c)
    wider = [c for c in doc["changes"] if c["code"] == "QRS_WIDER"]
    if wider:
        d = doc["delta_qrs_ms"]
        check(abs(d - (doc["current"]["qrs_ms"] - doc["previous"]["qrs_ms"])) <= 1,
              "delta_qrs_ms is current - previous: %s" % d)
        check(wider[0]["text"].startswith("QRS расширился на %d мс (" % d), wider[0]["text"])
        check(wider[0]["evidence"]["delta_qrs_ms"] == d, str(wider[0]))
    check("statements" in doc.get("previous", {}) and "beats" in doc.get("current", {}),
          "previous and current are measure --json's objects")

    doc = compare_json(normal, af)
    check("NEW_AFIB" in codes(doc), "sinus then fibrillation: %s" % codes(doc))
    check("delta_pr_ms" in doc and doc["delta_pr_ms"] is None,
          "no PR delta against fibrillation: %s" % doc.get("delta_pr_ms"))
    check("RESOLVED_AFIB" in codes(compare_json(af, normal)), "fibrillation then sinus")

    code, out, err = run("compare", normal, rbbb)
    lines = out.splitlines()
    check(code == 0 and lines and lines[0].split() == ["previous", "current", "change"],
          "the text form starts with the table: %s %s" % (out, err))
    check(any(l.startswith("QRS:") and "ms" in l for l in lines), "the QRS row: " + out)
    check("Динамика в сравнении с предыдущей ЭКГ (не подтверждена врачом)" in lines,
          "the changes under their heading: " + out)
    check(any(l.startswith("NEW_CRBBB") and "Появилась полная блокада правой ножки" in l
              for l in lines), "one change a line, in Russian: " + out)
    code, out, err = run("compare", normal, af)
    check(any(l.startswith("PR:") and l.endswith("not compared") for l in out.splitlines()),
          "the PR row says it is not compared: " + out)

    # Bad usage and files that do not open.
    code, out, err = run("compare", normal)
    check(code == 1 and "previous and the current" in err, "one file is bad usage: %d %s" % (code, err))
    code, out, err = run("compare", normal, again, af)
    check(code == 1, "three files are bad usage: %d %s" % (code, err))
    missing = os.path.join(TMP, "missing.scp")
    code, out, err = run("compare", missing, normal)
    check(code == 2 and "missing.scp" in err and not out,
          "a missing file exits 2 naming it: %d %s" % (code, err))
    junk = os.path.join(TMP, "junk.scp")
    with open(junk, "wb") as f:
        f.write(b"\0" * 300)
    code, out, err = run("compare", normal, junk)
    check(code == 2 and "junk.scp" in err and not out, "no record exits 2: %d %s" % (code, err))
    code, out, err = run("compare", "--help")
    check(code == 0 and "delta_" in out, "--help describes the keys: " + err)


def real():
    """The ECG Toolkit's example, one recording in three formats: no change between any two."""
    files = [os.path.join(REAL, "scp", "ecgconversion_Example.scp"),
             os.path.join(REAL, "dicom", "ecgconversion_Example.dcm"),
             os.path.join(REAL, "aecg", "hl7_2003-12_Example_aECG.xml")]
    limits = {"heart_rate_bpm": 2, "pr_ms": 10, "qrs_ms": 10, "qt_ms": 12, "qtc_bazett_ms": 15,
              "qtc_fridericia_ms": 15, "axis_qrs_deg": 10}
    for i in range(len(files)):
        for j in range(len(files)):
            if i == j:
                continue
            a, b = os.path.basename(files[i]), os.path.basename(files[j])
            doc = compare_json(files[i], files[j])
            check(codes(doc) == ["NO_CHANGE"], "%s against %s: %s" % (a, b, codes(doc)))
            for key, limit in limits.items():
                d = doc.get("delta_" + key)
                check(d is not None and abs(d) <= limit,
                      "%s against %s: delta_%s %s within %s" % (a, b, key, d, limit))


def main():
    simulated()
    if not os.path.isdir(REAL):
        print("no real data at %s (VELMORA_REALDATA): skipped the real records" % REAL)
        return exit_status()
    real()
    return exit_status()


if __name__ == "__main__":
    try:
        sys.exit(main())
    finally:
        shutil.rmtree(TMP, ignore_errors=True)
