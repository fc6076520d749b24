#!/usr/bin/env python3
"""The desktop knows velmora's record files: installed with `cmake --install` into a private
prefix, the shared-mime-info package gives .ecg and .scp their types, the desktop entry (valid)
declares them, GIO names velmora their default application, and opening a record file the way a
file manager does (`gio open`) starts velmora with that file."""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from checks import check, exit_status  # noqa: E402

BUILD, CLI = sys.argv[1], sys.argv[2]
TMP = tempfile.mkdtemp(prefix="velmora-desktop-")
PREFIX = os.path.join(TMP, "usr")
HOME = os.path.join(TMP, "home")
os.makedirs(HOME)
ENV = dict(os.environ, HOME=HOME, XDG_CONFIG_HOME=os.path.join(HOME, ".config"),
           XDG_DATA_HOME=os.path.join(HOME, ".local", "share"),
           XDG_DATA_DIRS=os.path.join(PREFIX, "share"), QT_QPA_PLATFORM="offscreen",
           XDG_RUNTIME_DIR=TMP, PATH=os.path.join(PREFIX, "bin") + ":" + os.environ["PATH"])
ENV.pop("DISPLAY", None)


def run(*args, **kw):
    return subprocess.run(args, capture_output=True, text=True, env=ENV, timeout=120, **kw)


try:
    r = run("cmake", "--install", BUILD, "--prefix", PREFIX)
    check(r.returncode == 0, "cmake --install into a private prefix: " + r.stderr.strip()[-300:])
    desktop = os.path.join(PREFIX, "share", "applications", "velmora.desktop")
    check(os.path.isfile(os.path.join(PREFIX, "share", "mime", "packages", "velmora.xml")),
          "the mime package is installed")
    check(os.path.isfile(os.path.join(PREFIX, "share", "mime", "mime.cache")),
          "the mime database is rebuilt on install")
    if shutil.which("desktop-file-validate"):
        r = run("desktop-file-validate", desktop)
        check(r.returncode == 0 and not r.stdout.strip(),
              "the desktop entry is valid: " + r.stdout.strip())

    # A record to open: the block with its info block, saved as an SCP file and a package.
    record = bytearray(112552)
    record[4:8] = b"\xff\xff\xff\xff"
    record[8:28] = b"2026-12-08 23:18:57\0"
    info = 28 + 98304
    for i, v in enumerate((0x88888888, 1, 10, 50, 72, 4096)):
        record[info + 4 * i:info + 4 * i + 4] = v.to_bytes(4, "little")
    dat = os.path.join(TMP, "record.dat")
    open(dat, "wb").write(record)
    card = os.path.join(TMP, "card.txt")
    open(card, "w", encoding="utf-8").write(
        "doctor_name = Петров\ndoctor_phone = 1\nlast_name = Иванов\nfirst_name = Иван\n"
        "patronymic = Иванович\nbirth_year = 1950\nheight = 180\nweight = 80\n")
    files = {}
    for ext in ("scp", "ecg"):
        files[ext] = os.path.join(TMP, "record." + ext)
        r = run(CLI, "export", dat, "--card", card, "--out", files[ext])
        check(r.returncode == 0, "a ." + ext + " file to open: " + r.stderr.strip())

    for ext, mime in (("scp", "application/x-scp-ecg"), ("ecg", "application/x-velmora-ecg")):
        r = run("gio", "info", "-a", "standard::content-type", files[ext])
        check(mime in r.stdout, "." + ext + " is " + mime + " (" + r.stdout.strip() + ")")
        r = run("gio", "mime", mime)
        check("velmora.desktop" in r.stdout.splitlines()[0] if r.stdout else False,
              "velmora opens " + mime + " (" + r.stdout.strip().replace("\n", " | ") + ")")

    # What a double-click does: GIO starts the default application with the file.
    # (gio may stay until the program it started ends: it is not waited for.)
    started = time.monotonic()
    opener = subprocess.Popen(["gio", "open", files["scp"]], env=ENV, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    found = None
    while found is None and time.monotonic() - started < 30:
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                cmd = open("/proc/%s/cmdline" % pid, "rb").read().split(b"\0")
            except OSError:
                continue
            try:
                exe = os.readlink("/proc/%s/exe" % pid)
            except OSError:
                continue
            if exe == os.path.join(PREFIX, "bin", "velmora") and files["scp"].encode() in cmd:
                found = int(pid)
        time.sleep(0.1)
    check(found is not None, "gio open starts the installed velmora with the record file")
    if found:
        os.kill(found, 9)
    opener.kill()
    opener.wait()
finally:
    shutil.rmtree(TMP, ignore_errors=True)

sys.exit(exit_status())
