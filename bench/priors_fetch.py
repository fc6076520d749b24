#!/usr/bin/env python3
"""Fetching a patient's earlier ECGs from the PACS into the archive: Orthanc on loopback holds 20
DICOM ECGs of ours (one study each, made by velmora-cli export); the figure is the wall time of
`velmora-cli pacs get` of all 20 studies into a fresh archive (one helper run: the queries, the
C-GETs, then the archive's import of the 20 files, measured as it imports them), the median of
RUNS runs. Goal: at most 3 s. Beside it, `pacs find` of the patient and a second get of the same
studies (nothing added).
    bench/priors_fetch.py build/src/cli/velmora-cli [RUNS]"""
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, os.pardir, "tests", "support"))
from orthanc_server import Orthanc  # noqa: E402
from record_block import record  # noqa: E402

CLI = sys.argv[1]
RUNS = int(sys.argv[2]) if len(sys.argv) > 2 else 5
COUNT = 20
TMP = tempfile.mkdtemp(prefix="velmora-priors-bench-")
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"), TMPDIR=TMP)
CARD = "last_name = Иванов\nfirst_name = Иван\nbirth_year = 1950\nbirth_month = 5\n" \
       "birth_day = 4\nsex = м\npatient_id = BENCH-1\n"


def run(*args):
    t = time.monotonic()
    r = subprocess.run([CLI, *args], capture_output=True, env=ENV, timeout=300)
    if r.returncode != 0:
        raise SystemExit("%s failed: %s" % (args[:2], r.stderr.decode()))
    return time.monotonic() - t, r


def main():
    card = os.path.join(TMP, "card.txt")
    open(card, "w", encoding="utf-8").write(CARD)
    with Orthanc(TMP, {"DicomAlwaysAllowFind": True, "DicomAlwaysAllowGet": True}) as pacs:
        for i in range(COUNT):
            dat, dcm = os.path.join(TMP, "r%d.dat" % i), os.path.join(TMP, "r%d.dcm" % i)
            open(dat, "wb").write(record(date=b"20%02d-01-15 10:00:00" % (i + 1)))
            run("export", dat, "--card", card, "--out", dcm)
            pacs.post("/instances", open(dcm, "rb").read())
        ini = os.path.join(TMP, "velmora.ini")
        open(ini, "w", newline="").write(
            "[PACS]\r\nm_szPacsHost=127.0.0.1\r\nm_nPacsPort=%d\r\nm_szPacsAETitle=ORTHANC\r\n"
            "m_szOwnAETitle=VELMORA\r\nm_nPacsTimeout=10\r\n" % pacs.dicom_port)
        took, r = run("pacs", "find", "--id", "BENCH-1", "--json", "--config", ini)
        uids = [json.loads(line)["study_uid"] for line in r.stdout.decode().splitlines()]
        if len(uids) != COUNT:
            raise SystemExit("find gave %d studies, not %d" % (len(uids), COUNT))
        print("pacs find of %d studies:            %.2f s" % (COUNT, took))
        fetch, again = [], []
        for n in range(RUNS):
            archive = os.path.join(TMP, "archive-%d.sqlite" % n)
            took, r = run("pacs", "get", *uids, "--config", ini, "--archive", archive)
            if b"%d imported" % COUNT not in r.stderr:
                raise SystemExit("not all imported: " + r.stderr.decode())
            fetch.append(took)
            again.append(run("pacs", "get", *uids, "--config", ini, "--archive", archive)[0])
        median = statistics.median(fetch)
        print("pacs get of %d ECGs into the archive: %.2f s (median of %d; goal <= 3 s) %s" %
              (COUNT, median, RUNS, "ok" if median <= 3 else "OVER"))
        print("the same again (nothing added):      %.2f s" % statistics.median(again))


try:
    main()
finally:
    shutil.rmtree(TMP, ignore_errors=True)
