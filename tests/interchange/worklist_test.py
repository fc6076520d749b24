#!/usr/bin/env python3
"""velmora-cli against real modality worklist servers on loopback: DCMTK's wlmscpfs and Orthanc
with its worklist plugin, each answering in ISO_IR 144 (Cyrillic) and in ISO_IR 192 (UTF-8). The
day's ECG steps arrive with their Cyrillic names whole (another day's and another modality's are
left out); a record bound to an entry by --accession carries the order: a DICOM file's and a
stored object's Study Instance UID, Accession Number and Request Attributes (read back with
pydicom), an HL7 result's ORC/OBR. The faults: a server that is down, one that refuses our AE
title, an accession number the worklist does not have: exit code 2, one line saying so, nothing
written."""
import json
import os
import subprocess
import sys
import tempfile
import time
from io import BytesIO

import pydicom

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from checks import check, exit_status  # noqa: E402
from orthanc_server import Orthanc, free_port  # noqa: E402
from record_block import record  # noqa: E402
from worklist_servers import (OrthancWorklist, Wlmscpfs, entry,  # noqa: E402
                              have_orthanc_worklists, have_wlmscpfs)

CLI = sys.argv[1]
TMP = tempfile.mkdtemp(prefix="velmora-worklist-")
os.chmod(TMP, 0o700)
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"),
           XDG_DATA_HOME=os.path.join(TMP, "data"), TMPDIR=TMP, LC_ALL="C.UTF-8")
OUTBOX = os.path.join(TMP, "data", "velmora", "hl7-outbox")

ENTRIES = [entry(1, "Иванов", "Иван", "Иванович", time_of_day="093000"),
           entry(2, "Ёлкина-Щербакова", "Алёна", "Юрьевна", sex="F", birth="19451231",
                 time_of_day="101500", procedure="ЭКГ с нагрузкой №2"),
           entry(3, "Сидоров", "Пётр", date="20261211"),            # another day
           entry(4, "Кузнецов", "Олег", modality="CT")]              # not an ECG
DAY = ENTRIES[:2]


def run(*args, timeout=120):
    r = subprocess.run([CLI, *args], capture_output=True, env=ENV, timeout=timeout)
    return (r.returncode, r.stdout.decode("utf-8", "replace"),
            r.stderr.decode("utf-8", "replace").strip())


def check_day(name, server):
    where = "%s@127.0.0.1:%d" % (server.aet, server.port)
    code, out, err = run("worklist", "--worklist", where, "--date", "2026-12-10", "--json")
    check(code == 0, "%s: the day's worklist is listed (%s)" % (name, err))
    got = json.loads(out) if code == 0 else []
    check(sorted(e["accession"] for e in got) == ["ACC0001", "ACC0002"],
          "%s: only the day's ECG steps: %s" % (name, [e["accession"] for e in got]))
    by = {e["accession"]: e for e in got}
    for want in DAY:
        e = by.get(want["accession"])
        if not e:
            continue
        last, first, middle = want["name"].split("^")
        p = e["patient"]
        check((p["last_name"], p["first_name"], p["patronymic"]) == (last, first, middle),
              "%s: the name arrives whole: %s %s %s" % (name, p["last_name"], p["first_name"],
                                                        p["patronymic"]))
        check(p["patient_id"] == want["patient_id"] and
              "%04d%02d%02d" % (p["birth_year"], p["birth_month"], p["birth_day"]) ==
              want["birth"] and p["sex"] == (1 if want["sex"] == "M" else 0),
              "%s: identifier, date of birth and sex of %s" % (name, want["accession"]))
        check(e["study_uid"] == want["study_uid"] and
              e["procedure"] == {"id": want["procedure_id"], "description": want["procedure"]},
              "%s: the study and the procedure (%s)" % (name, e["procedure"]["description"]))
        t = want["time"]
        check(e["scheduled"] == {"step_id": want["step_id"], "station": "ECG_ROOM1",
                                 "start": "2026-12-10 %s:%s" % (t[:2], t[2:4])},
              "%s: the scheduled step %s" % (name, e["scheduled"]))
    code, out, err = run("worklist", "--worklist", where, "--date", "2026-12-11")
    check(code == 0 and "Сидоров Пётр" in out and "Иванов" not in out,
          "%s: the table of another day names its patient only" % name)


