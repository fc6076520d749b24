#!/usr/bin/env python3
"""A DICOM ECG object's own measurements and interpretation (its waveform annotations) come
through `velmora-cli info` as the file's findings: the shared real objects give what pydicom reads
in them; an object of another cart made here gives its global measurements in seconds and
milliseconds converted, skips the one tied to a lead and keeps its statements in order; our own
objects give none of velmora's own measurements, only a doctor's confirmed reading."""
import json
import os
import subprocess
import sys
import tempfile

import pydicom
from pydicom.dataset import Dataset
from pydicom.sequence import Sequence

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from checks import check, exit_status  # noqa: E402
from record_block import card_text  # noqa: E402

CLI = sys.argv[1]
TMP = tempfile.mkdtemp(prefix="velmora-dicomfind-")
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"), TMPDIR=TMP,
           LC_ALL="C.UTF-8")
KEYS = ("heart_rate_bpm", "rr_ms", "pr_ms", "qrs_ms", "qt_ms", "qtc_ms", "axis_p_deg",
        "axis_qrs_deg", "axis_t_deg")
# The second route to the real objects' values: pydicom, by each annotation's code meaning.
BY_MEANING = {"rr interval": "rr_ms", "pr interval": "pr_ms", "qrs duration": "qrs_ms",
              "qt interval": "qt_ms", "qtc interval": "qtc_ms", "p axis": "axis_p_deg",
              "qrs axis": "axis_qrs_deg", "t axis": "axis_t_deg"}


def run(*args):
    return subprocess.run([CLI, *args], capture_output=True, env=ENV, timeout=120)


def from_file(path):
    r = run("info", "--json", path)
    if r.returncode != 0:
        return {"error": r.stderr.decode("utf-8", "replace")}
    return json.loads(r.stdout.decode()).get("from_file")


def measured(f):
    return {k: f[k] for k in KEYS if f and k in f}


def code(value, scheme, meaning):
    c = Dataset()
    c.CodingSchemeDesignator, c.CodeMeaning = scheme, meaning
    if len(value) > 16:
        c.LongCodeValue = value
    else:
        c.CodeValue = value
    return Sequence([c])


def numeric(value, scheme, meaning, number, unit, channels=(1, 0)):
    a = Dataset()
    a.ConceptNameCodeSequence = code(value, scheme, meaning)
    a.NumericValue = number
    a.MeasurementUnitsCodeSequence = code(unit, "UCUM", unit)
    a.ReferencedWaveformChannels = list(channels)
    a.AnnotationGroupNumber = 1
    return a


def text(t):
    a = Dataset()
    a.UnformattedTextValue = t
    a.ReferencedWaveformChannels = [1, 0]
    a.AnnotationGroupNumber = 2
    return a


