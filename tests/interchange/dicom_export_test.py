#!/usr/bin/env python3
"""velmora-cli export to DICOM: dciodvfy (dicom3tools) finds no error in the object, and pydicom,
an independent reader, reads back the patient, the waveform's shape, units and lead codes, and
every sample as the record holds it; the measurements come as annotations, the automatic
statements as text annotations under the unconfirmed heading. A record read from
another system's DICOM file and written again keeps its samples."""
import json
import os
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from checks import check, exit_status  # noqa: E402
from record_block import card_text, record  # noqa: E402

CLI = sys.argv[1]
TMP = tempfile.mkdtemp(prefix="velmora-dicom-")
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"), TMPDIR=TMP,
           LC_ALL="C.UTF-8")
LEAD_CODES = ["5.6.3-9-%d" % c for c in (1, 2, 61, 62, 63, 64, 3, 4, 5, 6, 7, 8)]


def run(*args):
    r = subprocess.run([CLI, *args], capture_output=True, env=ENV, timeout=60)
    return r.returncode, r.stderr.decode("utf-8", "replace")


def pydicom_read(path):
    """What pydicom makes of the object, printed as Python literals by Debian's Python."""
    script = r'''
import sys, struct, pydicom
d = pydicom.dcmread(sys.argv[1])
w = d.WaveformSequence[0]
n, s = int(w.NumberOfWaveformChannels), int(w.NumberOfWaveformSamples)
raw = struct.unpack("<%dh" % (n * s), w.WaveformData[:2 * n * s])
chans = [(c.ChannelSourceSequence[0].CodeValue, float(c.ChannelSensitivity),
          c.ChannelSensitivityUnitsSequence[0].CodeValue) for c in w.ChannelDefinitionSequence]
notes = {a.ConceptNameCodeSequence[0].CodeMeaning: float(a.NumericValue)
         for a in d.get("WaveformAnnotationSequence", []) if "ConceptNameCodeSequence" in a}
texts = [(a.UnformattedTextValue, int(a.AnnotationGroupNumber), list(a.ReferencedWaveformChannels))
         for a in d.get("WaveformAnnotationSequence", []) if "UnformattedTextValue" in a]
print(repr(dict(sop=d.SOPClassUID, modality=d.Modality, name=str(d.PatientName),
                birth=d.PatientBirthDate, sex=d.PatientSex, charset=d.SpecificCharacterSet,
                rate=float(w.SamplingFrequency), n=n, s=s, bits=int(w.WaveformBitsAllocated),
                interp=w.WaveformSampleInterpretation, chans=chans, notes=notes, texts=texts,
                lead1=list(raw[0::n]), lead12=list(raw[n - 1::n]), instance=d.SOPInstanceUID,
                device=(d.Manufacturer, d.get("ManufacturerModelName", ""),
                        d.get("DeviceSerialNumber", "")))))
'''
    r = subprocess.run(["/usr/bin/python3", "-c", script, path], capture_output=True, timeout=60)
    if r.returncode != 0:
        return {"error": r.stderr.decode()}
    return eval(r.stdout.decode())  # noqa: S307 - our own literal


def lane(rec, k):
    return [struct.unpack_from("<h", rec, 28 + 2 * (p * 12 + k))[0] for p in range(4096)]