def bound_dicom(data, want):
    d = pydicom.dcmread(BytesIO(data))
    request = d.RequestAttributesSequence[0] if "RequestAttributesSequence" in d else None
    return (d.StudyInstanceUID == want["study_uid"] and d.AccessionNumber == want["accession"]
            and request is not None and request.AccessionNumber == want["accession"]
            and request.RequestedProcedureID == want["procedure_id"]
            and request.ScheduledProcedureStepID == want["step_id"]), d


def check_binding(server, rec):
    where = "%s@127.0.0.1:%d" % (server.aet, server.port)
    want = ENTRIES[0]
    out = os.path.join(TMP, "bound.dcm")
    code, _, err = run("export", rec, "--out", out, "--accession", "ACC0001", "--worklist", where)
    check(code == 0, "export --accession writes the file: " + err)
    ok, d = bound_dicom(open(out, "rb").read(), want) if code == 0 else (False, None)
    check(ok, "the exported object carries the order's study, accession and request")
    check(d is not None and str(d.PatientName) == "Иванов^Иван^Иванович" and
          d.PatientID == "PID0001" and d.PatientBirthDate == "19600315" and d.PatientSex == "M",
          "the worklist's patient is the object's")
    plain = os.path.join(TMP, "plain.dcm")
    code, _, err = run("export", rec, "--out", plain, "--card", CARD)
    p = pydicom.dcmread(plain) if code == 0 else None
    check(p is not None and d is not None and p.StudyInstanceUID != d.StudyInstanceUID and
          p.SOPInstanceUID != d.SOPInstanceUID and p.SeriesInstanceUID != d.SeriesInstanceUID and
          not p.AccessionNumber and "RequestAttributesSequence" not in p,
          "the same record unbound is another study, series and instance, without the order")

    missing = os.path.join(TMP, "missing.dcm")
    code, _, err = run("export", rec, "--out", missing, "--accession", "NOPE", "--worklist",
                       where)
    check(code == 2 and "no ECG ordered under the accession number NOPE" in err and
          not os.path.exists(missing), "an accession the worklist lacks: exit 2, nothing written")
    code, _, err = run("receive", "--device", os.path.join(TMP, "no-such-port"), "--out",
                       os.path.join(TMP, "r.dat"), "--accession", "NOPE", "--worklist", where)
    check(code == 2 and "NOPE" in err, "receive looks the order up before the port: " + err)

    # A store in the PACS: the archive files it under the order's study.
    os.makedirs(os.path.join(TMP, "pacs"))
    with Orthanc(os.path.join(TMP, "pacs")) as pacs:
        code, _, err = run("store", rec, "--no-report", "--pacs", "127.0.0.1:%d" % pacs.dicom_port,
                           "--accession", "ACC0002", "--worklist", where)
        check(code == 0, "store --accession stores the record: " + err)
        instances = pacs.rest("/instances")
        data = pacs.raw("/instances/%s/file" % instances[0]) if len(instances) == 1 else b""
        ok, d = bound_dicom(data, ENTRIES[1]) if data else (False, None)
        check(ok, "the stored object carries the order's study, accession and request")
        check(d is not None and d.PatientName.family_name == "Ёлкина-Щербакова",
              "the stored object names the order's patient")

    # The HL7 result: no system listens, so the message stays in the outbox to be read.
    code, _, err = run("hl7", rec, "--accession", "ACC0002", "--worklist", where, "--to",
                       "127.0.0.1:%d" % free_port(), "--timeout", "2")
    kept = sorted(os.listdir(OUTBOX)) if os.path.isdir(OUTBOX) else []
    message = (open(os.path.join(OUTBOX, kept[-1]), encoding="utf-8", newline="").read()
               if kept else "")
    segments = {s.split("|")[0]: s.split("|") for s in message.split("\r") if s}
    check(segments.get("ORC", [""] * 4)[2:4] == ["ACC0002", "ACC0002"],
          "the HL7 order names the accession (ORC-2/3): %s" % segments.get("ORC"))
    obr = segments.get("OBR", [""] * 5)
    check(obr[2:5] == ["ACC0002", "ACC0002", "RP0002^ЭКГ с нагрузкой №2^L"],
          "OBR-2/3 and OBR-4 name the order and its procedure: %s" % obr[2:5])
    check("Ёлкина-Щербакова^Алёна^Юрьевна" in segments.get("PID", [""] * 6)[5],
          "the result names the order's patient")


