#!/usr/bin/env python3
"""velmora-cli report: the PDF is one landscape page of the right size, true to scale on a raster
of the page made by poppler (the 5 mm grid lines 5 mm apart, the calibration pulse as tall as the
gain and as wide as 0.2 s at the speed), its text real and searchable in Cyrillic with the fonts
embedded, its curves and grid vector graphics; every layout, speed, gain and paper; pictures at
300 dpi; and failures that leave an existing file as it was."""
import os
import resource
import shutil
import signal
import stat
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from checks import check, exit_status  # noqa: E402

CLI = sys.argv[1]
TMP = tempfile.mkdtemp(prefix="velmora-report-")
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"),
           XDG_RUNTIME_DIR=TMP, LC_ALL="C.UTF-8")
DPI = 600
COARSE = (255, 213, 192)  # the window's 5 mm grid colour
MARK = (32, 32, 32)       # the calibration pulse


def path(*parts):
    return os.path.join(TMP, *parts)


def run(*args):
    r = subprocess.run(args, capture_output=True, env=ENV, timeout=120)
    return r.returncode, r.stdout.decode("utf-8", "replace"), r.stderr.decode("utf-8", "replace")


def record():
    """A record block with a sine of 1 mV on every lane but V1, which is left empty."""
    import math
    rec = bytearray(112552)
    rec[4:8] = b"\xff\xff\xff\xff"
    rec[8:27] = b"2026-12-08 23:18:57"
    for p in range(4096):
        v = int(500 * math.sin(2 * math.pi * p / 409.6))
        for lane in range(12):
            o = 28 + 2 * (p * 12 + lane)
            rec[o:o + 2] = (0 if lane == 6 else v).to_bytes(2, "little", signed=True)
    info = 28 + 98304
    rec[info:info + 4] = b"\x88" * 4
    rec[info + 4:info + 8] = struct.pack("<I", 1)
    rec[info + 20:info + 24] = struct.pack("<I", 4096)
    return bytes(rec)


class Raster:
    """A page rendered by poppler at DPI, as rows of RGB triples."""

    def __init__(self, pdf):
        base = path("page")
        subprocess.run(["pdftoppm", "-r", str(DPI), "-singlefile", pdf, base], check=True)
        data = open(base + ".ppm", "rb").read()
        parts = data.split(b"\n", 3)
        self.w, self.h = map(int, parts[1].split())
        self.pixels = parts[3]

    def px(self, x, y):
        o = 3 * (y * self.w + x)
        return tuple(self.pixels[o:o + 3])


def mm(pixels):
    return pixels * 25.4 / DPI


