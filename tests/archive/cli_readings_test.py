#!/usr/bin/env python3
"""velmora-cli archive: a doctor's account, a confirmation that starts from the program's proposal
(with the changes since the patient's previous record), an amendment with its reason, the audit
trail as JSON, the unconfirmed filter; two confirmations at once end with one; and a confirmation
killed at any moment leaves the archive whole, its trail chained and every confirmation logged."""
import json
import os
import random
import sqlite3
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from checks import check, exit_status  # noqa: E402

CLI = sys.argv[1]
TMP = tempfile.mkdtemp(prefix="velmora-readings-")
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"),
           XDG_DATA_HOME=os.path.join(TMP, "data"), LC_ALL="C.UTF-8")
ARCHIVE = os.path.join(TMP, "a.sqlite")


def run(*args):
    r = subprocess.run([CLI] + list(args), capture_output=True, env=ENV, timeout=120)
    return r.returncode, r.stdout.decode("utf-8", "replace"), r.stderr.decode("utf-8", "replace")


def arc(*args):
    return run("archive", *args, "--archive", ARCHIVE)


def audit(record):
    code, out, err = arc("audit", str(record), "--json")
    check(code == 0, "audit: " + err)
    return [json.loads(line) for line in out.splitlines()]


def main():
    card = os.path.join(TMP, "card.txt")
    open(card, "w", encoding="utf-8").write(
        "last_name = Ёлкина\nfirst_name = Анна\npatronymic = Петровна\nbirth_day = 1\n"
        "birth_month = 2\nbirth_year = 1960\nsex = ж\n")
    files = []
    for name, extra in (("before.dat", []), ("after.dat", ["--rhythm", "af"])):
        path = os.path.join(TMP, name)
        code, _, err = run("simulate", "--out", path, "--card", card, *extra)
        check(code == 0, "a simulated record " + name + ": " + err)
        files.append(path)
    # Imported in order: at the same recording time the later import is the newer record.
    code, out, err = arc("import", *files)
    check(code == 0 and "2 imported" in err, "both records go in: " + err)
    ids = [int(line.split()[-1]) for line in out.splitlines() if line.startswith("imported")]
    first, second = ids

    password = os.path.join(TMP, "pw")
    open(password, "w").write("Пароль-врача-1\n")
    code, _, err = arc("user", "add", "petrova", "--name", "Петрова Анна Ивановна",
                       "--position", "врач ФД", "--password-file", password)
    check(code == 0, "an account: " + err)
    code, _, err = arc("user", "add", "petrova", "--name", "Другая", "--password-file", password)
    check(code == 2 and "petrova" in err, "a login once: " + err)
    short = os.path.join(TMP, "short")
    open(short, "w").write("123\n")
    code, _, err = arc("user", "add", "ivanov", "--name", "Иванов", "--password-file", short)
    check(code == 2 and "shorter" in err, "a short password is refused: " + err)

    code, out, _ = arc("find", "--unconfirmed", "--json")
    check(len(out.splitlines()) == 2, "both wait for a doctor: " + out)

    # The proposal of the newer record includes what changed since the older one.
    code, _, err = arc("confirm", str(second), "--doctor", "petrova", "--password-file", password,
                       "--remove", "AFIB", "--add", "AFLT", "--conclusion", "Трепетание")
    check(code == 0 and "confirmed by Петрова Анна Ивановна" in err and "(version 1)" in err,
          "confirmed: " + err)
    trail = audit(second)
    actions = [e["action"] for e in trail]
    # The import's proposal, then the one the confirmation started from: the changes since the
    # previous record are the program's, logged before the doctor's edits.
    check(actions == ["propose", "propose", "confirm"],
          "the proposals, then the confirmation: %s" % actions)
    proposed = [s["code"] for s in trail[1]["after"]["statements"]]
    check("NEW_AFIB" in proposed and "AFIB" in proposed,
          "the proposal logged holds the changes: %s" % proposed)
    check(trail[1]["before"] == trail[0]["after"], "the proposal before it is its before")
    after = trail[-1]["after"]
    codes = [s["code"] for s in after["statements"]]
    check("NEW_AFIB" in codes and "AFLT" in codes and "AFIB" not in codes,
          "the changes since the previous record are proposed, the doctor's edits made: %s" % codes)
    check(after["conclusion"] == "Трепетание" and after["doctor"] == "petrova" and
          trail[-1]["user"] == "petrova" and trail[-1]["time"].endswith("Z"),
          "who, when, what after: %s" % trail[-1])
    check([s["code"] for s in trail[-1]["before"]["statements"]] == proposed,
          "what was there before is the proposal the doctor started from")

    code, _, err = arc("confirm", str(second), "--doctor", "petrova", "--password-file", password)
    check(code == 2 and "confirmed by" in err, "a confirmed record is locked: " + err)
    code, _, err = arc("amend", str(second), "--doctor", "petrova", "--password-file", password)
    check(code == 1 and "--reason" in err, "an amendment needs its reason: " + err)
    wrong = os.path.join(TMP, "wrong")
    open(wrong, "w").write("не тот пароль\n")
    code, _, err = arc("amend", str(second), "--doctor", "petrova", "--password-file", wrong,
                       "--reason", "x")
    check(code == 2 and "wrong password" in err, "a wrong password is refused: " + err)
    code, _, err = arc("amend", str(second), "--doctor", "petrova", "--password-file", password,
                       "--reason", "уточнено", "--add", "NO_SUCH")
    check(code == 2 and "NO_SUCH" in err, "an unknown code is refused: " + err)
    code, _, err = arc("amend", str(second), "--doctor", "petrova", "--password-file", password,
                       "--reason", "уточнено", "--remove", "AFLT", "NEW_AFIB")
    check(code == 1 and "its own --remove" in err, "one code to each --remove: " + err)
    code, _, err = arc("amend", str(second), "--doctor", "petrova", "--password-file", password,
                       "--reason", "уточнено", "--remove", "AFLT", "--add", "AFIB", "--add",
                       "AFIB", "--add", "NEW_AFIB")
    check(code == 0 and "(version 2)" in err, "amended: " + err)
    trail = audit(second)
    codes = [s["code"] for s in trail[-1]["after"]["statements"]]
    check(codes.count("AFIB") == 1 and codes.count("NEW_AFIB") == 1,
          "a statement added twice, or one there already, is said once: %s" % codes)
    check([e["action"] for e in trail] ==
          ["propose", "propose", "confirm", "login-failed", "amend"],
          "the failed password is logged: %s" % [e["action"] for e in trail])
    check(trail[-1]["before"]["version"] == 1 and trail[-1]["after"]["reason"] == "уточнено",
          "the amendment keeps the version before")

    # A confirmed record goes out with the doctor's reading: a FHIR bundle's report is final.
    bundle = os.path.join(TMP, "second.json")
    code, _, err = arc("export", str(second), "--out", bundle)
    check(code == 0, "the confirmed record exported as FHIR: " + err)
    if code == 0:
        report = [e["resource"] for e in json.load(open(bundle, encoding="utf-8"))["entry"]
                  if e["resource"]["resourceType"] == "DiagnosticReport"][0]
        check(report["status"] == "final" and "presentedForm" in report and
              "Фибрилляция предсердий" in report.get("conclusion", ""),
              "final, with the printed report and the amended reading: %s"
              % {k: report.get(k) for k in ("status", "conclusion")})

    code, out, _ = arc("find", "--unconfirmed", "--json")
    rows = [json.loads(line) for line in out.splitlines()]
    check([r["id"] for r in rows] == [first], "the filter leaves only the unconfirmed one")
    code, out, _ = arc("find", "--json")
    row = [json.loads(line) for line in out.splitlines() if json.loads(line)["id"] == second][0]
    check(row["confirmed"] and row["reading_version"] == 2 and
          row["confirmed_by"] == "Петрова Анна Ивановна", "the list says who confirmed it: %s" % row)

    # Two doctors at once: one confirms, the other is told whose confirmation it is.
    code, _, err = arc("user", "add", "ivanov", "--name", "Иванов Пётр", "--password-file",
                       password)
    procs = [subprocess.Popen([CLI, "archive", "confirm", str(first), "--doctor", login,
                               "--password-file", password, "--archive", ARCHIVE],
                              stderr=subprocess.PIPE, env=ENV) for login in ("petrova", "ivanov")]
    results = [(p.wait(timeout=60), p.stderr.read().decode()) for p in procs]
    check(sorted(r[0] for r in results) == [0, 2] and
          any("is confirmed by" in r[1] for r in results),
          "one of two confirmations at once wins: %s" % results)

    # Killed in the middle: the entry and the change land together or not at all.
    db = sqlite3.connect(ARCHIVE)
    rng = random.Random(7)
    for round_ in range(12):
        p = subprocess.Popen([CLI, "archive", "amend", str(second), "--doctor", "petrova",
                              "--password-file", password, "--reason", "r%d" % round_,
                              "--archive", ARCHIVE], stderr=subprocess.DEVNULL, env=ENV)
        time.sleep(rng.uniform(0.05, 0.6))
        p.kill()
        p.wait()
    code, out, err = arc("check")
    check(code == 0 and "chained" in out, "the trail is whole after the kills: " + out + err)
    versions = db.execute("SELECT COUNT(*) FROM readings WHERE record_id = ?", (second,)).fetchone()[0]
    logged = db.execute("SELECT COUNT(*) FROM audit WHERE record_id = ? AND action IN "
                        "('confirm', 'amend')", (second,)).fetchone()[0]
    check(versions == logged and versions >= 2,
          "every version has its entry and no entry lacks its version (%d, %d)" % (versions, logged))

    # A changed entry is found.
    db.execute("UPDATE audit SET after_value = replace(after_value, 'Трепетание', 'Норма')")
    db.commit()
    code, _, err = arc("check")
    check(code == 2 and "altered" in err, "an altered entry is found: " + err)
    return exit_status()


if __name__ == "__main__":
    sys.exit(main())
