#!/usr/bin/env python3
"""velmora-cli render end to end: files that are not records are refused with exit code 2 and a
clear message, bad options with 1; a record becomes an image of the requested size with its
curves; a file that is no record (an unknown lead system among them) is refused."""
import os
import struct
import subprocess
import sys
import tempfile
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from checks import check, exit_status  # noqa: E402

CLI = sys.argv[1]
TMP = tempfile.mkdtemp(prefix="velmora-render-")
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"),
           XDG_RUNTIME_DIR=TMP)
RECORD_SIZE = 112552
CURVE = (64, 64, 64)


def run(*args):
    p = subprocess.run([CLI, "render", *args], capture_output=True, text=True, env=ENV,
                       timeout=60)
    return p.returncode, p.stderr


def path(name):
    return os.path.join(TMP, name)


def record(lead_system=1, date=b"2024-03-01 09:15:00"):
    """A record block: a 1 mV square wave on every lane, the info block, the date."""
    block = bytearray(RECORD_SIZE)
    block[8:8 + len(date)] = date
    for point in range(4096):
        value = 500 if (point // 200) % 2 else 0
        struct.pack_into("<12h", block, 28 + point * 24, *([value] * 12))
    struct.pack_into("<6I", block, 28 + 98304, 0x88888888, lead_system, 10, 50, 72, 4096)
    return bytes(block)


def write(name, data):
    with open(path(name), "wb") as f:
        f.write(data)
    return path(name)


def read_png(name):
    """Width, height and the RGB pixels of an 8-bit RGB or RGBA PNG."""
    with open(path(name), "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    assert depth == 8 and colour in (2, 6), f"PNG depth {depth} colour type {colour}"
    bpp = 3 if colour == 2 else 4
    raw, stride, rows, prev = zlib.decompress(idat), width * bpp, [], bytearray(width * bpp)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b, c = prev[i], prev[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[x * bpp:x * bpp + 3]) for x in range(width)])
        prev = line
    return width, height, rows


# Files that are not records.
for name, data, why in (("short.dat", b"x" * 100, "exactly 112552 bytes, this one is 100"),
                        ("long.dat", record() + b"\0", "this one is 112553"),
                        ("empty.dat", b"", "the file is empty"),
                        ("ls9.dat", record(lead_system=9), "lead system 9 is none of 1, 2 or 3")):
    code, err = run(write(name, data), "--out", path("no.png"))
    check(code == 2, f"{name} refused with exit code 2 (got {code})")
    check(f"cannot open {path(name)}" in err and why in err, f"{name}: message says why: {err!r}")
    check(not os.path.exists(path("no.png")), f"{name}: no image written")
code, err = run(path("missing.dat"), "--out", path("no.png"))
check(code == 2 and "No such file" in err, f"missing file: exit 2 and a message ({code}, {err!r})")

# Bad usage.
rec = write("rec.dat", record())
for args, what in (((rec,), "no --out"),
                   ((rec, "--out", path("x.txt")), "unknown image type"),
                   ((rec, "--out", path("x.png"), "--scroll", "2014"), "scroll past 2013"),
                   ((rec, "--out", path("x.png"), "--width", "5"), "width too small"),
                   ((rec, "--out", path("x.png"), "--bogus", "1"), "unknown option"),
                   ((rec, "--out", path("x.png"), "--speed", "30"), "speed other than 25 or 50"),
                   ((rec, "--out", path("x.png"), "--gain", "7"), "gain other than 5, 10, 20"),
                   ((rec, "--out", path("x.png"), "--filter", "notch"), "unknown filter"),
                   (("--out", path("x.png")), "no record")):
    code, err = run(*args)
    check(code == 1 and err.strip(), f"{what}: exit 1 with a message ({code}, {err!r})")

# A record drawn at the requested size: grid, labels and curves.
code, err = run(rec, "--out", path("chart.png"), "--width", "320", "--height", "240",
                "--px-per-cm", "40", "--scroll", "2013")
check(code == 0, f"render succeeds ({code}, {err!r})")
width, height, rows = read_png("chart.png")
check((width, height) == (320, 240), f"image is 320x240 (got {width}x{height})")
curve = sum(px == CURVE for row in rows for px in row)
check(curve > 12 * 200, f"curves drawn ({curve} curve pixels)")
# Band 0 baseline at 240 / 24 = 10; the square wave's upper level is 1 cm = 40 pixels above it,
# off the picture, so its lower level shows on the baseline row right of x0 = 11.
check(sum(rows[10][x] == CURVE for x in range(11, 320)) > 100, "baseline of lead I at y 10")
check(all(rows[y][x] != CURVE for y in range(240) for x in range(11)), "margin free of curves")

# The reading settings: in bands 80 pixels high (lead I's baseline at y 40) the square wave's
# upper level stands 1 cm above the baseline at 10 mm/mV (y 0) and 5 mm above it at 5 mm/mV
# (y 20). The filters and the speed change what is drawn, never the record file.
before = open(rec, "rb").read()
levels = {}
for gain in ("10", "5"):
    code, err = run(rec, "--out", path("g%s.png" % gain), "--width", "320", "--height", "960",
                    "--px-per-cm", "40", "--scroll", "2013", "--gain", gain, "--speed", "25",
                    "--filter", "mains50")
    check(code == 0, f"render at {gain} mm/mV succeeds ({code}, {err!r})")
    if code == 0:
        _, _, rows = read_png("g%s.png" % gain)
        levels[gain] = sum(rows[20][x] == CURVE for x in range(11, 320))
check(levels.get("5", 0) > 50 and levels.get("10", 99) < 10,
      f"the upper level at 5 mm/mV is 5 mm up, at 10 mm/mV 1 cm ({levels})")
check(open(rec, "rb").read() == before, "the record file is as it was")

if exit_status():
    sys.exit(1)
print("all checks passed")
