#!/usr/bin/env python3
"""velmora-cli store against a real PACS: Orthanc, started here on loopback with a private
configuration and storage folder. A record stored by C-STORE is found through Orthanc's REST API
(modality ECG, the patient's name, 4096 samples); a C-ECHO answers. The faults: a wrong AE title
(the association is rejected), a PACS that is down, and one that accepts the connection and then
says nothing (our time-out): each exit code 2 with the reason, and nothing stored."""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from checks import check, exit_status  # noqa: E402
from orthanc_server import Orthanc, free_port  # noqa: E402
from record_block import card_text, record  # noqa: E402

CLI = sys.argv[1]
TMP = tempfile.mkdtemp(prefix="velmora-pacs-")
os.chmod(TMP, 0o700)
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"), TMPDIR=TMP,
           LC_ALL="C.UTF-8")


def run(*args, timeout=60):
    t = time.monotonic()
    r = subprocess.run([CLI, *args], capture_output=True, env=ENV, timeout=timeout)
    return r.returncode, r.stderr.decode("utf-8", "replace").strip(), time.monotonic() - t


def main(pacs):
    DICOM = pacs.dicom_port
    rest = pacs.rest

    def instances():
        return rest("/instances")

    dat = os.path.join(TMP, "rec.dat")
    open(dat, "wb").write(record())
    card = os.path.join(TMP, "card.txt")
    open(card, "w", encoding="utf-8").write(card_text())
    # The PACS of the settings file, as the window keeps it.
    ini = os.path.join(TMP, "velmora.ini")
    open(ini, "w", newline="").write(
        "[PACS]\r\nm_szPacsHost=127.0.0.1\r\nm_nPacsPort=%d\r\nm_szPacsAETitle=ORTHANC\r\n"
        "m_szOwnAETitle=VELMORA\r\nm_nPacsTimeout=2\r\n" % DICOM)

    code, err, _ = run("store", "--echo", "--config", ini)
    check(code == 0 and "answers" in err, "C-ECHO answers: %s" % err)

    code, err, took = run("store", dat, "--card", card, "--config", ini)
    check(code == 0 and "stored" in err, "C-STORE: %s" % err)
    ids = instances()
    check(len(ids) == 1, "one instance in the PACS (%d)" % len(ids))
    if ids:
        tags = rest("/instances/%s/simplified-tags" % ids[0])
        series = rest("/instances/%s/series" % ids[0])
        check(series["MainDicomTags"].get("Modality") == "ECG", "modality ECG")
        check(tags.get("PatientName") == "Иванов^Иван^Иванович",
              "the patient's name (%s)" % tags.get("PatientName"))
        wave = tags.get("WaveformSequence", [{}])[0]
        check(str(wave.get("NumberOfWaveformSamples")) == "4096" and
              str(wave.get("NumberOfWaveformChannels")) == "12", "12 x 4096 samples")

    # Sent again: the same instance, not a second one.
    run("store", dat, "--card", card, "--config", ini)
    check(len(instances()) == 1, "sent twice, kept once")

    code, err, _ = run("store", dat, "--card", card, "--config", ini, "--aet", "NOTORTHANC")
    check(code == 2 and "Rejected" in err, "a wrong AE title is refused: %s" % err)

    down = free_port()
    code, err, _ = run("store", dat, "--card", card, "--config", ini,
                       "--pacs", "127.0.0.1:%d" % down)
    check(code == 2 and "refused" in err.lower(), "a PACS that is down: %s" % err)

    # A peer that accepts and never answers: our 2 s time-out, not a hang.
    stall = socket.socket()
    stall.bind(("127.0.0.1", 0))
    stall.listen(4)
    held = []
    threading.Thread(target=lambda: [held.append(stall.accept()) for _ in range(4)],
                     daemon=True).start()
    code, err, took = run("store", dat, "--card", card, "--config", ini,
                          "--pacs", "127.0.0.1:%d" % stall.getsockname()[1], timeout=60)
    check(code == 2 and took < 15, "a PACS that stalls ends in our time-out (%.1f s): %s" %
          (took, err))
    check(len(instances()) == 1, "nothing more stored by the faults")

    code, err, _ = run("store", dat, "--pacs", "127.0.0.1:%d" % DICOM, "--aet", "BAD\\TITLE")
    check(code == 1, "a bad AE title is bad usage: %s" % err)


try:
    with Orthanc(TMP) as server:
        main(server)
finally:
    shutil.rmtree(TMP, ignore_errors=True)
sys.exit(exit_status())
