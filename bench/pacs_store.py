#!/usr/bin/env python3
"""The C-STORE figures, side by side on one Orthanc on loopback: the median wall time of
`velmora-cli store X.dcm` (the file as it stands) and of `velmora-cli store REC.dat --card CARD
--no-report` (the DICOM object built and stored in one helper run) against DCMTK's `storescu`
sending the same X.dcm. Goals: the .dcm at most 1.3 x storescu, the record at most 1.5 x. Beside
them, without a goal, the record with its printed report (drawn by velmora-cli-full, stored as an
encapsulated PDF in the same association). The runs take turns
(one of each, RUNS times), so that a busy machine or the archive's growth weighs on all alike.
Under them, where velmora's time goes: the helper's C-STORE of the file alone and velmora-cli's
own start (`store --help`).
    bench/pacs_store.py build/src/cli/velmora-cli [RUNS]"""
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
RUNS = int(sys.argv[2]) if len(sys.argv) > 2 else 31
HELPER = os.path.join(os.path.dirname(CLI), os.pardir, "interchange", "velmora-interchange")
STORESCU = shutil.which("storescu")
TMP = tempfile.mkdtemp(prefix="velmora-pacs-bench-")
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"), TMPDIR=TMP)


def timed(command):
    t = time.perf_counter()
    subprocess.run(command, check=True, env=ENV, capture_output=True)
    return (time.perf_counter() - t) * 1000


def medians(commands):
    """The median ms of each command, the commands run in turn RUNS times (after one warm-up)."""
    times = {name: [] for name in commands}
    for name, command in commands.items():
        timed(command)
    for _ in range(RUNS):
        for name, command in commands.items():
            times[name].append(timed(command))
    return {name: statistics.median(t) for name, t in times.items()}


if not STORESCU:
    sys.exit("storescu is not installed (Debian package dcmtk; scripts/install-deps)")
try:
    dat, card, dcm = (os.path.join(TMP, n) for n in ("rec.dat", "card.txt", "rec.dcm"))
    open(dat, "wb").write(record())
    open(card, "w", encoding="utf-8").write(card_text())
    subprocess.run([CLI, "export", dat, "--card", card, "--out", dcm], check=True, env=ENV,
                   capture_output=True)
    with Orthanc(TMP) as pacs:
        port = str(pacs.dicom_port)
        where = "127.0.0.1:" + port
        m = medians({
            "storescu": [STORESCU, "-aet", "VELMORA", "-aec", "ORTHANC", "127.0.0.1", port, dcm],
            "dcm": [CLI, "store", dcm, "--pacs", where],
            "record": [CLI, "store", dat, "--card", card, "--pacs", where, "--no-report"],
            "report": [CLI, "store", dat, "--card", card, "--pacs", where],
            "helper": [HELPER, "store", dcm, "--host", "127.0.0.1", "--port", port, "--called",
                       "ORTHANC", "--calling", "VELMORA", "--timeout", "10"],
            "start": [CLI, "store", "--help"],
        })
    base = m["storescu"]
    print("medians of %d runs each, one Orthanc on loopback" % RUNS)
    print("storescu X.dcm                           %6.1f ms" % base)
    print("velmora-cli store X.dcm                  %6.1f ms  %.2f x storescu (goal <= 1.3)" %
          (m["dcm"], m["dcm"] / base))
    print("velmora-cli store REC.dat --card CARD    %6.1f ms  %.2f x storescu (goal <= 1.5)" %
          (m["record"], m["record"] / base))
    print("  ... with the printed report beside it  %6.1f ms" % m["report"])
    print("  the helper's C-STORE of X.dcm alone    %6.1f ms" % m["helper"])
    print("  velmora-cli's own start (store --help) %6.1f ms" % m["start"])
finally:
    shutil.rmtree(TMP, ignore_errors=True)