def check_faults(rec):
    port = free_port()
    code, _, err = run("worklist", "--worklist", "127.0.0.1:%d" % port)
    check(code == 2 and err.endswith("the worklist server at 127.0.0.1:%d does not answer" % port),
          "a server that is down: " + err)
    out = os.path.join(TMP, "down.dcm")
    code, _, err = run("export", rec, "--out", out, "--accession", "ACC0001", "--worklist",
                       "127.0.0.1:%d" % port)
    check(code == 2 and not os.path.exists(out), "no server, no bound file: " + err)
    with Wlmscpfs(os.path.join(TMP, "refusing"), DAY, refuse=True) as s:
        code, _, err = run("worklist", "--worklist", "%s@127.0.0.1:%d" % (s.aet, s.port))
        check(code == 2 and "the worklist server refused our AE title VELMORA" in err,
              "wlmscpfs refusing us: " + err)
    if have_orthanc_worklists():
        with OrthancWorklist(os.path.join(TMP, "known-only"), DAY, known=["OTHER"]) as s:
            code, _, err = run("worklist", "--worklist", "%s@127.0.0.1:%d" % (s.aet, s.port))
            check(code == 2 and "refused our AE title VELMORA" in err,
                  "Orthanc that knows other callers only: " + err)
            code, _, err = run("worklist", "--worklist", "WRONG@127.0.0.1:%d" % s.port)
            check(code == 2 and "refused" in err, "a wrong called AE title: " + err)


CARD = os.path.join(TMP, "card.txt")


def main():
    if not have_wlmscpfs():
        print("SKIP: DCMTK's wlmscpfs and dump2dcm are not installed")
        return 0
    open(CARD, "w", encoding="utf-8").write(
        "last_name = Иванов\nfirst_name = Иван\nbirth_day = 1\nbirth_month = 2\n"
        "birth_year = 1960\nsex = м\n")
    rec = os.path.join(TMP, "rec.dat")
    open(rec, "wb").write(record())
    servers = [("wlmscpfs ISO_IR 144", lambda f: Wlmscpfs(f, ENTRIES, "ISO_IR 144")),
               ("wlmscpfs ISO_IR 192", lambda f: Wlmscpfs(f, ENTRIES, "ISO_IR 192"))]
    if have_orthanc_worklists():
        servers += [("Orthanc ISO_IR 192", lambda f: OrthancWorklist(f, ENTRIES, "ISO_IR 192",
                                                                     "Utf8")),
                    ("Orthanc ISO_IR 144", lambda f: OrthancWorklist(f, ENTRIES, "ISO_IR 144",
                                                                     "Cyrillic"))]
    else:
        print("SKIP: Orthanc's worklist plugin is not installed; DCMTK's server only")
    for i, (name, make) in enumerate(servers):
        folder = os.path.join(TMP, "server%d" % i)
        os.makedirs(folder)
        with make(folder) as server:
            check_day(name, server)
            if i == 0:
                check_binding(server, rec)
    check_faults(rec)
    return exit_status()


if __name__ == "__main__":
    t = time.monotonic()
    status = main()
    print("%.1f s" % (time.monotonic() - t))
    sys.exit(status)