def coarse_spacing(r):
    """Median distance between the centres of the coarse grid lines along a row of the grid that
    only vertical lines cross (half a millimetre below its top)."""
    y = int((10 + 38 + 2 + 0.5) / 25.4 * DPI)
    runs, start = [], None
    for x in range(r.w):
        near = all(abs(a - b) <= 12 for a, b in zip(r.px(x, y), COARSE))
        if near and start is None:
            start = x
        elif not near and start is not None:
            runs.append((start + x - 1) / 2)
            start = None
    gaps = sorted(b - a for a, b in zip(runs, runs[1:]) if b - a > 50)
    return mm(gaps[len(gaps) // 2]) if gaps else 0, len(runs)


def dark_runs(points):
    """Centres and lengths of the runs of True in a sequence of booleans."""
    runs, start = [], None
    for i, d in enumerate(points + [False]):
        if d and start is None:
            start = i
        elif not d and start is not None:
            runs.append(((start + i - 1) / 2, i - start))
            start = None
    return runs


def pulse(r):
    """The first row's calibration pulse: its height (the gain) and its width (0.2 s), in mm."""
    dark = lambda x, y: all(abs(a - b) <= 40 for a, b in zip(r.px(x, y), MARK))  # noqa: E731
    px = lambda v: int(v / 25.4 * DPI)  # noqa: E731
    # Its left stroke: the first long vertical run in the columns where the pulses stand.
    for x in range(px(10.5), px(13)):
        runs = [run for run in dark_runs([dark(x, y) for y in range(px(50), px(120))])
                if run[1] > px(2)]
        if runs:
            centre, length = runs[0]
            top, bottom = px(50) + centre - (length - 1) / 2, px(50) + centre + (length - 1) / 2
            break
    else:
        return 0, 0
    # The top stroke's thickness, then the two vertical strokes half way down.
    thick = sum(1 for y in range(int(top), int(top) + px(1)) if dark(int(x + px(1)), y))
    middle = int((top + bottom) / 2)
    strokes = dark_runs([dark(xx, middle) for xx in range(px(10.5), px(24))])
    if len(strokes) < 2:
        return 0, 0
    height = bottom - top + 1 - thick / 2.0
    return mm(height), mm(strokes[1][0] - strokes[0][0])


def main():
    rec = path("rec.dat")
    open(rec, "wb").write(record())
    card = path("card.txt")
    open(card, "w", encoding="utf-8").write(
        "last_name = Иванов\nfirst_name = Иван\npatronymic = Петрович\nbirth_day = 31\n"
        "birth_month = 12\nbirth_year = 1950\nsex = m\nheight = 180\nweight = 80\n"
        "doctor_name = Петров\ndoctor_phone = 123\n")
    ini = path("velmora.ini")
    open(ini, "wb").write("[settings]\r\nm_attrOrg=ГБУЗ «Поликлиника №3»\r\n".encode("utf-8"))

    out = path("report.pdf")
    code, _, err = run(CLI, "report", rec, "--out", out, "--card", card, "--config", ini)
    check(code == 0, "report writes a PDF: " + err)
    code, info, _ = run("pdfinfo", out)
    check("Pages:           1" in info and "842 x 595 pts (A4)" in info, "one A4 landscape page")
    check(os.path.getsize(out) <= 1024 * 1024, "at most 1 MB: %d bytes" % os.path.getsize(out))
    code, fonts, _ = run("pdffonts", out)
    rows = [l for l in fonts.splitlines()[2:] if l.strip()]
    check(rows and all(" yes " in l for l in rows), "every font embedded:\n" + fonts)
    code, images, _ = run("pdfimages", "-list", out)
    check(len(images.splitlines()) <= 2, "no pictures in it: grid and curves are vector graphics")
    code, text, _ = run("pdftotext", "-layout", out, "-")
    for want in ("ГБУЗ «Поликлиника №3»", "Иванов Иван Петрович", "муж.", "31.12.1950 (75 лет)",
                 "180 см", "80 кг", "Петров", "2026-12-08 23:18:57", "Заключение", "Подпись врача",
                 "Автоматические измерения,", "требуют подтверждения врачом", "ЧСС",
                 "Автоматическое заключение (не подтверждено",
                 "25 мм/с", "10 мм/мВ", "Фильтры: нет", "409,6 Гц", "velmora", "aVF", "V6",
                 "отведение отсутствует в записи"):
        check(want in text, "the text says " + want)

    r = Raster(out)
    check(abs(r.w - 297 / 25.4 * DPI) < 2 and abs(r.h - 210 / 25.4 * DPI) < 2,
          "the page is 297 x 210 mm: %d x %d px at %d dpi" % (r.w, r.h, DPI))
    spacing, lines = coarse_spacing(r)
    check(abs(spacing - 5.0) <= 0.05, "5 mm grid lines are 5 mm apart on paper: %.3f mm (%d lines)"
          % (spacing, lines))
    height, width = pulse(r)
    check(abs(height - 10.0) <= 0.1, "the 1 mV pulse is 10 mm tall at 10 mm/mV: %.3f mm" % height)
    check(abs(width - 5.0) <= 0.05, "0.2 s is 5 mm at 25 mm/s: %.3f mm" % width)

    for speed, gain in (("50", "20"), ("25", "5")):
        o = path("s%s-g%s.pdf" % (speed, gain))
        code, _, err = run(CLI, "report", rec, "--out", o, "--speed", speed, "--gain", gain,
                           "--layout", "6x2")
        h, w = pulse(Raster(o)) if code == 0 else (0, 0)
        check(code == 0 and abs(h - float(gain)) <= 0.01 * float(gain) + 0.05
              and abs(w - 0.2 * float(speed)) <= 0.01 * 0.2 * float(speed) + 0.05,
              "at %s mm/s and %s mm/mV the pulse is %.2f x %.2f mm" % (speed, gain, w, h))
    code, text, _ = run("pdftotext", path("s50-g20.pdf"), "-")
    check("50 мм/с" in text and "20 мм/мВ" in text, "the footer says the speed and the gain")

    for layout in ("12x1", "6x2", "3x4+1", "3x4+3"):
        o = path("l%s.pdf" % layout.replace("+", "p"))
        code, _, err = run(CLI, "report", rec, "--out", o, "--layout", layout, "--paper", "letter")
        code2, info, _ = run("pdfinfo", o)
        check(code == 0 and "612 x 792" in info.replace("792 x 612", "612 x 792"),
              "layout %s on letter paper: %s" % (layout, err))
    code, text, _ = run("pdftotext", path("l12x1.pdf"), "-")
    check("Показаны первые" not in text, "12x1 at 25 mm/s shows the whole record")
    code, _, _ = run(CLI, "report", rec, "--out", path("fast.pdf"), "--layout", "12x1", "--speed", "50")
    code, text, _ = run("pdftotext", path("fast.pdf"), "-")
    check("Показаны первые 5,3 с записи" in text, "12x1 at 50 mm/s says how much it shows")

    png = path("page.png")
    code, _, err = run(CLI, "report", rec, "--out", png)
    head = open(png, "rb").read(24) if code == 0 else b""
    check(code == 0 and head[:8] == b"\x89PNG\r\n\x1a\n" and struct.unpack(">II", head[16:24]) == (3508, 2480),
          "a PNG of the page at 300 dpi: 3508 x 2480")

    # Another system's record (a WFDB record: no cardiograph of ours, no record number) prints no
    # "Запись № 0", and no value the screen leaves out is printed as "нет".
    import math
    rate, n = 500, 5000
    with open(path("foreign.dat"), "wb") as f:
        for i in range(n):
            beat = 800 if i % 400 < 10 else 0
            f.write(struct.pack("<hh", beat, int(300 * math.sin(i / 40.0))))
    open(path("foreign.hea"), "w").write(
        "foreign 2 %d %d\nforeign.dat 16 1000 16 0 0 0 0 I\nforeign.dat 16 1000 16 0 0 0 0 II\n"
        % (rate, n))
    code, _, err = run(CLI, "report", path("foreign.hea"), "--out", path("foreign.pdf"))
    code2, text, _ = run("pdftotext", path("foreign.pdf"), "-")
    check(code == 0 and "Запись №" not in text, "a foreign record prints no record number: " + err)
    check(text.replace("Фильтры: нет", "").count(" нет") == 0,
          "nothing unmeasured is printed as \"нет\": " + text[:600])

    # An empty card prints empty fields, not a refusal.
    blank = path("blank.pdf")
    code, _, err = run(CLI, "report", rec, "--out", blank)
    code2, text, _ = run("pdftotext", blank, "-")
    check(code == 0 and "Пациент:" in text and "муж." not in text and "жен." not in text,
          "a record without a card reports with empty fields: " + err)

    # Failures: the reason, exit 2, the old file untouched, nothing beside it.
    code, _, err = run(CLI, "report", rec, "--out", path("missing", "r.pdf"))
    check(code == 2 and "No such file or directory" in err, "a missing folder: exit 2: " + err)
    os.mkdir(path("ro"))
    open(path("ro", "r.pdf"), "wb").write(b"old")
    os.chmod(path("ro"), stat.S_IRUSR | stat.S_IXUSR)
    code, _, err = run(CLI, "report", rec, "--out", path("ro", "r.pdf"))
    os.chmod(path("ro"), stat.S_IRWXU)
    if os.geteuid() != 0:
        check(code == 2 and "Permission denied" in err, "a read-only folder: exit 2: " + err)
        check(open(path("ro", "r.pdf"), "rb").read() == b"old"
              and sorted(os.listdir(path("ro"))) == ["r.pdf"],
              "the old file stays whole and nothing is left beside it")
    else:
        print("a read-only folder does not stop root: that check is skipped")
    # A file size limit makes the write fail half-way, as a full disk does.
    open(path("ro", "r.pdf"), "wb").write(b"old")
    def small_files():
        resource.setrlimit(resource.RLIMIT_FSIZE, (40000, 40000))
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    r = subprocess.run([CLI, "report", rec, "--out", path("ro", "r.pdf")], capture_output=True,
                       env=ENV, timeout=120, preexec_fn=small_files)
    err = r.stderr.decode("utf-8", "replace")
    check(r.returncode == 2 and "File too large" in err, "a write cut short: exit 2 saying why: " + err)
    check(open(path("ro", "r.pdf"), "rb").read() == b"old"
          and sorted(os.listdir(path("ro"))) == ["r.pdf"],
          "the old file stays whole and nothing is left beside it: %s" % os.listdir(path("ro")))
    for bad, want in ((["--layout", "4x3"], "unknown layout"), (["--speed", "30"], "--speed is 25 or 50"),
                      (["--gain", "7"], "--gain is 5, 10 or 20"), (["--paper", "a3"], "--paper is a4"),
                      (["--out", path("x.txt")], "unsupported report type")):
        args = ["--out", path("x.pdf")] + bad if bad[0] != "--out" else bad
        code, _, err = run(CLI, "report", rec, *args)
        check(code == 1 and want in err, "%s: exit 1 (%s)" % (" ".join(bad), err.strip()))
    code, _, err = run(CLI, "report", path("none.dat"), "--out", path("x.pdf"))
    check(code == 2 and "none.dat" in err, "a record that is not there: exit 2")
    return exit_status()


if __name__ == "__main__":
    try:
        sys.exit(main())
    finally:
        shutil.rmtree(TMP, ignore_errors=True)
