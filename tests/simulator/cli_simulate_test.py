#!/usr/bin/env python3
"""velmora-cli simulate --out: the simulated cardiograph's record received in memory and written
through the records layer, read back by 'info' with the card's names and the device's facts, and
measured by 'measure' as the heart that was asked for."""
import json
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from checks import check, exit_status  # noqa: E402

CLI = sys.argv[1]
TMP = tempfile.mkdtemp(prefix="velmora-simulate-")
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"))
CARD = """doctor_name = Петров П.П.
doctor_phone = 123
last_name = Сидорова
first_name = Анна
patronymic = Павловна
birth_year = 1961
sex = ж
weight = 64
height = 166
"""


def path(name):
    return os.path.join(TMP, name)


def run(*args):
    return subprocess.run([CLI, *args], capture_output=True, text=True, env=ENV, timeout=120)


def simulate(name, *args):
    """Writes a record with a fixed device clock; the measurements of the file, or None."""
    r = run("simulate", "--device-time", "2024-03-05 10:20", *args, "--out", path(name))
    check(r.returncode == 0, "simulate %s writes %s: %s" % (" ".join(args), name, r.stderr.strip()))
    m = run("measure", "--json", path(name))
    if m.returncode != 0:
        check(False, "measure %s: %s" % (name, m.stderr.strip()))
        return None
    return json.loads(m.stdout)


def near(value, target, tolerance):
    return value is not None and abs(value - target) <= tolerance


with open(path("card.txt"), "w", encoding="utf-8") as f:
    f.write(CARD)

# Fibrillation as SCP-ECG with the card: the names and the device's facts come back.
af = simulate("af.scp", "--rhythm", "af", "--card", path("card.txt"), "--serial", "4242")
info = json.loads(run("info", "--json", path("af.scp")).stdout or "{}")
card = info.get("card", {})
check(card.get("last_name") == "Сидорова" and card.get("first_name") == "Анна"
      and card.get("patronymic") == "Павловна", "info reads the card's names: %s" % card)
check(info.get("date") == "2024-03-05 10:20:00", "the device's date: %s" % info.get("date"))
check(info.get("device", "").endswith("4242"), "the device's serial: %s" % info.get("device"))
check(info.get("points") == 4096, "a whole record: %s points" % info.get("points"))
if af:
    check(af.get("pr_ms") is None, "no PR in fibrillation: %s" % af.get("pr_ms"))
    check(af["rr_max_ms"] - af["rr_min_ms"] > 150,
          "irregular RR: %.0f ... %.0f ms" % (af["rr_min_ms"], af["rr_max_ms"]))

# What is measured is what was asked for.
lbbb = simulate("lbbb.dat", "--conduction", "lbbb")
check(lbbb is not None and lbbb.get("qrs_ms", 0) >= 130, "lbbb: QRS %s ms" % (lbbb or {}).get("qrs_ms"))
normal = simulate("normal.dat")
check(normal is not None and normal.get("qrs_ms", 999) < 120,
      "normal: QRS %s ms" % (normal or {}).get("qrs_ms"))
slow = simulate("slow.dat", "--rate", "45")
check(slow is not None and near(slow.get("heart_rate_bpm"), 45, 2),
      "--rate 45: %s bpm" % (slow or {}).get("heart_rate_bpm"))
axis = simulate("axis.dat", "--axis", "-45")
check(axis is not None and near(axis.get("axis_qrs_deg"), -45, 10),
      "--axis -45: %s" % (axis or {}).get("axis_qrs_deg"))

# The record goes through the reception: line faults cost resends, never a point.
simulate("faulty.dat", "--checksum-errors", "0.2", "--drop-bytes", "0.02", "--repeat-points", "0.1")
with open(path("normal.dat"), "rb") as a, open(path("faulty.dat"), "rb") as b:
    check(a.read() == b.read(), "a record sent over a faulty line is the record sent cleanly")

# Bad usage: nothing written, exit 1, a message that names the fault.
for args, words in [(["--rhythm", "vf"], "'vf' is not one of"),
                    (["--qrs", "20"], "out of range"),
                    (["--com", "5"], "--com")]:
    target = path("bad.dat")
    r = run("simulate", *args, "--out", target)
    check(r.returncode == 1 and words in r.stderr and not os.path.exists(target),
          "simulate %s: exit %d, %s" % (" ".join(args), r.returncode, r.stderr.strip()))
r = run("simulate", "--out", path("nocard.scp"))
check(r.returncode == 1 and "--card" in r.stderr and not os.path.exists(path("nocard.scp")),
      "a .scp without a card: %s" % r.stderr.strip())
r = run("simulate", "--card", path("card.txt"))
check(r.returncode == 1 and "--out" in r.stderr, "--card without --out: %s" % r.stderr.strip())

shutil.rmtree(TMP, ignore_errors=True)
sys.exit(exit_status())
