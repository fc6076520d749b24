#!/usr/bin/env python3
"""velmora-cli export and receive writing the export package: the archive read back by unzip and
by Python's zipfile, the card file, and faults that must leave an old file and no temporary
file behind."""
import os
import random
import resource
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from checks import check, exit_status  # noqa: E402

CLI = sys.argv[1]
DATA = sys.argv[2]
TMP = tempfile.mkdtemp(prefix="velmora-export-")
PRIVATE_TMP = os.path.join(TMP, "tmp")  # the CLI's temporary folder: must stay empty
os.mkdir(PRIVATE_TMP)
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"), TMPDIR=PRIVATE_TMP)
RECORD_SIZE = 112552
SOURCE, NOTES = 111992, 112247

CARD = """# the card of the examples
doctor_name = Петров П.П.
doctor_phone = 123
last_name = Иванов
first_name = Иван
birth_year = 1950
sex = м
weight = 80
height = 180
"""
EXPECTED_SOURCE = "Петров П.П., тел. 123".encode("cp1251")
EXPECTED_NOTES = "Иванов, 1950г.р.,м,80кг,180см".encode("cp1251")


def path(*names):
    return os.path.join(TMP, *names)


def write(name, data):
    with open(name, "wb") as f:
        f.write(data)
    return name


def read(name):
    with open(name, "rb") as f:
        return f.read()


def run(*args, limit=None, seconds=90):
    def limited():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)  # a write past the limit fails with EFBIG
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))

    p = subprocess.run([CLI, *args], capture_output=True, text=True, env=ENV, timeout=seconds,
                       preexec_fn=limited if limit else None)
    return p.returncode, p.stderr


def make_record():
    rec = bytearray(RECORD_SIZE)
    struct.pack_into("<II", rec, 0, 0, 0xFFFFFFFF)
    rec[8:27] = b"2012-05-04 14:05:00"
    x = 7
    for i in range(28, 28 + 98304, 2):  # samples that do not compress
        x = (x * 1103515245 + 12345) & 0x7FFFFFFF
        rec[i:i + 2] = struct.pack("<h", (x >> 8) % 4096 - 2048)
    struct.pack_into("<6I", rec, 98332, 0x88888888, 1, 10, 25, 75, 4096)
    struct.pack_into("<IQ", rec, 111980, 5752, 0x0000000712345678)
    rec[SOURCE:SOURCE + 10] = b"{%Source%}"
    rec[NOTES:NOTES + 9] = b"{%Notes%}"
    return bytes(rec)


def field(text, size=255):
    return text + b"\0" * (size - len(text))


def leftovers(folder):
    return [n for n in os.listdir(folder) if n.startswith(".velmora-")]


def check_package(ecg, record, what, started=None):
    """The package read back: unzip's own test, then zipfile entry by entry."""
    t = subprocess.run(["unzip", "-t", ecg], capture_output=True, text=True)
    check(t.returncode == 0 and "No errors detected" in t.stdout, what + ": unzip -t passes: "
          + t.stdout[-200:] + t.stderr[-200:])
    try:
        z = zipfile.ZipFile(ecg)
    except zipfile.BadZipFile as e:
        check(False, what + ": zipfile opens it: %s" % e)
        return None
    infos = z.infolist()
    date = record[8:28].split(b"\0")[0].decode("ascii")
    data_name = "%d_%s.DAT" % (struct.unpack_from("<i", record, 0)[0], date.replace(":", "x"))
    check([i.filename for i in infos] == ["structure.txt", "patient.ini", data_name],
          what + ": three entries in order: %s" % [i.filename for i in infos])
    check([i.file_size for i in infos] == [780, 728, RECORD_SIZE], what + ": sizes 780/728/112552")
    check(all("/" not in i.filename and "\\" not in i.filename for i in infos),
          what + ": no folders in entry names")
    check(all(i.compress_type == zipfile.ZIP_DEFLATED for i in infos), what + ": deflated")
    check(all(i.external_attr & 1 == 0 for i in infos), what + ": read-only bit clear")
    check(z.testzip() is None, what + ": every CRC matches")
    if started is not None:
        stamp = time.mktime(infos[2].date_time + (0, 0, -1))
        check(started - 2 <= stamp <= time.time() + 2,
              what + ": stamped with the local time of writing: %s" % (infos[2].date_time,))
    entries = [z.read(i) for i in infos]
    check(entries[0] == read(os.path.join(DATA, "structure.txt")),
          what + ": structure.txt matches the golden file")
    return entries


