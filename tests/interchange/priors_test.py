#!/usr/bin/env python3
"""velmora-cli pacs find / get against a real PACS: Orthanc on loopback with private folders,
holding DICOM ECGs of ours (velmora-cli export) for two patients, one of them written in another
character set (ISO_IR 144). find lists only that patient's studies, newest first, with their
dates, accession numbers and names in UTF-8; get takes a study into a fresh archive, which lists
it and finds it as the record before a newer one (compare --archive-id); a second get adds
nothing and says so. The faults: an unknown study, a PACS that is down, one that stalls in the
middle of the transfer (its time-out, and the helper gone), one that refuses C-GET."""
import json
import os
import shutil
import socket
import stat
import subprocess
import sys
import tempfile
import threading
import time

import pydicom

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from checks import check, exit_status  # noqa: E402
from orthanc_server import Orthanc, free_port  # noqa: E402
from record_block import record  # noqa: E402

CLI, HELPER = sys.argv[1], sys.argv[2]
SANITIZED = bool(os.environ.get("VELMORA_SANITIZED"))
TMP = tempfile.mkdtemp(prefix="velmora-priors-")
os.chmod(TMP, 0o700)
PIDS = os.path.join(TMP, "helper-pids")
WRAPPER = os.path.join(TMP, "helper")
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"), TMPDIR=TMP,
           LC_ALL="C.UTF-8", VELMORA_INTERCHANGE=WRAPPER)
# Its answers in ISO 8859-5 (not UTF-8), re-coded by the helper.
ALLOW = {"DicomAlwaysAllowFind": True, "DicomAlwaysAllowGet": True, "DefaultEncoding": "Cyrillic"}

IVANOV = "last_name = Иванов\nfirst_name = Иван\npatronymic = Петрович\nbirth_day = 4\n" \
         "birth_month = 5\nbirth_year = 1950\nsex = м\npatient_id = PA-1001\n"
SIDOROVA = "last_name = Сидорова\nfirst_name = Анна\nbirth_day = 9\nbirth_month = 11\n" \
           "birth_year = 1961\nsex = ж\npatient_id = PB-2002\n"


def run(*args, timeout=120):
    """Exit code, stdout, stderr, seconds taken."""
    t = time.monotonic()
    r = subprocess.run([CLI, *args], capture_output=True, env=ENV, timeout=timeout)
    return (r.returncode, r.stdout.decode("utf-8", "replace"),
            r.stderr.decode("utf-8", "replace").strip(), time.monotonic() - t)


def ecg(name, date, card, accession="", charset=None):
    """A DICOM ECG of ours for the card, recorded at date, with the accession number (and
    re-written in another character set): its path and Study Instance UID."""
    dat, card_file, dcm = (os.path.join(TMP, name + ext) for ext in (".dat", ".txt", ".dcm"))
    open(dat, "wb").write(record(date=date.encode()))
    open(card_file, "w", encoding="utf-8").write(card)
    code, _, err, _ = run("export", dat, "--card", card_file, "--out", dcm)
    check(code == 0, "export %s: %s" % (name, err))
    d = pydicom.dcmread(dcm)
    d.AccessionNumber = accession
    if charset:
        d.SpecificCharacterSet = charset
    d.save_as(dcm)
    return dcm, str(d.StudyInstanceUID)


def upload(pacs, path):
    pacs.post("/instances", open(path, "rb").read())


def find(ini, patient, *more):
    code, out, err, _ = run("pacs", "find", "--id", patient, "--json", "--config", ini, *more)
    check(code == 0, "find %s: %s" % (patient, err))
    return [json.loads(line) for line in out.splitlines() if line.strip()]


def records(archive):
    if not os.path.exists(archive):
        return []
    code, out, err, _ = run("archive", "find", "--json", "--archive", archive)
    check(code == 0, "archive find: %s" % err)
    return [json.loads(line) for line in out.splitlines() if line.strip()]


def helpers_alive():
    """The helper runs started so far that still live."""
    alive = []
    for pid in open(PIDS).read().split() if os.path.exists(PIDS) else []:
        try:
            state = open("/proc/%s/stat" % pid).read().split(")")[-1].split()[0]
        except OSError:
            continue
        if state != "Z":
            alive.append(pid)
    return alive


def settings(port, timeout=2):
    ini = os.path.join(TMP, "velmora-%d.ini" % port)
    open(ini, "w", newline="").write(
        "[PACS]\r\nm_szPacsHost=127.0.0.1\r\nm_nPacsPort=%d\r\nm_szPacsAETitle=ORTHANC\r\n"
        "m_szOwnAETitle=VELMORA\r\nm_nPacsTimeout=%d\r\n" % (port, timeout))
    return ini


