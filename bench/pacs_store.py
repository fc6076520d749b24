#!/usr/bin/env python3
"""The C-STORE figure: `velmora-cli store` of a twelve-lead record to an Orthanc on loopback, the
whole process (open the record, write the DICOM object through the interchange helper, associate,
store, release), the median of 21 runs in ms (goal: at most 200 ms); and the helper's C-STORE of
an object already written, alone.
    bench/pacs_store.py build/src/cli/velmora-cli"""
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
from record_block import card_text, record  # noqa: E402

CLI = sys.argv[1]
HELPER = os.path.join(os.path.dirname(CLI), os.pardir, "interchange", "velmora-interchange")
TMP = tempfile.mkdtemp(prefix="velmora-pacs-bench-")
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"), TMPDIR=TMP)


def median_ms(command):
    times = []
    for _ in range(21):
        t = time.perf_counter()
        subprocess.run(command, check=True, env=ENV, capture_output=True)
        times.append((time.perf_counter() - t) * 1000)
    return statistics.median(times)


try:
    dat, card, dcm = (os.path.join(TMP, n) for n in ("rec.dat", "card.txt", "rec.dcm"))
    open(dat, "wb").write(record())
    open(card, "w", encoding="utf-8").write(card_text())
    subprocess.run([CLI, "export", dat, "--card", card, "--out", dcm], check=True, env=ENV,
                   capture_output=True)
    with Orthanc(TMP) as pacs:
        where = "127.0.0.1:%d" % pacs.dicom_port
        whole = median_ms([CLI, "store", dat, "--card", card, "--pacs", where])
        alone = median_ms([HELPER, "store", dcm, "--host", "127.0.0.1", "--port",
                           str(pacs.dicom_port), "--called", "ORTHANC", "--calling", "VELMORA",
                           "--timeout", "10"])
    print("velmora-cli store (whole process): %.1f ms median of 21 (goal <= 200)" % whole)
    print("helper C-STORE of a written object: %.1f ms median of 21" % alone)
finally:
    shutil.rmtree(TMP, ignore_errors=True)