def check_definition(ini, what):
    expected = bytearray(728)
    expected[0:4] = struct.pack("<i", 2)
    expected[32:48] = b"K.107.18641.5752"
    expected[642:652] = b"2012-01-01"
    expected[672] = ord("M")
    expected[680:684] = struct.pack("<i", 1)
    expected[684] = ord("1")
    check(ini == bytes(expected), what + ": patient.ini holds number, date and constants only")


def main():
    card = write(path("card.txt"), CARD.encode("utf-8"))
    record = make_record()
    rec = write(path("rec.dat"), record)
    os.mkdir(path("out"))

    # export: the package replaces an older file at the path.
    ecg = write(path("out", "K.107.18641.5752.ecg"), b"an older file")
    started = time.time()
    code, err = run("export", rec, "--card", card, "--out", ecg)
    check(code == 0 and "written to" in err, "export exits 0: " + err)
    entries = check_package(ecg, record, "export", started)
    if entries:
        check_definition(entries[1], "export")
        data = entries[2]
        check(len(data) == RECORD_SIZE and data[:SOURCE] == record[:SOURCE]
              and data[NOTES + 255:] == record[NOTES + 255:],
              "the data file is the record byte for byte outside source and notes")
        check(data[SOURCE:SOURCE + 255] == field(EXPECTED_SOURCE), "source from the card: %r"
              % data[SOURCE:SOURCE + 40])
        check(data[NOTES:NOTES + 255] == field(EXPECTED_NOTES), "notes from the card: %r"
              % data[NOTES:NOTES + 40])
    check(os.listdir(path("out")) == ["K.107.18641.5752.ecg"], "nothing else in the folder")
    check(os.listdir(PRIVATE_TMP) == [], "no temporary file or folder is left")

    # The same dispatch writes a .dat: the record with the card's texts.
    code, err = run("export", rec, "--card", card, "--out", path("out", "carded.dat"))
    dat = read(path("out", "carded.dat")) if code == 0 else b""
    check(code == 0 and len(dat) == RECORD_SIZE and entries and dat == entries[2],
          "export to .dat writes the carded record: " + err)
    os.remove(path("out", "carded.dat"))

    # .scp needs the patronymic too; with it, a file libbiosig's own tool reads back.
    scp = path("scp", "x.scp")
    os.mkdir(path("scp"))
    code, err = run("export", rec, "--card", card, "--out", scp)
    check(code == 1 and "patronymic" in err and not os.path.exists(scp),
          "export to .scp names the missing patronymic: " + err)
    full = write(path("full.txt"), (CARD + "patronymic = Иванович\n").encode("utf-8"))
    code, err = run("export", rec, "--card", full, "--out", scp)
    check(code == 0 and os.path.getsize(scp) > 4096 * 12, "export to .scp exits 0: " + err)
    if code == 0:
        r = subprocess.run(["save2gdf", "-JSON", "-n", scp], capture_output=True,
                           env=dict(os.environ, TZ="UTC"), timeout=60)
        text = r.stdout.decode("utf-8", errors="replace")
        check(r.returncode == 0 and '"TYPE"' in text and '"SCP"' in text
              and '"NumberOfSamples"' in text, "save2gdf reads the exported SCP file back")

    # Bad input: nothing is written.
    for args, want_code, want_text, what in [
        ((rec, "--out", path("out", "x.ecg")), 1,
         "the record's own card (give --card CARD) is incomplete", "no --card, no card inside"),
        ((rec, "--card", write(path("part.txt"), "doctor_name = X\nweight = 3\n".encode()),
          "--out", path("out", "x.ecg")), 1,
         "missing doctor_phone, last_name, height, birth_year", "incomplete card"),
        ((rec, "--card", write(path("bad.txt"), b"# c\nheight = tall\n"), "--out",
          path("out", "x.ecg")), 1, "line 2: height must be a whole number", "malformed card"),
        ((rec, "--card", path("none.txt"), "--out", path("out", "x.ecg")), 2,
         "No such file", "missing card file"),
        ((write(path("short.dat"), record[:-1]), "--card", card, "--out", path("out", "x.ecg")),
         2, "a record file is exactly 112552 bytes, this one is 112551", "short record"),
        ((write(path("long.dat"), record + b"\0"), "--card", card, "--out",
          path("out", "x.ecg")), 2, "this one is 112553", "long record"),
        ((path("none.dat"), "--card", card, "--out", path("out", "x.ecg")), 2,
         "cannot open %s: No such file" % path("none.dat"), "missing record"),
        ((rec, "--card", card, "--out", path("out", "x.png")), 1, "unsupported output type",
         "unknown type"),
        ((rec, "--card", card), 1, "--out FILE is required", "no --out"),
    ]:
        code, err = run("export", *args)
        check(code == want_code and want_text in err,
              "%s: exit %d naming the fault (got %s: %s)" % (what, want_code, code, err.strip()))
    check(os.listdir(path("out")) == ["K.107.18641.5752.ecg"], "bad input wrote nothing")

    # Places that can't take the file: an error, and nothing left anywhere.
    write(path("plain"), b"x")
    os.symlink("/dev/full", path("out", "device.ecg"))
    for out, text, what in [
        (path("no", "such", "x.ecg"), "No such file or directory", "missing folder"),
        (path("plain", "x.ecg"), "Not a directory", "path under a regular file"),
        ("/proc/velmora/x.ecg", "/proc/velmora/x.ecg", "/proc"),
        (path("out", "device.ecg"), "not a regular file", "a link to /dev/full"),
    ]:
        code, err = run("export", rec, "--card", card, "--out", out)
        check(code == 2 and text in err, "%s: exit 2 with the reason (%s)" % (what, err.strip()))
    check(os.path.exists("/dev/full") and not os.path.isfile("/dev/full"),
          "/dev/full is still a device")
    os.remove(path("out", "device.ecg"))

    # Writes that fail for real (a file size limit binds root too): the temporary data file,
    # then the archive; the old package survives whole.
    # A record of noise does not compress: its archive is larger than the data file.
    noise = bytearray(random.Random(1).randbytes(RECORD_SIZE))
    noise[8:28] = b"2012-05-04 14:05:00\0"
    # A real info block, so that the noise opens as a record: magic, lead system 1, 4096 points.
    noise[98332:98332 + 18 * 4] = struct.pack("<18I", 0x88888888, 1, 10, 50, 70, 4096,
                                               *([0] * 12))
    noisy = write(path("noise.dat"), bytes(noise))
    before = read(ecg)
    for limit in (100000, 112700):
        code, err = run("export", noisy, "--card", card, "--out", ecg, limit=limit)
        check(code == 2 and "File too large" in err,
              "a write failure at %d bytes: exit 2 with the reason: %s" % (limit, err.strip()))
        check(read(ecg) == before, "the old package survives a failure at %d bytes" % limit)
        check(os.listdir(path("out")) == ["K.107.18641.5752.ecg"] and not leftovers(path("out")),
              "no partial archive beside it")
        check(os.listdir(PRIVATE_TMP) == [], "no temporary file after a failure")

    # receive with a card writes the package straight from the cardiograph; replay too.
    sim = subprocess.Popen([CLI, "simulate", "--record-after", "1", "--device-time",
                            "2024-02-03 04:05"], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                           env=ENV, text=True)
    open(path("velmora.ini"), "wb").write(b"[settings]\r\nm_nCom=1\r\n")
    port = []
    reader = threading.Thread(target=lambda: port.append(sim.stdout.readline()), daemon=True)
    reader.start()
    reader.join(10)
    try:
        check(bool(port and port[0].split()), "simulate prints its port")
        if port and port[0].split():
            dev = port[0].split()[1]
            code, err = run("receive", "--config", path("velmora.ini"), "--device", dev,
                            "--capture", path("cap.bin"), "--card", card, "--out",
                            path("out", "received.ecg"))
            check(code == 0, "receive --card --out .ecg exits 0: " + err[-300:])
            # The replay of the same reception gives the record to compare with.
            code2, err2 = run("replay", path("cap.bin"), "--out", path("replayed.dat"))
            check(code2 == 0, "replay of the capture: " + err2[-200:])
            replayed = bytearray(read(path("replayed.dat")) if code2 == 0 else RECORD_SIZE)
            check(replayed[8:24] == b"2024-02-03 04:05", "the device's date")
            replayed[SOURCE:NOTES + 255] = field(EXPECTED_SOURCE) + field(EXPECTED_NOTES)
            got = check_package(path("out", "received.ecg"), bytes(replayed), "receive")
            check(got is not None and got[2] == bytes(replayed),
                  "the received package holds the record with the card's texts")
    finally:
        sim.send_signal(signal.SIGINT)
        try:
            sim.wait(10)
        except subprocess.TimeoutExpired:
            sim.kill()

    # An incomplete card is refused before any reception starts.
    code, err = run("receive", "--config", path("velmora.ini"), "--device", "/nonexistent",
                    "--card", path("part.txt"), "--out", path("out", "r.ecg"))
    check(code == 1 and "incomplete" in err, "receive refuses an incomplete card first: " + err)
    check(os.listdir(PRIVATE_TMP) == [], "no temporary file left by any command")

    return exit_status()


if __name__ == "__main__":
    sys.exit(main())
