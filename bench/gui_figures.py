#!/usr/bin/env python3
"""GUI figures under Xvfb: time from process start to the main window shown, for velmora and a
minimal Qt Widgets program (median of N runs each), and velmora's resident memory with ten
record windows open.
    bench/gui_figures.py build/src/app/velmora build/bench/minimal_widgets [runs]"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

APP, MINIMAL = sys.argv[1], sys.argv[2]
RUNS = int(sys.argv[3]) if len(sys.argv) > 3 else 7
TMP = tempfile.mkdtemp(prefix="velmora-fig-")
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=TMP + "/config", XDG_RUNTIME_DIR=TMP)
os.chmod(TMP, 0o700)
ENV.pop("QT_QPA_PLATFORM", None)


def xdotool(*args):
    return subprocess.run(["xdotool", *args], env=ENV, capture_output=True, text=True).stdout.strip()


def time_to_window(cmd, name):
    start = time.monotonic()
    p = subprocess.Popen(cmd, env=ENV, stderr=subprocess.DEVNULL)
    while not xdotool("search", "--onlyvisible", "--name", name):
        if time.monotonic() - start > 30:
            break
        time.sleep(0.005)
    elapsed = time.monotonic() - start
    return p, elapsed


def main():
    ENV["DISPLAY"] = ":%d" % (190 + os.getpid() % 50)
    xvfb = subprocess.Popen(["Xvfb", ENV["DISPLAY"], "-screen", "0", "1600x1000x24"],
                            stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 20
        while subprocess.run(["xdotool", "getmouselocation"], env=ENV,
                             capture_output=True).returncode != 0:
            if time.monotonic() > deadline:
                raise SystemExit("Xvfb did not start")
            time.sleep(0.05)
        times = {"velmora": [], "minimal": []}
        for _ in range(RUNS):
            for key, cmd, name in (("velmora", [APP], "^velmora"), ("minimal", [MINIMAL], "^minimal")):
                p, t = time_to_window(cmd, name)
                times[key].append(t)
                p.terminate()
                p.wait()
        v, m = statistics.median(times["velmora"]), statistics.median(times["minimal"])
        print("start-up to main window: velmora %.0f ms, minimal Qt Widgets %.0f ms, ratio %.2f"
              % (v * 1000, m * 1000, v / m))

        p, _ = time_to_window([APP], "^velmora")
        win = xdotool("search", "--onlyvisible", "--name", "^velmora").split()[0]
        xdotool("windowfocus", "--sync", win)
        xdotool("key", *(["ctrl+n"] * 10))
        time.sleep(1.0)  # a figure, not a test: let the ten windows paint
        rss = 0
        with open("/proc/%d/status" % p.pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    rss = int(line.split()[1]) // 1024
        print("resident memory with ten record windows: %d MB" % rss)
        p.terminate()
        p.wait()
    finally:
        xvfb.terminate()


if __name__ == "__main__":
    main()
