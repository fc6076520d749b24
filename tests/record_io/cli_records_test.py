#!/usr/bin/env python3
"""velmora-cli on record files of every type: `info` (text and JSON) says what a file holds,
`export` converts between the types, `render` and `send` take any type, and whatever is no record
file is refused with exit code 2, naming the file; nothing from a file reaches the terminal as a
control character."""
import json
import os
import shutil
import stat
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from checks import check, exit_status  # noqa: E402
from record_block import CARD, record  # noqa: E402

CLI = sys.argv[1]
TMP = tempfile.mkdtemp(prefix="velmora-records-")
REALDATA = os.environ.get("VELMORA_REALDATA") or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), os.pardir, os.pardir, os.pardir, "shared",
    "realdata")
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"),
           TMPDIR=TMP, LC_ALL="C.UTF-8")


def path(*parts):
    return os.path.join(TMP, *parts)


def run(*args):
    r = subprocess.run([CLI, *args], capture_output=True, env=ENV, timeout=60)
    return r.returncode, r.stdout.decode("utf-8", "replace"), r.stderr.decode("utf-8", "replace")


try:
    dat = path("rec.dat")
    open(dat, "wb").write(record())
    card = path("card.txt")
    open(card, "w", encoding="utf-8").write(
        "".join("%s = %s\n" % (k, "м" if k == "sex" else v) for k, v in CARD.items() if v != ""))
    doctor = path("doctor.txt")
    open(doctor, "w", encoding="utf-8").write(
        "".join("%s = %s\n" % (k, "м" if k == "sex" else v) for k, v in CARD.items()
                if v != "" and k not in ("first_name", "patronymic")))

    # Conversions: the card goes in with --card, and comes back out of the file.
    for ext in ("dat", "ecg", "scp"):
        code, _, err = run("export", dat, "--card", card, "--out", path("c." + ext))
        check(code == 0, "export to .%s: %s" % (ext, err.strip()))
    for ext in ("dat", "ecg", "scp"):
        code, out, err = run("info", path("c." + ext), "--json")
        check(code == 0, "info --json on .%s: %s" % (ext, err.strip()))
        info = json.loads(out) if code == 0 else {}
        check(info.get("type") == ext and info.get("date") == "2026-12-08 23:18:57"
              and info.get("device") == "K.107.00011.5434" and info.get("lead_system") == 1
              and info.get("points") == 4096,
              ".%s: type, date, device, lead system, points (%s)" % (
                  ext, {k: v for k, v in info.items() if k != "card"}))
        kept = info.get("card", {})
        check(set(kept) == set(CARD), ".%s: the card's keys are the card file's" % ext)
        fields = (["last_name", "birth_year", "sex", "height", "weight"] +
                  (["doctor_name", "doctor_phone"] if ext != "scp" else
                   ["first_name", "patronymic", "birth_day", "birth_month", "postal_code",
                    "region", "locality", "house", "years_of_residence"]))
        wrong = {k: (kept.get(k), CARD[k]) for k in fields if kept.get(k) != CARD[k]}
        check(not wrong, ".%s: the card comes back (%s)" % (ext, wrong))
        check(info.get("record_number") == (5 if ext != "scp" else 0),
              ".%s: the device's record number where the format keeps it" % ext)
    code, out, _ = run("info", path("c.scp"))
    check(code == 0 and "SCP-ECG file (.scp)" in out and "last_name:" in out and "Иванов" in out,
          "info prints lines of text")

    code, _, err = run("export", path("c.scp"), "--out", path("from-scp.ecg"))
    check(code == 1 and "the record's own card (give --card CARD) is incomplete" in err
          and "doctor_name" in err, "an SCP file keeps no doctor: asked for --card (%s)" % err.strip())
    code, _, err = run("export", path("c.scp"), "--card", card, "--out", path("from-scp.ecg"))
    check(code == 0, "scp to ecg with --card: " + err.strip())
    code, _, err = run("export", path("c.ecg"), "--out", path("from-ecg.scp"))
    check(code == 1 and "missing first_name, patronymic" in err,
          "a package keeps no first name: the SCP save says so (%s)" % err.strip())
    code, _, err = run("export", path("c.ecg"), "--out", path("from-ecg.dat"))
    check(code == 0 and open(path("from-ecg.dat"), "rb").read() == open(path("c.dat"), "rb").read(),
          "ecg to dat gives back the record block byte for byte")

    code, _, err = run("render", path("c.scp"), "--out", path("c.png"), "--width", "200",
                       "--height", "100")
    check(code == 0 and os.path.getsize(path("c.png")) > 0, "render takes an SCP file: " + err)
    code, out, err = run("send", path("c.scp"), "--card", doctor, "--to", "a@b.c", "--eml",
                         path("m.eml"))
    check(code == 0 and "X-Unsent: 1" in open(path("m.eml"), encoding="latin-1").read(),
          "send takes an SCP file (--card with only the doctor): " + err.strip())

    # A record file whose texts carry escape sequences: shown, but never as control characters.
    evil = path("evil.dat")
    open(evil, "wb").write(record(source=b"\x1b]0;owned\x07\x1b[2J, \xf2\xe5\xeb. 1"))
    code, out, err = run("info", evil)
    check(code == 0 and "\x1b" not in out + err and "\x07" not in out + err,
          "no control character of a file reaches the terminal")

    # Another cart's own findings come as the file's, apart from ours. Our own SCP file carries
    # the statements it was written with (Section 8) and no measurements of a writer.
    code, out, _ = run("info", path("c.scp"), "--json")
    ours = json.loads(out).get("from_file", {}) if code == 0 else None
    check(ours is not None and set(ours) <= {"writer", "statements", "confirmed"}
          and ours.get("confirmed") in (None, False),
          "our SCP file gives its statements only, unconfirmed (%s)" % ours)
    welch = os.path.join(REALDATA, "scp", "welchallyn_ECG_20060620_112352_197001138994.SCP")
    if os.path.exists(welch):
        code, out, err = run("info", welch, "--json")
        found = json.loads(out).get("from_file", {}) if code == 0 else {}
        check(found.get("writer") == "SCP-ECG" and found.get("confirmed") is True
              and any(s.startswith("Analyserad med pedriatriska") for s in found.get("statements", [])),
              "info --json: the file's confirmed statements under from_file (%s)" % found)
        rate, rr = found.get("heart_rate_bpm"), found.get("rr_ms")
        check(isinstance(rate, int) and 20 < rate < 250 and (rr is None or abs(60000 / rr - rate) <= 1),
              "info --json: the file's own rate, as its RR gives it (%s, %s)" % (rate, rr))
        code, out, _ = run("info", welch)
        check(code == 0 and "from file:     По данным файла (SCP-ECG): ЧСС %d уд/мин" % rate in out,
              "info: the file's findings on a line of their own")
    else:
        print("skip the real SCP file's findings: no ../shared/realdata or VELMORA_REALDATA")

    # No record files: exit 2, the file named, the reason given.
    os.mkfifo(path("pipe.dat"))
    os.mkdir(path("folder.scp"))
    os.symlink("/dev/zero", path("zero.ecg"))
    open(path("random.scp"), "wb").write(os.urandom(5000))
    open(path("random.ecg"), "wb").write(os.urandom(5000))
    open(path("empty.dat"), "wb").close()
    open(path("baddate.dat"), "wb").write(record(date=b"2026-13-45 99:99:99"))
    open(path("cut.ecg"), "wb").write(open(path("c.ecg"), "rb").read()[:3000])
    for name, why in (("pipe.dat", "not a regular file"), ("folder.scp", "it is a folder"),
                      ("zero.ecg", "not a regular file"), ("random.scp", "not an SCP-ECG file"),
                      ("random.ecg", "not an export package"), ("empty.dat", "the file is empty"),
                      ("baddate.dat", "its date is not a date"),
                      ("cut.ecg", "not an export package"), ("none.scp", "No such file")):
        for command in (("info",), ("export", "--out", path("x.dat")),
                        ("render", "--out", path("x.png"))):
            code, out, err = run(command[0], path(name), *command[1:])
            check(code == 2 and ("cannot open " + path(name) + ": ") in err and why in err,
                  "%s %s: exit 2 naming it (%d: %s)" % (command[0], name, code, err.strip()))
    check(not os.path.exists(path("x.dat")) and not os.path.exists(path("x.png")),
          "nothing written for a file that is no record")
finally:
    shutil.rmtree(TMP, ignore_errors=True)

sys.exit(exit_status())
