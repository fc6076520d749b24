#!/usr/bin/env python3
"""velmora-cli store against a real PACS: Orthanc, started here on loopback with a private
configuration and storage folder; a wrapper around the interchange helper (VELMORA_INTERCHANGE)
logs each of its runs. A record goes in one helper run, with its patient, as the object a save to
.dcm writes, and its printed report beside it as an encapsulated PDF in the same study (its own
series; dciodvfy finds no error in it; the PDF whole and saying what the report command's says),
or alone with --no-report; a DICOM file as it stands (its own instance UID, the same waveform bytes), or written
anew with --card; what is no DICOM ECG object is refused with its reason before any connection.
The faults: a wrong AE title, a PACS that is down or stalls: exit code 2, the reason, nothing
stored."""
import os
import random
import shutil
import socket
import stat
import subprocess
import sys
import tempfile
import threading
import time
from io import BytesIO

import pydicom

PDF_STORAGE = "1.2.840.10008.5.1.4.1.1.104.1"

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from checks import check, exit_status  # noqa: E402
from orthanc_server import Orthanc, free_port  # noqa: E402
from record_block import card_text, record  # noqa: E402

CLI, HELPER = sys.argv[1], sys.argv[2]
SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, os.pardir)
REALDATA = os.environ.get("VELMORA_REALDATA") or os.path.join(SOURCE, os.pardir, "shared",
                                                              "realdata")
TMP = tempfile.mkdtemp(prefix="velmora-pacs-")
os.chmod(TMP, 0o700)
RUNS = os.path.join(TMP, "helper-runs.log")
WRAPPER = os.path.join(TMP, "helper")
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"), TMPDIR=TMP,
           LC_ALL="C.UTF-8", VELMORA_INTERCHANGE=WRAPPER)


def run(*args, timeout=60):
    """Exit code, stderr, seconds taken, and the helper commands the run started."""
    open(RUNS, "w").close()
    t = time.monotonic()
    r = subprocess.run([CLI, *args], capture_output=True, env=ENV, timeout=timeout)
    took = time.monotonic() - t
    runs = open(RUNS).read().split()
    return r.returncode, r.stderr.decode("utf-8", "replace").strip(), took, runs


def waveforms(data):
    """Each multiplex group's waveform bytes and the SOP instance UID of a DICOM file's bytes."""
    d = pydicom.dcmread(BytesIO(data))
    return [bytes(w.WaveformData) for w in d.WaveformSequence], str(d.SOPInstanceUID)


def stored(pacs):
    """{SOP instance UID: Orthanc's id} of what the PACS keeps."""
    return {pacs.rest("/instances/%s/simplified-tags" % i)["SOPInstanceUID"]: i
            for i in pacs.rest("/instances")}


def pdf_text(data):
    path = os.path.join(TMP, "text.pdf")
    open(path, "wb").write(data)
    return subprocess.run(["pdftotext", "-layout", path, "-"], capture_output=True).stdout


