#!/usr/bin/env python3
"""velmora-cli end to end: a simulated cardiograph on a pseudo-terminal, 'receive' with a capture,
'replay' of that capture, Ctrl+C, time-out, and bad input of every kind."""
import os
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from checks import check, exit_status  # noqa: E402

CLI = sys.argv[1]
TMP = tempfile.mkdtemp(prefix="velmora-cli-")
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"))
RECORD_SIZE = 112552


def wait_for(predicate, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(0.05)
    return predicate()


class Proc:
    """A running command whose output is collected by threads."""

    def __init__(self, *args):
        self.p = subprocess.Popen([CLI, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                  env=ENV, text=True)
        self.out, self.err = [], []
        self.readers = [threading.Thread(target=lambda s=stream, k=sink: [k.append(l) for l in s],
                                         daemon=True)
                        for stream, sink in ((self.p.stdout, self.out), (self.p.stderr, self.err))]
        for r in self.readers:
            r.start()

    def text(self):
        return "".join(self.err)

    def finish(self, seconds=90):
        try:
            code = self.p.wait(seconds)
        except subprocess.TimeoutExpired:
            self.p.kill()
            code = None
        for r in self.readers:
            r.join(5)
        return code

    def stop(self):
        if self.p.poll() is None:
            self.p.send_signal(signal.SIGINT)
        self.finish(10)


def simulator(*args):
    sim = Proc("simulate", *args)
    check(wait_for(lambda: sim.out, 10), "simulate prints its port")
    com, path = sim.out[0].split()
    return sim, com[3:], path


def run(*args, seconds=90):
    p = Proc(*args)
    return p.finish(seconds), p.text()


def path(name):
    return os.path.join(TMP, name)


def main():
    ini = path("velmora.ini")
    open(ini, "wb").write(b"[settings]\r\nm_nCom=1\r\n")

    # A settings file that cannot be read stops the command before anything else.
    os.mkdir(path("ini-folder"))
    open(path("binary.ini"), "wb").write(b"\0\x01\x02garbage")
    for bad, why in ((path("none.ini"), "No such file"), (path("ini-folder"), "it is a folder"),
                     (path("binary.ini"), "not a text file")):
        code, err = run("receive", "--config", bad, "--com", "1", "--out", path("x.dat"))
        check(code == 2 and ("cannot read the settings file " + bad + ": ") in err and why in err,
              "--config %s: exit 2 saying why (%s)" % (os.path.basename(bad), err.strip()))

    # A record from the simulator, with a capture, and its replay.
    sim, com, dev = simulator("--record-after", "1", "--device-time", "2024-02-03 04:05")
    code, err = run("receive", "--config", ini, "--com", com, "--capture", path("cap.bin"),
                    "--out", path("rec.dat"))
    sim.stop()
    check(code == 0, "receive exits 0 on a complete record: " + err[-300:])
    data = open(path("rec.dat"), "rb").read() if os.path.exists(path("rec.dat")) else b""
    check(len(data) == RECORD_SIZE, "the record file is 112552 bytes")
    if len(data) == RECORD_SIZE:
        check(data[98332:98336] == b"\x88" * 4, "the info block starts at 98332")
        check(struct.unpack_from("<I", data, 98332 + 20)[0] == 4096, "4096 points")
        check(data[8:27].startswith(b"2024-02-03 04:0"), "stamped with the device time: %r"
              % data[8:27])
        check(data[111992:112003] == b"{%Source%}\0", "source placeholder")
    code, err = run("replay", path("cap.bin"), "--out", path("rep.dat"))
    check(code == 0, "replay exits 0: " + err)
    check(os.path.exists(path("rep.dat")) and open(path("rep.dat"), "rb").read() == data,
          "replay gives the identical record")

    # Ctrl+C stops the reception like the stop command: record written, exit 0.
    sim, com, dev = simulator("--record-after", "-1")
    recv = Proc("receive", "--config", ini, "--device", dev, "--out", path("stop.dat"))
    check(wait_for(lambda: "live" in recv.text(), 20), "live data reaches receive")
    recv.p.send_signal(signal.SIGINT)
    code = recv.finish(20)
    sim.stop()
    check(code == 0, "Ctrl+C exits 0: " + recv.text()[-300:])
    check(os.path.exists(path("stop.dat")) and os.path.getsize(path("stop.dat")) == RECORD_SIZE,
          "Ctrl+C writes the record")

    # The device vanishes mid-record (its pseudo-terminal goes): what arrived is written at once.
    sim, com, dev = simulator("--record-after", "0.5")
    recv = Proc("receive", "--config", ini, "--device", dev, "--timeout", "60", "--out",
                path("vanished.dat"))
    check(wait_for(lambda: "receiving [#" in recv.text(), 20), "a tenth of the record has arrived")
    sim.p.kill()
    sim.finish(5)
    gone = time.monotonic()
    code = recv.finish(20)
    err = recv.text()
    check(code == 3 and time.monotonic() - gone < 3,
          "a vanished device ends the reception at once with exit 3 (%s): %s" % (code, err[-300:]))
    said = [l for l in err.splitlines() if "the link to the cardiograph was lost" in l]
    points = int(said[0].split("writing what arrived, ")[1].split()[0]) if said else 0
    check(0 < points < 4096, "it says how many record points it has: %s" % said)
    data = open(path("vanished.dat"), "rb").read() if os.path.exists(path("vanished.dat")) else b""
    check(len(data) == RECORD_SIZE and any(data[28:28 + 24 * 10]),
          "the points that arrived are written")

    # A time-out with only the live picture in: written as Ctrl+C would, exit 3.
    sim, com, dev = simulator("--record-after", "-1")
    code, err = run("receive", "--config", ini, "--device", dev, "--timeout", "2", "--out",
                    path("live.dat"))
    sim.stop()
    check(code == 3 and "no record points, only the live picture" in err
          and os.path.exists(path("live.dat")), "a time-out writes the live points: " + err[-300:])

    # A silent device: time-out, exit 3, nothing written.
    sim, com, dev = simulator("--silence-after", "0")
    code, err = run("receive", "--config", ini, "--device", dev, "--timeout", "1.5", "--out",
                    path("silent.dat"))
    sim.stop()
    check(code == 3, "a silent port times out with exit 3 (got %s)" % code)
    check(not os.path.exists(path("silent.dat")), "nothing written after a time-out")

    # Bad input.
    code, err = run("receive", "--config", ini, "--device", path("no-such-tty"), "--out",
                    path("x.dat"))
    check(code == 2 and "No such file or directory" in err and "no-such-tty" in err,
          "a missing device: exit 2 naming it and the reason: " + err)
    # A capture someone keeps survives a reception that never started.
    kept = open(path("cap.bin"), "rb").read()
    code, err = run("receive", "--config", ini, "--device", path("no-such-tty"), "--capture",
                    path("cap.bin"), "--out", path("x.dat"))
    check(code == 2 and open(path("cap.bin"), "rb").read() == kept
          and not [n for n in os.listdir(TMP) if n.startswith(".cap.bin")],
          "a failed start leaves the old capture whole and nothing beside it")
    code, err = run("receive", "--bogus", "--out", path("x.dat"))
    check(code == 1 and "unknown option --bogus" in err, "unknown option: exit 1")
    code, err = run("receive", "--config", ini, "--com", "1", "--out", path("x.png"))
    check(code == 1 and "unsupported output type" in err, "unknown output type: exit 1")
    code, err = run("receive", "--config", ini, "--com", "1", "--out", "/proc/velmora/x.dat")
    check(code == 2 and "not writable" in err, "unwritable output: exit 2: " + err)
    code, err = run("replay", path("cap.bin"), "--out", "/proc/velmora/x.dat")
    check(code == 2 and "cannot create /proc/velmora/x.dat" in err,
          "replay to an unwritable output: exit 2 naming it: " + err)

    capture = open(path("cap.bin"), "rb").read()
    open(path("cut.bin"), "wb").write(capture[:len(capture) - 7])
    code, err = run("replay", path("cut.bin"), "--out", path("x.dat"))
    check(code == 2 and "tick " in err and "at offset" in err and "announced" in err,
          "truncated capture names the tick and offset: " + err)
    open(path("long.bin"), "wb").write(struct.pack("<I", 0) + struct.pack("<I", 5000) + b"x" * 5000)
    code, err = run("replay", path("long.bin"), "--out", path("x.dat"))
    check(code == 2 and "tick 2 at offset 4" in err, "over-long tick is refused: " + err)
    open(path("stub.bin"), "wb").write(b"\x01\x00")
    code, err = run("replay", path("stub.bin"), "--out", path("x.dat"))
    check(code == 2 and "cut short" in err, "cut length field is refused: " + err)
    # Captures without one point: no "successful" empty record.
    open(path("empty.bin"), "wb").close()
    open(path("idle.bin"), "wb").write(b"\0\0\0\0" * 50 + struct.pack("<I", 10) + b"CONNECTION")
    for name in ("empty.bin", "idle.bin"):
        code, err = run("replay", path(name), "--out", path("nothing.dat"))
        check(code == 2 and "no record data in the capture" in err
              and not os.path.exists(path("nothing.dat")), name + ": refused, nothing written: " + err)
    code, err = run("frobnicate")
    check(code == 1 and "unknown command" in err, "unknown command: exit 1")

    code, err = run("ports")
    check(code == 0, "ports lists without failing")

    return exit_status()


if __name__ == "__main__":
    sys.exit(main())
