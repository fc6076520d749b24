#!/usr/bin/env python3
"""Every record file type we write, read back by velmora-cli: a card with every field filled in
comes back field by field as far as the format carries it (the formats' limits are the table in
src/storage/README.md, restated here as what each type must give back), with the record's device
and record number. Another system's record saved as ours names its own device, never our
cardiograph. And the readers' refusals say what is wrong: a DOCTYPE, a zero sampling rate, a
waveform out of range."""
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from checks import check, exit_status  # noqa: E402
from record_block import CARD, card_text, record  # noqa: E402

CLI = sys.argv[1]
TMP = tempfile.mkdtemp(prefix="velmora-roundtrip-")
REALDATA = os.environ.get("VELMORA_REALDATA") or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), os.pardir, os.pardir, os.pardir, "shared",
    "realdata")
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"), TMPDIR=TMP,
           LC_ALL="C.UTF-8")

# Every field filled; a first name with a blank in it, so that the parts must be told apart.
FULL = dict(CARD, first_name="Жан Поль", district="Одинцовский р-н", street="ул. Ленина",
            patient_id="МК-0042/7")
# For EDF+, whose header is ASCII: the same in Latin letters, which come back as written.
LATIN = dict(FULL, last_name="Smith", first_name="John", patronymic="Adams",
             doctor_name="Brown B.", patient_id="MK-0042/7")
NAMES = ["last_name", "first_name", "patronymic", "birth_day", "birth_month", "birth_year", "sex"]
ADDRESS = ["postal_code", "region", "district", "locality", "street", "house",
           "years_of_residence"]
# What each type carries of the card (the rest comes back empty).
CARRIES = {
    "dat": ["doctor_name", "doctor_phone", "last_name", "birth_year", "sex", "height", "weight"],
    "scp": NAMES + ["height", "weight", "patient_id"] + ADDRESS,
    "dcm": NAMES + ["height", "weight", "doctor_name", "doctor_phone", "patient_id"],
    "xml": NAMES + ["patient_id"],
    "edf": NAMES + ["doctor_name", "patient_id"],
}
CARRIES["ecg"] = CARRIES["dat"]


def run(*args):
    r = subprocess.run([CLI, *args], capture_output=True, env=ENV, timeout=120)
    return r.returncode, r.stdout.decode("utf-8", "replace"), r.stderr.decode("utf-8", "replace")


def path(name):
    return os.path.join(TMP, name)


def info(file):
    code, out, err = run("info", file, "--json")
    check(code == 0, "info on %s: %s" % (os.path.basename(file), err.strip()))
    return json.loads(out) if code == 0 else {}


def pydicom(script, *args):
    r = subprocess.run(["/usr/bin/python3", "-c", "import sys, pydicom\n" + script, *args],
                       capture_output=True, timeout=60)
    return r.returncode, r.stdout.decode("utf-8", "replace"), r.stderr.decode()


