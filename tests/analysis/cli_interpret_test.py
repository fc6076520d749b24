#!/usr/bin/env python3
"""velmora-cli interpret and measure --json: the statements with their codes, texts and
evidence, the card's sex and age, the rate practice of --rates and of the settings file, and bad
input refused. The real data (PhysioNet) is read where it lies; without it the script says so
and checks the simulated records only."""
import json
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from checks import check, exit_status  # noqa: E402

CLI = sys.argv[1]
SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, os.pardir)
REAL = os.environ.get("VELMORA_REALDATA") or os.path.join(SOURCE, os.pardir, "shared", "realdata")
TMP = tempfile.mkdtemp(prefix="velmora-interpret-")
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"), LC_ALL="C.UTF-8")


def run(*args):
    r = subprocess.run([CLI, *args], capture_output=True, env=ENV, timeout=120)
    return r.returncode, r.stdout.decode("utf-8", "replace"), r.stderr.decode("utf-8", "replace")


def codes(out):
    return [s["code"] for s in json.loads(out)["statements"]]


def simulated():
    """Records whose truth is known, with a card: the statements follow the card's sex."""
    card = os.path.join(TMP, "card.txt")
    text = ("last_name = Сидорова\nfirst_name = Анна\npatronymic = Павловна\nbirth_day = 1\n"
            "birth_month = 2\nbirth_year = 1960\nsex = ж\nheight = 166\nweight = 64\n"
            "doctor_name = Петров П.П.\ndoctor_phone = 123\n")
    with open(card, "w", encoding="utf-8") as f:
        f.write(text)
    rec = os.path.join(TMP, "af.scp")
    code, _, err = run("simulate", "--out", rec, "--rhythm", "af", "--card", card)
    check(code == 0, "simulate writes an atrial fibrillation: " + err)
    code, out, err = run("interpret", rec, "--json")
    check(code == 0 and "AFIB" in codes(out), "it reads as atrial fibrillation: " + out + err)
    if code == 0:
        check(json.loads(out)["notes"] == [], "the card gave the sex and the age: " + out)
    # ST elevation of 0.17 mV in V1-V4 meets the threshold of V2-V3 for this woman (0.15 mV),
    # not for a man (0.2 mV).
    for sex, expected in (("ж", True), ("м", False)):
        with open(card, "w", encoding="utf-8") as f:
            f.write(text.replace("sex = ж", "sex = " + sex))
        rec = os.path.join(TMP, "st-%s.dat" % ("f" if expected else "m"))
        code, _, err = run("simulate", "--out", rec, "--st-elevation", "0.17", "--card", card)
        check(code == 0, "simulate writes an ST elevation: " + err)
        code, out, err = run("interpret", rec, "--json")
        check(code == 0 and ("STE" in codes(out)) == expected,
              "ST elevation %s for sex %s: %s%s" % (expected, sex, codes(out) if code == 0 else "",
                                                     err))


def main():
    simulated()
    # A sinus rhythm of 97/min whose every cycle is over 90/min: a tachycardia by Russian
    # practice, not by the AHA's. Without a card the age is noted as assumed.
    fast = os.path.join(TMP, "fast.dat")
    code, _, err = run("simulate", "--out", fast, "--rate", "97")
    check(code == 0, "simulate writes a sinus rhythm of 97/min: " + err)
    code, out, err = run("interpret", fast, "--json")
    check(code == 0, "interpret --json exits 0: " + err)
    doc = json.loads(out) if code == 0 else {"statements": [], "notes": []}
    check("STACH" in [s["code"] for s in doc["statements"]], "97/min is a tachycardia: %s" % out)
    for s in doc["statements"]:
        check(s["text"] and s["text_en"] and isinstance(s["evidence"], dict),
              "each statement has its texts and evidence: %s" % s)
    stach = [s for s in doc["statements"] if s["code"] == "STACH"]
    if stach:
        check(stach[0]["text"].startswith("Синусовая тахикардия"), stach[0]["text"])
        check(abs(stach[0]["evidence"]["heart_rate_bpm"] - 97) < 1.5, str(stach[0]))
        check(stach[0]["evidence"]["slowest_bpm"] > 90, str(stach[0]))
    check(any("Возраст" in n for n in doc["notes"]), "the missing age is noted: %s" % doc["notes"])

    code, out, err = run("interpret", fast, "--json", "--rates", "aha")
    check(code == 0 and "SR" in codes(out) and "STACH" not in codes(out),
          "by the AHA's limits 97/min is a normal rate: " + out + err)
    ini = os.path.join(TMP, "velmora.ini")
    with open(ini, "w", encoding="utf-8") as f:
        f.write("[Analysis]\nm_szRatePractice=aha\n")
    code, out, err = run("interpret", fast, "--json", "--config", ini)
    check(code == 0 and "SR" in codes(out), "the settings file chooses the AHA's limits: " + err)

    code, out, err = run("interpret", fast)
    check(code == 0 and out.startswith("Автоматическое заключение (не подтверждено врачом)")
          and "STACH" in out, "the text form heads the statements as unconfirmed: " + out)

    # measure --json carries the same statements.
    code, out, err = run("measure", fast, "--json")
    check(code == 0 and "STACH" in codes(out) and "heart_rate_bpm" in json.loads(out),
          "measure --json has the statements beside the values: " + err)

    code, out, err = run("interpret", fast, "--rates", "usa")
    check(code == 1 and "--rates" in err, "an unknown practice is bad usage: %d %s" % (code, err))
    if not os.path.isdir(REAL):
        print("no real data at %s (VELMORA_REALDATA): skipped the real records" % REAL)
    else:
        # LUDB 185: a sinus rhythm of 92/min whose slower cycles are under 90/min, a normal
        # rate as its cardiologists wrote.
        code, out, err = run("interpret", os.path.join(REAL, "wfdb", "ludb", "185.hea"), "--json")
        check(code == 0 and "SR" in codes(out) and "STACH" not in codes(out),
              "LUDB 185 reads as a sinus rhythm of normal rate: " + out + err)
    junk = os.path.join(TMP, "junk.scp")
    with open(junk, "wb") as f:
        f.write(b"\0" * 300)
    code, out, err = run("interpret", junk)
    check(code == 2 and not out, "a file that is no record exits 2: %d %s" % (code, err))
    return exit_status()


if __name__ == "__main__":
    try:
        sys.exit(main())
    finally:
        shutil.rmtree(TMP, ignore_errors=True)