def check_report(pacs, ecg_uid, card):
    """The report stored with the ECG of ecg_uid: in its study and patient, a series of its own,
    a valid object holding the PDF the report command prints. Its SOP instance UID."""
    ids = stored(pacs)
    ecg = pacs.rest("/instances/%s/simplified-tags" % ids[ecg_uid])
    reports = [(u, pacs.rest("/instances/%s/simplified-tags" % i)) for u, i in ids.items()]
    reports = [(u, t) for u, t in reports if t.get("SOPClassUID") == PDF_STORAGE and
               t.get("StudyInstanceUID") == ecg["StudyInstanceUID"]]
    check(len(reports) == 1, "one report in the ECG's study (%d)" % len(reports))
    if len(reports) != 1:
        return None
    uid, tags = reports[0]
    check(tags["SeriesInstanceUID"] != ecg["SeriesInstanceUID"] and
          tags.get("Modality") == "DOC", "the report in a series of its own (modality %s)" %
          tags.get("Modality"))
    check(tags.get("PatientName") == ecg["PatientName"] and
          tags.get("PatientID") == ecg["PatientID"], "the ECG's patient (%s)" %
          tags.get("PatientName"))
    check(tags.get("MIMETypeOfEncapsulatedDocument") == "application/pdf",
          "MIME type application/pdf")
    data = pacs.raw("/instances/%s/file" % ids[uid])
    path = os.path.join(TMP, "report.dcm")
    open(path, "wb").write(data)
    v = subprocess.run(["dciodvfy", path], capture_output=True, text=True, timeout=60)
    errors = [line for line in (v.stdout + v.stderr).splitlines() if line.startswith("Error")]
    check(not errors, "dciodvfy: no errors in the report's object (%s)" % errors[:3])
    d = pydicom.dcmread(BytesIO(data))
    check(str(d.SourceInstanceSequence[0].ReferencedSOPInstanceUID) == ecg_uid,
          "the report names the ECG it was drawn from")
    pdf = bytes(d.EncapsulatedDocument)[:int(d.EncapsulatedDocumentLength)]
    check(pdf.startswith(b"%PDF-") and pdf.rstrip().endswith(b"%%EOF"),
          "the PDF is whole (%d bytes)" % len(pdf))
    dat = os.path.join(TMP, "rec.dat")
    printed = os.path.join(TMP, "printed.pdf")
    code, err, _, _ = run("report", dat, "--card", card, "--out", printed)
    check(code == 0 and pdf_text(pdf) == pdf_text(open(printed, "rb").read()) and
          "Иванов".encode() in pdf_text(pdf), "the PDF says what the report command prints")
    return uid


def arrived_as_it_stands(pacs, ini, path, what):
    """Stores the file as it stands: one helper run, and the PACS keeps its UID and waveform."""
    waves, uid = waveforms(open(path, "rb").read())
    code, err, _, runs = run("store", path, "--config", ini)
    check(code == 0 and uid in err, "%s stored as it stands: %s" % (what, err))
    check(runs == ["store"], "%s: one helper run (%s)" % (what, runs))
    ids = stored(pacs)
    check(uid in ids, "%s arrives with its own SOP instance UID %s" % (what, uid))
    if uid in ids:
        kept, kept_uid = waveforms(pacs.raw("/instances/%s/file" % ids[uid]))
        check(kept == waves and kept_uid == uid,
              "%s: the same waveform bytes (%d groups)" % (what, len(waves)))


