"""A real PACS for the script tests and benchmarks: Orthanc (Debian's package) on loopback, with
a private configuration and storage folder inside `folder`, its DICOM and HTTP ports free ones.
    with Orthanc(folder) as pacs: pacs.dicom_port, pacs.rest("/instances"), pacs.raw(".../file")"""
import json
import os
import shutil
import socket
import subprocess
import time
import urllib.request


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Orthanc:
    def __init__(self, folder, extra=None):
        """extra: more configuration keys (the query and retrieve permissions)."""
        self.folder = folder
        self.extra = extra or {}
        self.dicom_port, self.http_port = free_port(), free_port()
        self.process = None

    def __enter__(self):
        program = shutil.which("Orthanc") or "/usr/sbin/Orthanc"
        config = os.path.join(self.folder, "orthanc.json")
        db = os.path.join(self.folder, "orthanc-db")
        json.dump(dict({"Name": "velmora-test", "StorageDirectory": db, "IndexDirectory": db,
                        "DicomAet": "ORTHANC", "DicomPort": self.dicom_port,
                        "HttpPort": self.http_port, "RemoteAccessAllowed": False,
                        "AuthenticationEnabled": False, "DicomCheckCalledAet": True,
                        "Plugins": [], "DicomAlwaysAllowStore": True,
                        "DicomAlwaysAllowEcho": True}, **self.extra),
                  open(config, "w"))
        log = os.path.join(self.folder, "orthanc.log")
        self.process = subprocess.Popen([program, config], stdout=subprocess.DEVNULL,
                                        stderr=open(log, "w"))
        deadline = time.monotonic() + 30
        while True:
            try:
                self.rest("/system")
                return self
            except OSError:
                if time.monotonic() > deadline or self.process.poll() is not None:
                    self.__exit__()
                    raise SystemExit("Orthanc did not start: " + open(log).read()[-2000:])
                time.sleep(0.1)

    def __exit__(self, *exc):
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()

    def raw(self, path):
        with urllib.request.urlopen("http://127.0.0.1:%d%s" % (self.http_port, path),
                                    timeout=10) as r:
            return r.read()

    def post(self, path, data):
        request = urllib.request.Request("http://127.0.0.1:%d%s" % (self.http_port, path),
                                         data=data, method="POST")
        with urllib.request.urlopen(request, timeout=30) as r:
            return json.loads(r.read().decode())

    def rest(self, path):
        return json.loads(self.raw(path).decode())
