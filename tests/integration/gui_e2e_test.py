#!/usr/bin/env python3
"""The program under Xvfb with the simulated cardiograph: Ctrl+N opens a record window, Ctrl+Enter
starts reception, and once the record is in, the window shows the chart. Keeps a screenshot."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

APP, CLI, OUT = sys.argv[1], sys.argv[2], sys.argv[3]
TMP = tempfile.mkdtemp(prefix="velmora-gui-")
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"),
           XDG_RUNTIME_DIR=os.path.join(TMP, "run"))
os.makedirs(ENV["XDG_RUNTIME_DIR"], mode=0o700)
ENV.pop("QT_QPA_PLATFORM", None)


def wait_for(predicate, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.1)
    return predicate()


def xdotool(*args):
    r = subprocess.run(["xdotool", *args], env=ENV, capture_output=True, text=True)
    return r.stdout.strip() if r.returncode == 0 else ""


def screenshot():
    """The root window as rows of (r, g, b), read from xwd's output (a ZPixmap of 24 or 32 bits
    per pixel, least significant byte first: blue, green, red)."""
    raw = subprocess.run(["xwd", "-root", "-silent"], env=ENV, capture_output=True).stdout
    header_size = struct.unpack(">I", raw[0:4])[0]
    fields = struct.unpack(">25I", raw[:100])
    width, height, bpl, ncolors = fields[4], fields[5], fields[12], fields[19]
    step = fields[11] // 8
    data = raw[header_size + ncolors * 12:]
    rows = []
    for y in range(height):
        row = data[y * bpl:y * bpl + width * step]
        rows.append([(row[step * x + 2], row[step * x + 1], row[step * x]) for x in range(width)])
    return rows


def write_png(rows, path):
    height, width = len(rows), len(rows[0])
    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in rows)

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))


def main():
    display = ":%d" % (90 + os.getpid() % 100)
    ENV["DISPLAY"] = display
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x900x24", "-nolisten", "tcp"],
                            stderr=subprocess.DEVNULL)
    procs = [xvfb]
    try:
        if not wait_for(lambda: subprocess.run(["xdotool", "getmouselocation"], env=ENV,
                                               capture_output=True).returncode == 0, 20):
            print("FAIL Xvfb did not start")
            return 1
        sim = subprocess.Popen([CLI, "simulate", "--com", "41", "--record-after", "3",
                                "--device-time", "2023-03-04 05:06"], env=ENV,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        procs.append(sim)
        print("simulator:", sim.stdout.readline().strip())
        ini = os.path.join(TMP, "velmora.ini")
        with open(ini, "w") as f:
            f.write("[settings]\r\nm_nCom=41\r\n")
        start = time.monotonic()
        app = subprocess.Popen([APP, "--config", ini], env=ENV)
        procs.append(app)
        win = wait_for(lambda: xdotool("search", "--name", "^velmora"), 30)
        if not win:
            print("FAIL the main window did not appear")
            return 1
        print("main window after %.2f s" % (time.monotonic() - start))
        win = win.split()[0]
        xdotool("windowfocus", "--sync", win)
        # The new window is active when Ctrl+N returns, so Ctrl+Enter reaches its view.
        xdotool("key", "ctrl+n", "ctrl+Return")
        title = wait_for(lambda: xdotool("search", "--name", "2023-03-04 05:0"), 60)
        if not title:
            write_png(screenshot(), OUT)
            print("FAIL no record arrived within 60 s; screenshot in", OUT)
            return 1

        def chart_shown():
            # The chart: fine grid across the whole view, curves in their pen colour, labels.
            rows = screenshot()
            counts = {c: 0 for c in ((255, 234, 223), (64, 64, 64), (255, 84, 0))}
            for row in rows:
                for px in row:
                    if px in counts:
                        counts[px] += 1
            print("fine grid, curve, label pixels:", list(counts.values()))
            write_png(rows, OUT)
            fine, curve, text = counts.values()
            return fine > 20000 and curve > 3000 and text > 100
        ok = wait_for(chart_shown, 10)
        print(("ok   " if ok else "FAIL ") + "the chart is shown; screenshot in " + OUT)
        return 0 if ok else 1
    finally:
        for p in reversed(procs):
            p.terminate()
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()
        shutil.rmtree(TMP, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