try:
    card = os.path.join(TMP, "card.txt")
    open(card, "w", encoding="utf-8").write(card_text())
    sim = os.path.join(TMP, "af.dat")
    r = run("simulate", "--rhythm", "af", "--conduction", "rbbb", "--card", card, "--out", sim)
    check(r.returncode == 0, "a simulated record with findings: %s" % r.stderr.decode())
    ours = os.path.join(TMP, "ours.dcm")
    r = run("export", sim, "--card", card, "--out", ours)
    check(r.returncode == 0, "exported as our DICOM: %s" % r.stderr.decode())
    own = pydicom.dcmread(ours)
    own_texts = [a.UnformattedTextValue for a in own.WaveformAnnotationSequence
                 if "UnformattedTextValue" in a]
    check(any("NumericValue" in a for a in own.WaveformAnnotationSequence) and own_texts,
          "our object carries velmora's measurements and statements (%d texts)" % len(own_texts))

    # Our own object: velmora's measurements and unconfirmed statements are not the file's.
    check(from_file(ours) is None, "our own object gives no findings (%s)" % from_file(ours))
    # A doctor's reading recorded in it is worth showing, without velmora's measurements.
    own.NameOfPhysiciansReadingStudy = "Петрова^А. И."
    read = os.path.join(TMP, "ours-read.dcm")
    own.save_as(read)
    f = from_file(read)
    check(f is not None and f.get("statements") == own_texts and f.get("confirmed") is True and
          not measured(f), "our object with a doctor's reading: its texts, confirmed, no "
          "measurements (%s)" % f)

    # Another cart's object, made from ours: its own device, its annotations replaced.
    other = pydicom.dcmread(ours)
    other.Manufacturer, other.ManufacturerModelName = "Acme Cardio", "AC-12"
    del other.SoftwareVersions
    other.WaveformAnnotationSequence = Sequence([
        numeric("8633-0", "LN", "QRS duration", "0.2", "s", (1, 3)),  # one lead's: skipped
        numeric("5.10.3-11", "SCPECG", "P Axis", "80", "deg", (1, 2)),  # one lead's: skipped
        text("Sinus rhythm"),
        numeric("5.13.5-9", "SCPECG", "QRS Duration", "0.096", "s"),
        numeric("8625-6", "LN", "PR interval", "158", "ms"),
        numeric("5.10.2.1-5", "SCPECG", "PP Interval", "0", "ms"),
        numeric("MDC_ECG_TIME_PD_QT_GL", "MDC", "QT interval", "0.41", "s"),
        numeric("8636-3", "LN", "QTc interval", "432", "ms"),
        numeric("147842", "MDC", "Heart rate", "74", "/min"),
        numeric("5.10.3-13", "SCPECG", "QRS Axis", "-30", "deg"),
        numeric("5.13.5-9", "SCPECG", "QRS Duration", "150", "ms"),  # a second one: the first
        numeric("99999-9", "LN", "Something else", "12", "ms"),
        text("Left axis deviation"),
    ])
    cart = os.path.join(TMP, "cart.dcm")
    other.save_as(cart)
    f = from_file(cart)
    want = {"heart_rate_bpm": 74, "pr_ms": 158, "qrs_ms": 96, "qt_ms": 410, "qtc_ms": 432,
            "axis_qrs_deg": -30}
    check(f is not None and measured(f) == want,
          "the cart's global measurements, seconds as ms, the per-lead ones skipped (%s)"
          % measured(f))
    check(f is not None and f.get("writer") == "Acme Cardio AC-12" and
          f.get("statements") == ["Sinus rhythm", "Left axis deviation"] and
          f.get("confirmed") is False,
          "its maker and model, its statements in order, unconfirmed (%s)" % f)
    r = run("info", cart)
    line = [x for x in r.stdout.decode().splitlines() if x.startswith("from file:")]
    check(len(line) == 1 and "По данным файла (Acme Cardio AC-12): ЧСС 74 уд/мин" in line[0] and
          "QRS 96 мс" in line[0] and "Sinus rhythm. Left axis deviation." in line[0],
          "the text output's line (%s)" % line)
    other.VerificationFlag = "VERIFIED"
    other.save_as(cart)
    f = from_file(cart)
    check(f is not None and f.get("confirmed") is True, "a verified object: confirmed (%s)" % f)
    # A foreign record saved again by velmora carries velmora's measurements under the cart's
    # name: still not the file's own.
    r = run("export", cart, "--out", os.path.join(TMP, "again.dcm"))
    check(r.returncode == 0, "the cart's object saved as ours: %s" % r.stderr.decode())
    check(from_file(os.path.join(TMP, "again.dcm")) is None,
          "saved again by velmora: no findings of the file")

    realdata = os.environ.get("VELMORA_REALDATA") or os.path.join(
        os.path.dirname(os.path.abspath(__file__)), os.pardir, os.pardir, os.pardir, "shared",
        "realdata")
    folder = os.path.join(realdata, "dicom")
    if not os.path.isdir(folder):
        print("no real data (../shared/realdata or VELMORA_REALDATA): real objects skipped")
    else:
        for name in sorted(os.listdir(folder)):
            path = os.path.join(folder, name)
            d = pydicom.dcmread(path)
            want, texts = {}, []
            for a in d.get("WaveformAnnotationSequence", []):
                if "UnformattedTextValue" in a:
                    texts.append(a.UnformattedTextValue.strip())
                    continue
                if "NumericValue" not in a or "ConceptNameCodeSequence" not in a:
                    continue
                key = BY_MEANING.get(a.ConceptNameCodeSequence[0].CodeMeaning.lower())
                channels = list(a.get("ReferencedWaveformChannels", []))
                if key and key not in want and not any(channels[1::2]) and \
                        (float(a.NumericValue) > 0 or key.startswith("axis")):
                    want[key] = round(float(a.NumericValue))
            f = from_file(path)
            got = measured(f)
            rate = got.pop("heart_rate_bpm", None)
            check(want and got == want, "%s: the measurements pydicom reads in it (%s, %s)"
                  % (name, got, want))
            if "rr_ms" in want:
                check(rate is not None and abs(rate - 60000 / want["rr_ms"]) <= 0.5,
                      "%s: the rate agrees with the RR of %d ms (%s)" % (name, want["rr_ms"], rate))
            check(f is not None and f.get("statements") == texts and f.get("confirmed") is False,
                  "%s: its statements in order, unconfirmed (%s)" % (name, f and f.get("statements")))
            maker = " ".join(p for p in (d.get("Manufacturer", ""), d.get("ManufacturerModelName", ""))
                             if p and p.lower() != "unknown")
            check(f is not None and f.get("writer") == (maker or "DICOM"),
                  "%s: written by %s (%s)" % (name, maker, f and f.get("writer")))
finally:
    subprocess.run(["rm", "-rf", TMP])
sys.exit(exit_status())