def main(pacs):
    DICOM = pacs.dicom_port
    dat = os.path.join(TMP, "rec.dat")
    open(dat, "wb").write(record())
    card = os.path.join(TMP, "card.txt")
    open(card, "w", encoding="utf-8").write(card_text())
    other_card = os.path.join(TMP, "other.txt")
    open(other_card, "w", encoding="utf-8").write("last_name = Сидоров\nfirst_name = Пётр\n")
    # The PACS of the settings file, as the window keeps it.
    ini = os.path.join(TMP, "velmora.ini")
    open(ini, "w", newline="").write(
        "[PACS]\r\nm_szPacsHost=127.0.0.1\r\nm_nPacsPort=%d\r\nm_szPacsAETitle=ORTHANC\r\n"
        "m_szOwnAETitle=VELMORA\r\nm_nPacsTimeout=2\r\n" % DICOM)

    code, err, _, _ = run("store", "--echo", "--config", ini)
    check(code == 0 and "answers" in err, "C-ECHO answers: %s" % err)

    # A record of ours: written and stored in one helper run, with its patient.
    code, err, _, runs = run("store", dat, "--card", card, "--config", ini)
    check(code == 0 and "stored" in err, "C-STORE of a record: %s" % err)
    check(runs == ["store-record"], "a record is built and stored in one helper run (%s)" % runs)
    ids = stored(pacs)
    check(len(ids) == 2, "the ECG and its report in the PACS (%d)" % len(ids))
    exported = os.path.join(TMP, "rec.dcm")
    run("export", dat, "--card", card, "--out", exported)
    own_uid = waveforms(open(exported, "rb").read())[1]
    check(own_uid in ids and own_uid in err,
          "the stored object is the one a save to .dcm writes (%s)" % own_uid)
    report_uid = check_report(pacs, own_uid, card) if own_uid in ids else None
    check(report_uid is not None and report_uid in err, "the report's instance is named: %s" % err)
    for uid, i in ids.items():
        if uid != own_uid:
            continue
        tags = pacs.rest("/instances/%s/simplified-tags" % i)
        series = pacs.rest("/instances/%s/series" % i)
        check(series["MainDicomTags"].get("Modality") == "ECG", "modality ECG")
        check(tags.get("PatientName") == "Иванов^Иван^Иванович",
              "the patient's name (%s)" % tags.get("PatientName"))
        wave = tags.get("WaveformSequence", [{}])[0]
        check(str(wave.get("NumberOfWaveformSamples")) == "4096" and
              str(wave.get("NumberOfWaveformChannels")) == "12", "12 x 4096 samples")
    # Sent again: the same instance, not a second one.
    run("store", dat, "--card", card, "--config", ini)
    check(len(stored(pacs)) == 2, "sent twice, kept once")

    # The archive files by the Patient ID: derived from the card (and marked so), one patient
    # for the same card's records, another for another card's. --no-report: the ECG alone.
    later = os.path.join(TMP, "later.dat")
    open(later, "wb").write(record(date=b"2026-12-09 08:10:00"))
    for c in (card, other_card):
        before = len(stored(pacs))
        code, err, _, runs = run("store", later, "--card", c, "--config", ini, "--no-report")
        check(code == 0 and len(stored(pacs)) == before + 1 and runs == ["store-record"] and
              "report" not in err, "another record stored without its report: %s" % err)
    studies = {}
    for p in pacs.rest("/patients"):
        patient = pacs.rest("/patients/%s" % p)
        studies[patient["MainDicomTags"].get("PatientID", "")] = (
            patient["MainDicomTags"].get("PatientName"), len(patient["Studies"]))
    check(sorted(studies.values()) == [("Иванов^Иван^Иванович", 2), ("Сидоров^Пётр", 1)] and
          all(i.startswith("VM-") for i in studies),
          "two patients: the same card's two records under one (%s)" % studies)
    tags = pacs.rest("/instances/%s/simplified-tags" % stored(pacs)[own_uid])
    check(tags.get("IssuerOfPatientID") == "VELMORA-DERIVED" and
          tags.get("TypeOfPatientID") == "TEXT", "the derived ID is marked as such (%s, %s)" %
          (tags.get("IssuerOfPatientID"), tags.get("TypeOfPatientID")))
    nameless = os.path.join(TMP, "nameless.txt")
    open(nameless, "w", encoding="utf-8").write("first_name = Пётр\nbirth_year = 1950\n")
    before = len(stored(pacs))
    code, err, _, runs = run("store", later, "--card", nameless, "--config", ini)
    check(code == 1 and "В карточке нет фамилии пациента" in err and runs == [] and
          len(stored(pacs)) == before, "a card without a surname is not sent: %s" % err)

    # A DICOM file as it stands: ours under another UID, so that a rewrite would show.
    mine = os.path.join(TMP, "mine.dcm")
    d = pydicom.dcmread(exported)
    d.SOPInstanceUID = d.file_meta.MediaStorageSOPInstanceUID = pydicom.uid.generate_uid()
    d.save_as(mine)
    arrived_as_it_stands(pacs, ini, mine, "our file under another UID")
    mortara = os.path.join(REALDATA, "dicom", "mortara_eli250_waveform_ecg.dcm")
    if os.path.exists(mortara):
        arrived_as_it_stands(pacs, ini, mortara, "another maker's file")
    else:
        print("skip another maker's file: no ../shared/realdata or VELMORA_REALDATA")

    # With --card the file is written anew from its record with that card: another object.
    before = set(stored(pacs))
    code, err, _, runs = run("store", mine, "--card", other_card, "--config", ini)
    check(code == 0 and runs == ["read", "store-record"],
          "a .dcm with --card is read and written anew (%s): %s" % (runs, err))
    new = set(stored(pacs)) - before
    check(len(new) == 2 and waveforms(open(mine, "rb").read())[1] not in new,
          "with --card it is a new instance, with its report (%s)" % new)
    for uid in new:
        if pacs.rest("/instances/%s/simplified-tags" % stored(pacs)[uid]).get(
                "SOPClassUID") == PDF_STORAGE:
            continue
        tags = pacs.rest("/instances/%s/simplified-tags" % stored(pacs)[uid])
        check(tags.get("PatientName") == "Сидоров^Пётр", "the card's patient (%s)" %
              tags.get("PatientName"))
    count = len(stored(pacs))

    # No DICOM ECG object: refused with its reason, and not one connection to the PACS (a
    # connection made would wait in the listening socket's queue).
    quiet = socket.socket()
    quiet.bind(("127.0.0.1", 0))
    quiet.listen(8)
    noise = os.path.join(TMP, "noise.dcm")
    open(noise, "wb").write(random.Random(7).randbytes(20000))
    flat = os.path.join(TMP, "flat.dcm")
    d = pydicom.dcmread(exported)
    del d.WaveformSequence
    d.save_as(flat)
    for path, why in ((noise, "no DICOM file"), (flat, "holds no waveform")):
        code, err, _, runs = run("store", path, "--config", ini, "--pacs",
                                 "127.0.0.1:%d" % quiet.getsockname()[1])
        check(code == 2 and path in err and why in err and runs == ["store"],
              "%s is refused with its reason: %s" % (os.path.basename(path), err))
    quiet.setblocking(False)
    try:
        connected = bool(quiet.accept())
    except BlockingIOError:
        connected = False
    check(not connected, "refused before any association")

    code, err, _, _ = run("store", dat, "--card", card, "--config", ini, "--aet", "NOTORTHANC")
    check(code == 2 and "Rejected" in err, "a wrong AE title is refused: %s" % err)

    down = free_port()
    for args in ((dat, "--card", card), (mine,)):
        code, err, _, _ = run("store", *args, "--config", ini, "--pacs", "127.0.0.1:%d" % down)
        check(code == 2 and "refused" in err.lower(), "a PACS that is down: %s" % err)

    # A peer that accepts and never answers: our 2 s time-out, not a hang, for a record and a
    # file alike.
    stall = socket.socket()
    stall.bind(("127.0.0.1", 0))
    stall.listen(4)
    held = []
    threading.Thread(target=lambda: [held.append(stall.accept()) for _ in range(4)],
                     daemon=True).start()
    for args in ((dat, "--card", card), (mine,)):
        code, err, took, _ = run("store", *args, "--config", ini, "--pacs",
                                 "127.0.0.1:%d" % stall.getsockname()[1], timeout=60)
        check(code == 2 and took < 15, "a PACS that stalls ends in our time-out (%.1f s): %s" %
              (took, err))
    check(len(stored(pacs)) == count, "nothing more stored by the faults")

    code, err, _, _ = run("store", dat, "--pacs", "127.0.0.1:%d" % DICOM, "--aet", "BAD\\TITLE")
    check(code == 1, "a bad AE title is bad usage: %s" % err)


try:
    open(WRAPPER, "w").write('#!/bin/sh\necho "$1" >> "%s"\nexec "%s" "$@"\n' % (RUNS, HELPER))
    os.chmod(WRAPPER, stat.S_IRWXU)
    with Orthanc(TMP) as server:
        main(server)
finally:
    shutil.rmtree(TMP, ignore_errors=True)
sys.exit(exit_status())
