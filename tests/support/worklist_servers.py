"""Real modality worklist servers for the script tests and the benchmark, on loopback with private
folders and free ports: DCMTK's wlmscpfs and Orthanc with its worklist plugin (Debian's
packages). The worklist files are made with DCMTK's dump2dcm from text written here, in the
character set the server is to answer in (ISO_IR 144 Cyrillic or ISO_IR 192 UTF-8).
    with Wlmscpfs(folder, entries, charset="ISO_IR 144") as server: server.port, server.aet"""
import os
import shutil
import socket
import subprocess
import time

from orthanc_server import Orthanc, free_port

ORTHANC_PLUGIN = "/usr/share/orthanc/plugins/libModalityWorklists.so"
CODECS = {"ISO_IR 144": "iso8859_5", "ISO_IR 192": "utf-8", "": "ascii"}


def entry(n, last, first="", middle="", date="20261210", time_of_day="093000", sex="M",
          birth="19600315", procedure="ЭКГ покоя", modality="ECG"):
    """One scheduled step (the keys the dump is made of)."""
    return {"accession": "ACC%04d" % n, "patient_id": "PID%04d" % n,
            "name": "^".join([last, first, middle]).rstrip("^"), "birth": birth, "sex": sex,
            "study_uid": "1.2.826.0.1.3680043.10.1234.%d" % n, "procedure_id": "RP%04d" % n,
            "procedure": procedure, "step_id": "SPS%04d" % n, "date": date, "time": time_of_day,
            "modality": modality, "referring": "Петров^Пётр"}


def dump_text(e, charset):
    lines = ["(0008,0005) CS [%s]" % charset] if charset else []
    lines += [
        "(0008,0050) SH [%s]" % e["accession"],
        "(0008,0090) PN [%s]" % e["referring"],
        "(0010,0010) PN [%s]" % e["name"],
        "(0010,0020) LO [%s]" % e["patient_id"],
        "(0010,0030) DA [%s]" % e["birth"],
        "(0010,0040) CS [%s]" % e["sex"],
        "(0020,000d) UI [%s]" % e["study_uid"],
        "(0032,1060) LO [%s]" % e["procedure"],
        "(0040,0100) SQ (Sequence with undefined length)",
        "(fffe,e000) na (Item with undefined length)",
        "(0008,0060) CS [%s]" % e["modality"],
        "(0040,0001) AE [ECG_ROOM1]",
        "(0040,0002) DA [%s]" % e["date"],
        "(0040,0003) TM [%s]" % e["time"],
        "(0040,0006) PN []",
        "(0040,0007) LO [%s]" % e["procedure"],
        "(0040,0009) SH [%s]" % e["step_id"],
        "(fffe,e00d) na (ItemDelimitationItem)",
        "(fffe,e0dd) na (SequenceDelimitationItem)",
        "(0040,1001) SH [%s]" % e["procedure_id"],
        "(0040,1003) SH [ROUTINE]",
    ]
    return ("\n".join(lines) + "\n").encode(CODECS[charset])


def write_worklist(folder, entries, charset):
    """The entries as worklist files (.wl) in folder, through dump2dcm."""
    os.makedirs(folder, exist_ok=True)
    dumps = os.path.join(folder, "dumps")
    os.makedirs(dumps, exist_ok=True)
    for i, e in enumerate(entries):
        dump = os.path.join(dumps, "%05d.dump" % i)
        open(dump, "wb").write(dump_text(e, charset))
        subprocess.run(["dump2dcm", "-q", dump, os.path.join(folder, "%05d.wl" % i)], check=True)
    shutil.rmtree(dumps)


def accepts(port):
    with socket.socket() as s:
        s.settimeout(1)
        return s.connect_ex(("127.0.0.1", port)) == 0


class Wlmscpfs:
    """DCMTK's worklist server over files: its AE title's folder under a private one; `refuse`
    makes it refuse every association."""

    def __init__(self, folder, entries, charset="ISO_IR 144", aet="WLMSCP", refuse=False):
        self.folder, self.aet, self.port = folder, aet, free_port()
        self.process = None
        base = os.path.join(folder, "wlmscpfs")
        write_worklist(os.path.join(base, aet), entries, charset)
        open(os.path.join(base, aet, "lockfile"), "w").close()
        self.args = ["wlmscpfs", "-dfp", base, "-csk", "-dfr"] + (["--refuse"] if refuse else [])

    def __enter__(self):
        log = os.path.join(self.folder, "wlmscpfs.log")
        self.process = subprocess.Popen(self.args + [str(self.port)], stdout=subprocess.DEVNULL,
                                        stderr=open(log, "w"))
        deadline = time.monotonic() + 30
        while not accepts(self.port):
            if time.monotonic() > deadline or self.process.poll() is not None:
                self.__exit__()
                raise SystemExit("wlmscpfs did not start: " + open(log).read()[-2000:])
            time.sleep(0.05)
        return self

    def __exit__(self, *exc):
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()


class OrthancWorklist(Orthanc):
    """Orthanc with its worklist plugin over the entries' files. `encoding` is Orthanc's
    DefaultEncoding, the character set it answers in ("Utf8": ISO_IR 192, "Cyrillic":
    ISO_IR 144); `known` lists the only callers it takes (AE titles), None: any."""

    def __init__(self, folder, entries, charset="ISO_IR 192", encoding="Utf8", known=None):
        super().__init__(folder)
        self.aet = "ORTHANC"
        worklists = os.path.join(folder, "orthanc-worklists")
        write_worklist(worklists, entries, charset)
        self.extra = {"Plugins": [ORTHANC_PLUGIN], "DefaultEncoding": encoding,
                      "Worklists": {"Enable": True, "Database": worklists},
                      "DicomAlwaysAllowFindWorklist": True, "DicomAlwaysAllowFind": True}
        if known is not None:
            self.extra.update({"DicomAlwaysAllowEcho": False, "DicomAlwaysAllowStore": False,
                               "DicomAlwaysAllowFind": False, "DicomAlwaysAllowFindWorklist": False,
                               "DicomAlwaysAllowGet": False, "DicomAlwaysAllowMove": False,
                               "DicomModalities": {a.lower(): [a, "127.0.0.1", 1]
                                                   for a in known}})

    @property
    def port(self):
        return self.dicom_port


def have_orthanc_worklists():
    return os.path.exists(ORTHANC_PLUGIN) and (shutil.which("Orthanc") or
                                               os.path.exists("/usr/sbin/Orthanc"))


def have_wlmscpfs():
    return bool(shutil.which("wlmscpfs") and shutil.which("dump2dcm"))