try:
    dat = path("rec.dat")
    open(dat, "wb").write(record())
    for name, card in (("full", FULL), ("latin", LATIN)):
        open(path(name + ".txt"), "w", encoding="utf-8").write(card_text(card))

    for ext, carried in CARRIES.items():
        card = LATIN if ext == "edf" else FULL
        out = path("rt." + ext)
        code, _, err = run("export", dat, "--card", path(("latin" if ext == "edf" else "full") +
                                                         ".txt"), "--out", out)
        check(code == 0, "export to .%s: %s" % (ext, err.strip()))
        back = info(out)
        kept = back.get("card", {})
        empty = {k: 0 if isinstance(v, int) else "" for k, v in card.items()}
        want = {k: (card[k] if k in carried else empty[k]) for k in card}
        wrong = {k: (kept.get(k), want[k]) for k in want if kept.get(k) != want[k]}
        check(not wrong, ".%s: every field it carries back as written, the others empty %s" %
              (ext, wrong))
        check(back.get("device") == "K.107.00011.5434" and
              back.get("record_number") == (0 if ext == "scp" else 5),
              ".%s: the device's number and the record number (%s, %s)" %
              (ext, back.get("device"), back.get("record_number")))

    # A card without a medical record number: the identifier DICOM and aECG derive from the
    # names is no number of the card's, and comes back as none.
    open(path("plain.txt"), "w", encoding="utf-8").write(card_text(CARD))
    for ext in ("dcm", "xml"):
        out = path("plain." + ext)
        code, _, err = run("export", dat, "--card", path("plain.txt"), "--out", out)
        kept = info(out).get("card", {})
        check(code == 0 and kept.get("last_name") == CARD["last_name"] and
              kept.get("patient_id") == "",
              ".%s without a card number reads back without one (%r)" % (ext, kept.get("patient_id")))

    # DICOM: height in metres, weight in kg, the doctor as the referring physician.
    code, out, err = pydicom("d = pydicom.dcmread(sys.argv[1])\nprint(repr((str(d.PatientSize), "
                             "str(d.PatientWeight), str(d.ReferringPhysicianName))))",
                             path("rt.dcm"))
    check(code == 0 and eval(out) == ("1.8", "80", FULL["doctor_name"]),  # noqa: S307
          "DICOM: Patient's Size 1.8 m, Weight 80 kg, Referring Physician (%s%s)" % (out.strip(), err))

    # Another system's record: its own device in every file we write of it, through a record
    # block too; a source that names no device gives none.
    ours = path("rt.dcm")
    foreign = path("foreign.dcm")
    code, _, err = pydicom("d = pydicom.dcmread(sys.argv[1])\nd.Manufacturer = 'ACME Medical'\n"
                           "d.ManufacturerModelName = 'CardioMax 9'\n"
                           "d.DeviceSerialNumber = 'SN-4711'\nd.save_as(sys.argv[2])",
                           ours, foreign)
    check(code == 0, "a foreign DICOM file made: %s" % err)
    nameless = path("nameless.dcm")
    pydicom("d = pydicom.dcmread(sys.argv[1])\nd.Manufacturer = ''\n"
            "del d.ManufacturerModelName\ndel d.DeviceSerialNumber\nd.save_as(sys.argv[2])",
            ours, nameless)
    code, _, err = run("export", foreign, "--out", path("foreign.dat"))
    check(code == 0, "the foreign record as a record block: %s" % err.strip())
    for source in (foreign, path("foreign.dat")):
        for ext in ("dcm", "xml", "edf", "scp"):
            out = path("f-%s.%s" % (os.path.basename(source).replace(".", "-"), ext))
            code, _, err = run("export", source, "--card", path("full.txt"), "--out", out)
            check(code == 0, "%s to .%s: %s" % (os.path.basename(source), ext, err.strip()))
            data = open(out, "rb").read()
            named = {"dcm": [b"ACME Medical", b"CardioMax 9", b"SN-4711"],
                     "xml": [b"ACME Medical", b"CardioMax 9", b"SN-4711"],
                     "edf": [b"ACME_Medical_CardioMax_9_SN-4711"],
                     "scp": [b"ACME Medical", b"Cardi", b"SN-4711"]}[ext]
            check(all(n in data for n in named) and b"QELT" not in data and
                  b"K.107.00011.5434" not in data,
                  "%s saved as .%s names its own device, not ours" % (
                      os.path.basename(source), ext))
    # Our own SCP reader knows another writer's tag 14 too: the device survives a trip through
    # an .scp file.
    code, _, err = run("export", path("f-foreign-dcm.scp"), "--out", path("via-scp.dcm"))
    data = open(path("via-scp.dcm"), "rb").read() if code == 0 else b""
    check(b"ACME Medical" in data and b"SN-4711" in data and b"QELT" not in data,
          "a foreign record through our .scp keeps its device: %s" % err.strip())
    for ext in ("dcm", "xml", "edf"):
        out = path("nameless." + ext)
        code, _, err = run("export", nameless, "--card", path("full.txt"), "--out", out)
        data = open(out, "rb").read() if code == 0 else b""
        check(code == 0 and b"QELT" not in data and b"ORMIK" not in data,
              "a source that names no device: none in the .%s (%s)" % (ext, err.strip()))
    code, out, _ = pydicom("d = pydicom.dcmread(sys.argv[1])\n"
                           "print(repr((d.Manufacturer, 'ManufacturerModelName' in d)))",
                           path("nameless.dcm"))
    check(code == 0 and eval(out) == ("", False),  # noqa: S307
          "DICOM: Manufacturer empty, no model (%s)" % out.strip())

    # A real SCP file of another maker: its tag 14 as the file has it, in every type.
    welch = os.path.join(REALDATA, "scp", "welchallyn_ECG_20060620_112352_197001138994.SCP")
    if os.path.exists(welch):
        for ext in ("dcm", "xml", "edf"):
            out = path("welch." + ext)
            code, _, err = run("export", welch, "--card", path("full.txt"), "--out", out)
            data = open(out, "rb").read() if code == 0 else b""
            check(b"QELT" not in data and b"MDW14" in data and
                  (b"Welch Allyn Cardio Control" in data or
                   b"Welch_Allyn_Cardio_Control" in data),
                  "a Welch Allyn SCP file as .%s names the Welch Allyn device: %s" %
                  (ext, err.strip()))
    else:
        print("skip the real SCP file: no ../shared/realdata or VELMORA_REALDATA")

    # The readers' refusals say what is wrong.
    xml = open(path("rt.xml"), encoding="utf-8").read()
    doctype = path("doctype.xml")
    open(doctype, "w", encoding="utf-8").write(xml.replace(
        "?>\n", '?>\n<!DOCTYPE AnnotatedECG [<!ENTITY x "x">]>\n', 1))
    code, _, err = run("info", doctype)
    check(code == 2 and "declares a DOCTYPE" in err and "refused for safety" in err,
          "a DOCTYPE is refused, and said so: %s" % err.strip())
    edf = bytearray(open(path("rt.edf"), "rb").read())
    edf[244:252] = b"0       "  # records of no duration: no sampling rate
    open(path("rate0.edf"), "wb").write(edf)
    code, _, err = run("info", path("rate0.edf"))
    check(code == 2 and "sampling rate is zero or invalid" in err,
          "an EDF+ file without a sampling rate says so: %s" % err.strip())
    for bad, (attr, value), why in (
            ("rate0", ("SamplingFrequency", "0"), "sampling rate is zero or invalid"),
            ("channels", ("NumberOfWaveformChannels", 70), "channel count 70 is not from 1 to 64"),
            ("fast", ("SamplingFrequency", "200000"), "sampling rate 200000 Hz is not from 1")):
        out = path(bad + ".dcm")
        pydicom("d = pydicom.dcmread(sys.argv[1])\nsetattr(d.WaveformSequence[0], sys.argv[3], "
                "%s)\nd.save_as(sys.argv[2])" % repr(value), ours, out, attr)
        code, _, err = run("info", out)
        check(code == 2 and why in err and not err.strip().endswith("cannot be"),
              "%s: %s" % (why, err.strip()))
finally:
    shutil.rmtree(TMP, ignore_errors=True)
sys.exit(exit_status())
