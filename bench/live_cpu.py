#!/usr/bin/env python3
"""The live monitor's CPU figure under Xvfb: velmora with the simulated cardiograph streaming the
live ECG (no record), one record window receiving, CPU time of the whole process over 20 s as a
share of one core (goal: at most 1.5 %).
    bench/live_cpu.py build/src/app/velmora build/src/cli/velmora-cli [seconds]"""
import os
import subprocess
import sys
import tempfile
import time

APP, CLI = sys.argv[1], sys.argv[2]
SECONDS = float(sys.argv[3]) if len(sys.argv) > 3 else 20
TMP = tempfile.mkdtemp(prefix="velmora-cpu-")
os.chmod(TMP, 0o700)
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=TMP + "/config", XDG_RUNTIME_DIR=TMP)
ENV.pop("QT_QPA_PLATFORM", None)


def xdotool(*args):
    return subprocess.run(["xdotool", *args], env=ENV, capture_output=True, text=True).stdout.strip()


def cpu_seconds(pid):
    fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def main():
    ENV["DISPLAY"] = ":%d" % (150 + os.getpid() % 40)
    procs = [subprocess.Popen(["Xvfb", ENV["DISPLAY"], "-screen", "0", "1600x1000x24"],
                              stderr=subprocess.DEVNULL)]
    try:
        deadline = time.monotonic() + 20
        while subprocess.run(["xdotool", "getmouselocation"], env=ENV,
                             capture_output=True).returncode != 0:
            if time.monotonic() > deadline:
                raise SystemExit("Xvfb did not start")
            time.sleep(0.05)
        sim = subprocess.Popen([CLI, "simulate", "--com", "43", "--record-after", "-1"], env=ENV,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        procs.append(sim)
        sim.stdout.readline()
        ini = os.path.join(TMP, "velmora.ini")
        open(ini, "w").write("[settings]\r\nm_nCom=43\r\n")
        app = subprocess.Popen([APP, "--config", ini], env=ENV, stderr=subprocess.DEVNULL)
        procs.append(app)
        while not xdotool("search", "--onlyvisible", "--name", "^velmora"):
            time.sleep(0.05)
        win = xdotool("search", "--onlyvisible", "--name", "^velmora").split()[0]
        xdotool("windowfocus", "--sync", win)
        xdotool("key", "ctrl+n", "ctrl+Return")
        time.sleep(5)  # connected, past the warm-up, the strip sweeping
        start, wall = cpu_seconds(app.pid), time.monotonic()
        time.sleep(SECONDS)
        used, wall = cpu_seconds(app.pid) - start, time.monotonic() - wall
        print("live monitor: %.2f %% of one core over %.0f s (goal 1.5 %%)"
              % (100 * used / wall, wall))
    finally:
        for p in reversed(procs):
            p.terminate()
            p.wait()


if __name__ == "__main__":
    main()