class StallingProxy:
    """Forwards to the PACS, then stops passing its answers on after `after` bytes (the middle of
    the first object sent back), keeping both connections open: a PACS stalled mid-transfer."""

    def __init__(self, port, after):
        self.port, self.after = port, after
        self.server = socket.socket()
        self.server.bind(("127.0.0.1", 0))
        self.server.listen(4)
        self.held = []
        threading.Thread(target=self.serve, daemon=True).start()

    def serve(self):
        while True:
            try:
                client, _ = self.server.accept()
            except OSError:
                return
            upstream = socket.create_connection(("127.0.0.1", self.port))
            self.held += [client, upstream]
            threading.Thread(target=self.pipe, args=(client, upstream, None), daemon=True).start()
            threading.Thread(target=self.pipe, args=(upstream, client, self.after),
                             daemon=True).start()

    @staticmethod
    def pipe(source, sink, limit):
        passed = 0
        while True:
            try:
                data = source.recv(65536)
            except OSError:
                return
            if not data:
                return
            if limit is not None and passed + len(data) > limit:
                sink.sendall(data[:limit - passed])
                threading.Event().wait()  # stalled for good; the test's end takes it down
            sink.sendall(data)
            passed += len(data)


def main(pacs):
    ini = settings(pacs.dicom_port)
    studies = {}
    for name, date, card, accession, charset in (
            ("a2024", "2024-03-01 10:00:00", IVANOV, "ACC-2024", None),
            ("a2025", "2025-06-15 09:30:00", IVANOV, "ACC-2025", None),
            ("b2023", "2023-01-20 14:00:00", SIDOROVA, "ACC-B1", "ISO_IR 144"),
            ("b2026", "2026-02-02 08:00:00", SIDOROVA, "ACC-B2", None)):
        path, uid = ecg(name, date, card, accession, charset)
        studies[name] = uid
        upload(pacs, path)
    # The newer record of Иванов's that the window has here, not in the PACS.
    newer, _ = ecg("a2026", "2026-12-08 23:18:57", IVANOV)
    raw = open(os.path.join(TMP, "b2023.dcm"), "rb").read()
    check("Сидорова".encode("iso8859_5") in raw, "one object is written in ISO_IR 144")

    found = find(ini, "PA-1001")
    check([s["study_uid"] for s in found] == [studies["a2025"], studies["a2024"]],
          "find: only the patient's two studies, the newest first (%s)" % found)
    check([(s["date"], s["time"], s["accession"]) for s in found] ==
          [("2025-06-15", "09:30:00", "ACC-2025"), ("2024-03-01", "10:00:00", "ACC-2024")],
          "find: their dates, times and accession numbers")
    p = found[0]["patient"] if found else {}
    check(p.get("last_name") == "Иванов" and p.get("first_name") == "Иван" and
          p.get("patronymic") == "Петрович" and p.get("birth_year") == 1950 and
          p.get("birth_month") == 5 and p.get("birth_day") == 4 and p.get("sex") == 1 and
          p.get("patient_id") == "PA-1001", "find: the patient as a card (%s)" % p)
    check(all(s["ecg_count"] == 1 for s in found), "find: one ECG object in each study")
    other = find(ini, "PB-2002")
    check(sorted(s["study_uid"] for s in other) == sorted([studies["b2023"], studies["b2026"]]) and
          all(s["patient"]["last_name"] == "Сидорова" and s["patient"]["sex"] == 0 and
              s["name"] == "Сидорова Анна" for s in other),
          "find: the other patient's name in UTF-8 whatever set it was written in (%s)" %
          [s["name"] for s in other])
    check(find(ini, "PX-404") == [], "find: a patient without ECGs has none")
    code, out, err, _ = run("pacs", "find", "--id", "PA-1001", "--config", ini)
    check(code == 0 and studies["a2024"] in out and "2025-06-15 09:30:00" in out and
          "Иванов Иван Петрович" in out and "ACC-2025" in out, "find: the table (%s)" % out)

    archive = os.path.join(TMP, "archive.sqlite")
    code, _, err, _ = run("pacs", "get", studies["a2024"], "--config", ini, "--archive", archive)
    check(code == 0 and "1 imported" in err, "get: the study into a fresh archive: %s" % err)
    listed = records(archive)
    check(len(listed) == 1 and listed[0]["date"] == "2024-03-01 10:00:00" and
          listed[0]["type"] == ".dcm" and listed[0]["patient"]["last_name"] == "Иванов" and
          listed[0]["source"].endswith(".dcm"), "get: the archive lists it (%s)" % listed)
    code, _, err, _ = run("archive", "import", newer, "--archive", archive)
    check(code == 0, "the newer record imported: %s" % err)
    ids = {r["date"]: r["id"] for r in records(archive)}
    code, out, err, _ = run("compare", "--archive-id", str(ids.get("2026-12-08 23:18:57", 0)),
                            "--archive", archive, "--json")
    check(code == 0 and json.loads(out or "{}").get("previous_id") == ids.get(
        "2024-03-01 10:00:00"), "compare finds the fetched ECG as the previous record: %s" % err)

    code, _, err, _ = run("pacs", "get", studies["a2024"], "--config", ini, "--archive", archive)
    check(code == 0 and "already in the archive" in err and "0 imported" in err and
          len(records(archive)) == 2, "a second get adds nothing and says so: %s" % err)
    code, _, err, _ = run("pacs", "get", studies["a2025"], "--config", ini, "--archive", archive)
    code2, out, _, _ = run("compare", "--archive-id", str(ids.get("2026-12-08 23:18:57", 0)),
                           "--archive", archive, "--json")
    latest = {r["date"]: r["id"] for r in records(archive)}.get("2025-06-15 09:30:00")
    check(code == 0 and code2 == 0 and latest and json.loads(out).get("previous_id") == latest,
          "a later prior fetched becomes the previous record: %s" % err)

    before = len(records(archive))
    code, _, err, _ = run("pacs", "get", "1.2.826.0.1.3680043.99.404", "--config", ini,
                          "--archive", archive)
    check(code == 2 and "1.2.826.0.1.3680043.99.404" in err and "no ECG" in err,
          "an unknown study: %s" % err)
    down = free_port()
    code, _, err, took = run("pacs", "get", studies["a2025"], "--config", ini, "--pacs",
                             "127.0.0.1:%d" % down, "--archive", archive)
    check(code == 2 and "association" in err, "a PACS that is down: %s" % err)
    code, _, err, _ = run("pacs", "find", "--id", "PA-1001", "--config", ini, "--pacs",
                          "127.0.0.1:%d" % down)
    check(code == 2 and "association" in err, "find, a PACS that is down: %s" % err)

    # The association and the queries pass; the object stops after its first kilobytes.
    proxy = StallingProxy(pacs.dicom_port, 6000)
    fresh = os.path.join(TMP, "stalled.sqlite")
    open(PIDS, "w").close()
    code, _, err, took = run("pacs", "get", studies["a2025"], "--config", ini, "--pacs",
                             "127.0.0.1:%d" % proxy.server.getsockname()[1], "--archive", fresh)
    check(code == 2 and "stalled" in err,
          "a PACS that stalls mid-transfer fails: %s" % err)
    check(SANITIZED or took < 20, "... within its time-out (2 s a wait; %.1f s)" % took)
    check(not helpers_alive(), "... and the helper is gone (%s)" % helpers_alive())
    check(records(fresh) == [], "... and nothing reaches the archive")
    check(len(records(archive)) == before, "the faults added nothing")

    # Matching keys the PACS would widen: another patient's studies must never come back.
    code, out, err, _ = run("pacs", "find", "--id", "P*", "--json", "--config", ini)
    check(code == 2 and out == "" and "wildcard" in err, "an ID with a wildcard: %s" % err)
    code, _, err, _ = run("pacs", "get", studies["a2024"] + "\\" + studies["b2023"], "--config",
                          ini, "--archive", archive)
    check(code == 2 and "not a study UID" in err and len(records(archive)) == before,
          "a UID list smuggled in as one study: %s" % err)
    code, _, err, _ = run("pacs", "get", "--config", ini)
    check(code == 1, "get without a study is bad usage: %s" % err)
    code, _, err, _ = run("pacs", "find", "--config", ini)
    check(code == 1, "find without --id is bad usage: %s" % err)


def refusing():
    """A PACS that answers queries but refuses to send (C-GET not allowed for us)."""
    folder = os.path.join(TMP, "refusing")
    os.mkdir(folder)
    with Orthanc(folder, {"DicomAlwaysAllowFind": True, "DicomAlwaysAllowGet": False}) as pacs:
        ini = settings(pacs.dicom_port)
        path, uid = ecg("r2024", "2024-04-04 11:00:00", IVANOV)
        upload(pacs, path)
        archive = os.path.join(TMP, "refused.sqlite")
        code, _, err, _ = run("pacs", "get", uid, "--config", ini, "--archive", archive)
        check(code == 2 and "refused" in err, "a PACS that refuses C-GET says so: %s" % err)
        check(records(archive) == [], "... and nothing is imported")


try:
    open(WRAPPER, "w").write('#!/bin/sh\necho $$ >> "%s"\nexec "%s" "$@"\n' % (PIDS, HELPER))
    os.chmod(WRAPPER, stat.S_IRWXU)
    with Orthanc(TMP, ALLOW) as server:
        main(server)
    refusing()
finally:
    shutil.rmtree(TMP, ignore_errors=True)
sys.exit(exit_status())