try:
    # A record whose lane 0 reaches both ends of the 16-bit range.
    rec = bytearray(record())
    struct.pack_into("<h", rec, 28, -32768)
    struct.pack_into("<h", rec, 28 + 24, 32767)
    dat = os.path.join(TMP, "rec.dat")
    open(dat, "wb").write(rec)
    card = os.path.join(TMP, "card.txt")
    open(card, "w", encoding="utf-8").write(card_text())
    dcm = os.path.join(TMP, "rec.dcm")
    code, err = run("export", dat, "--card", card, "--out", dcm)
    check(code == 0, "export to .dcm: %s" % err.strip())

    v = subprocess.run(["dciodvfy", dcm], capture_output=True, text=True, timeout=60)
    errors = [line for line in (v.stdout + v.stderr).splitlines() if line.startswith("Error")]
    check(not errors, "dciodvfy: no errors (%s)" % errors[:3])

    d = pydicom_read(dcm)
    check("error" not in d, "pydicom reads it: %s" % d.get("error", "")[-300:])
    if "error" not in d:
        check(d["sop"] == "1.2.840.10008.5.1.4.1.1.9.1.1" and d["modality"] == "ECG",
              "12-lead ECG waveform storage, modality ECG")
        check(d["name"] == "Иванов^Иван^Иванович" and d["charset"] == "ISO_IR 192",
              "the Cyrillic name in UTF-8 (%s)" % d["name"])
        check(d["birth"] == "19500504" and d["sex"] == "M", "birth date and sex")
        check(all(d["device"]) and d["device"][2] == "K.107.00011.5434",
              "the cardiograph: maker, model and the record's serial number (%s)" % (d["device"],))
        check((d["n"], d["s"], d["rate"], d["bits"], d["interp"]) == (12, 4096, 409.6, 16, "SS"),
              "12 channels x 4096 samples, 409.6 Hz, 16-bit signed")
        check([c[0] for c in d["chans"]] == LEAD_CODES, "channel sources by SCP-ECG lead code")
        check(all(c[1] == 2.0 and c[2] == "uV" for c in d["chans"]), "sensitivity 2 uV")
        check(d["lead1"] == lane(rec, 0) and d["lead12"] == lane(rec, 11),
              "every sample as the record holds it, -32768 and 32767 included")

    # The same record and card give the same instance UID: an archive keeps it once.
    dcm2 = os.path.join(TMP, "again.dcm")
    run("export", dat, "--card", card, "--out", dcm2)
    again = pydicom_read(dcm2)
    check(again.get("instance") == d.get("instance"), "the same record, the same instance UID")

    # A record with a known finding: its statements follow the measurements as text annotations
    # of their own group, under the heading that says no doctor has confirmed them, the same
    # statements `velmora-cli interpret` makes of the record.
    sim = os.path.join(TMP, "af.dat")
    code, err = run("simulate", "--rhythm", "af", "--conduction", "rbbb", "--card", card,
                    "--out", sim)
    check(code == 0, "a simulated record with atrial fibrillation: %s" % err.strip())
    sim_dcm = os.path.join(TMP, "af.dcm")
    code, err = run("export", sim, "--card", card, "--out", sim_dcm)
    check(code == 0, "export it to .dcm: %s" % err.strip())
    v = subprocess.run(["dciodvfy", sim_dcm], capture_output=True, text=True, timeout=60)
    errors = [line for line in (v.stdout + v.stderr).splitlines() if line.startswith("Error")]
    check(not errors, "dciodvfy with text annotations: no errors (%s)" % errors[:3])
    r = subprocess.run([CLI, "interpret", sim, "--json", "--rates", "russian"],
                       capture_output=True, env=ENV, timeout=60)
    said = [s["text"] for s in json.loads(r.stdout.decode())["statements"]] if r.returncode == 0 \
        else []
    texts = pydicom_read(sim_dcm).get("texts", [])
    check("Фибрилляция предсердий" in said and
          any(t.startswith("Полная блокада правой ножки пучка Гиса") for t in said),
          "the simulated findings are found (%s)" % said)
    check([t[0] for t in texts] == ["Автоматическое заключение (не подтверждено врачом)"] + said,
          "the heading, then every statement in order (%s)" % [t[0] for t in texts])
    check(all(t[1] == 2 and t[2] == [1, 0] for t in texts),
          "the statements: group 2, the whole waveform (%s)" % texts[:1])

    realdata = os.environ.get("VELMORA_REALDATA") or os.path.join(
        os.path.dirname(os.path.abspath(__file__)), os.pardir, os.pardir, os.pardir, "shared",
        "realdata")
    mortara = os.path.join(realdata, "dicom", "mortara_eli250_waveform_ecg.dcm")
    if os.path.exists(mortara):
        # A real ECG: its measurements go in as annotations, and a foreign file written again
        # as ours reads back to the record's samples.
        out = os.path.join(TMP, "mortara.dcm")
        out_dat = os.path.join(TMP, "mortara.dat")
        code, err = run("export", mortara, "--out", out)
        check(code == 0, "a foreign DICOM file saved as ours: %s" % err.strip())
        run("export", mortara, "--out", out_dat)
        m = pydicom_read(out)
        notes = m.get("notes", {})
        check(40 < notes.get("Heart rate", 0) < 150 and 60 < notes.get("QRS Duration", 0) < 160,
              "heart rate and QRS duration as annotations (%s)" % notes)
        check(m.get("name") == "Anonymous" and m.get("lead1") == lane(open(out_dat, "rb").read(), 0),
              "its patient and samples kept")
    else:
        print("skip the real-data part: no ../shared/realdata or VELMORA_REALDATA")
finally:
    subprocess.run(["rm", "-rf", TMP])
sys.exit(exit_status())
