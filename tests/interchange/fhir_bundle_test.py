#!/usr/bin/env python3
"""FHIR R4 bundles: velmora-cli export --out x.json of a simulated record, and the bundles of a
doctor's confirmed reading and of an unconfirmed one (confirmed_files_writer), checked by an
independent validator (the npm package "fhir", installed by scripts/install-deps; skipped with a
message when absent) and read back here: the report's status, code, subject and date, its
Observations under their LOINC codes with UCUM units and the values `measure --json` gives, the
statements and their codes, the PDF of the report intact, the Patient in Cyrillic. The validator
must refuse broken bundles, or its verdict would mean nothing."""
import base64
import copy
import json
import math
import re
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from checks import check, exit_status  # noqa: E402

CLI, WRITER = sys.argv[1], sys.argv[2]
TOOLS = os.environ.get("VELMORA_TOOLS", "/opt/velmora-tools")
VALIDATE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fhir_validate.js")
TMP = tempfile.mkdtemp(prefix="velmora-fhir-")
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"), TMPDIR=TMP,
           LC_ALL="C.UTF-8", TZ="Europe/Moscow")
LOINC = {"8867-4": ("heart_rate_bpm", "/min"), "8625-6": ("pr_ms", "ms"),
         "8633-0": ("qrs_ms", "ms"), "8634-8": ("qt_ms", "ms"),
         "8636-3": ("qtc_bazett_ms", "ms"), "8626-4": ("axis_p_deg", "deg"),
         "8632-2": ("axis_qrs_deg", "deg"), "8638-9": ("axis_t_deg", "deg")}


def run(*args):
    r = subprocess.run([CLI, *args], capture_output=True, env=ENV, timeout=120)
    return r.returncode, r.stdout.decode("utf-8", "replace"), r.stderr.decode("utf-8", "replace")


def validate(*paths):
    r = subprocess.run(["node", VALIDATE, TOOLS, *paths], capture_output=True, timeout=120)
    check(r.returncode == 0, "the validator ran: %s" % r.stderr.decode("utf-8", "replace"))
    return {v["file"]: v for v in map(json.loads, r.stdout.decode().splitlines())}


def resources(bundle):
    out = {}
    for e in bundle["entry"]:
        check(e["fullUrl"] == "urn:uuid:" + e["resource"]["id"], "fullUrl names the resource")
        out.setdefault(e["resource"]["resourceType"], []).append(e["resource"])
    return out


def check_bundle(path, confirmed, statements=None, measured=None, taken=None):
    what = os.path.basename(path)
    bundle = json.load(open(path, encoding="utf-8"))
    check(bundle["resourceType"] == "Bundle" and bundle["type"] == "collection",
          "%s: a collection bundle" % what)
    r = resources(bundle)
    report, patient = r["DiagnosticReport"][0], r["Patient"][0]
    check(report["status"] == ("final" if confirmed else "preliminary"),
          "%s: status %s" % (what, report["status"]))
    check({"system": "http://loinc.org", "code": "11524-6", "display": "EKG study"} in
          report["code"]["coding"], "%s: LOINC 11524-6" % what)
    ref = "urn:uuid:" + patient["id"]
    check(report["subject"]["reference"] == ref, "%s: the report's subject is the Patient" % what)
    check(taken is None or report["effectiveDateTime"] == taken.replace(" ", "T") + "+03:00",
          "%s: the record's date %s in the workstation's zone (%s)" %
          (what, taken, report["effectiveDateTime"]))
    # FHIR's own patterns for dateTime, instant-like and date (which the validator leaves alone).
    date_time = r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(Z|[+-]\d\d:\d\d)"
    for key in ("effectiveDateTime", "issued"):
        check(key not in report or re.fullmatch(date_time, report[key]),
              "%s: %s is a dateTime with its zone (%s)" % (what, key, report.get(key)))
    check(re.fullmatch(r"\d{4}-\d\d-\d\d", patient.get("birthDate", "")),
          "%s: birthDate %s" % (what, patient.get("birthDate")))
    observations = {o["id"]: o for o in r.get("Observation", [])}
    results = [x["reference"][len("urn:uuid:"):] for x in report.get("result", [])]
    check(sorted(results) == sorted(observations) and len(results) >= 5,
          "%s: the results are the bundle's %d Observations" % (what, len(observations)))
    for o in observations.values():
        code = o["code"]["coding"][0]
        key, unit = LOINC.get(code["code"], (None, None))
        q = o["valueQuantity"]
        check(code["system"] == "http://loinc.org" and key and q["code"] == unit and
              q["system"] == "http://unitsofmeasure.org" and o["subject"]["reference"] == ref and
              o["status"] == report["status"],
              "%s: Observation %s in %s" % (what, code["code"], q["code"]))
        if measured is not None and key:
            check(measured.get(key) is not None and q["value"] == math.floor(measured[key] + 0.5),
                  "%s: %s is %s as measured (%s)" % (what, key, q["value"], measured.get(key)))
    form = report["presentedForm"][0]
    pdf = base64.b64decode(form["data"])
    check(form["contentType"] == "application/pdf" and pdf.startswith(b"%PDF-") and
          pdf.rstrip().endswith(b"%%EOF") and form["size"] == len(pdf),
          "%s: the printed report as a whole PDF (%d bytes)" % (what, len(pdf)))
    pdf_path = path + ".pdf"
    open(pdf_path, "wb").write(pdf)
    text = subprocess.run(["pdftotext", "-layout", pdf_path, "-"], capture_output=True).stdout
    check("Иванов".encode() in text, "%s: the PDF names the patient" % what)
    name = patient["name"][0]
    check(name["family"].startswith("Иванов") and name["given"] == ["Иван", "Иванович"] and
          patient["gender"] == "male" and patient["identifier"][0]["value"].startswith("VM-"),
          "%s: the Patient in Cyrillic (%s)" % (what, name))
    if statements is not None:
        for t in statements["statements"]:
            check(t in report["conclusion"], "%s: the conclusion says %s" % (what, t))
        coded = [c["coding"][0]["code"] for c in report.get("conclusionCode", [])]
        check(coded == [c for c in statements["codes"] if c],
              "%s: conclusionCode %s" % (what, coded))
        if confirmed:
            check(statements["conclusion"] in report["conclusion"] and
                  "Петрова" in report["resultsInterpreter"][0]["display"] and "issued" in report,
                  "%s: the doctor's conclusion, who confirmed it and when" % what)
    return bundle


def main():
    rec = os.path.join(TMP, "rec.dat")
    card = os.path.join(TMP, "card.txt")
    open(card, "w", encoding="utf-8").write(
        "last_name = Иванов\nfirst_name = Иван\npatronymic = Иванович\nbirth_day = 4\n"
        "birth_month = 5\nbirth_year = 1950\nsex = м\n")
    code, _, err = run("simulate", "--out", rec, "--rhythm", "af", "--card", card)
    check(code == 0, "simulate writes a record: " + err)
    taken = re.search(r"record (\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)", err)
    check(taken is not None, "simulate says the record's date: " + err)
    code, out, err = run("measure", rec, "--json")
    measured = json.loads(out) if code == 0 else {}
    measured = measured.get("measurements", measured)
    cli_json = os.path.join(TMP, "rec.json")
    code, _, err = run("export", rec, "--card", card, "--out", cli_json)
    check(code == 0 and os.path.exists(cli_json), "export --out x.json: " + err)
    if code != 0:
        return
    bundle = check_bundle(cli_json, False, measured=measured, taken=taken and taken.group(1))
    report = resources(bundle)["DiagnosticReport"][0]
    coded = report.get("conclusionCode", [])
    check("AFIB" in [c["coding"][0]["code"] for c in coded] and
          all(c["text"] in report["conclusion"] for c in coded),
          "the automatic statements' codes, atrial fibrillation among them (%s)" %
          [c["coding"][0]["code"] for c in coded])
    again = os.path.join(TMP, "again.json")
    run("export", rec, "--card", card, "--out", again)
    ids = lambda p: [e["fullUrl"] for e in json.load(open(p))["entry"]]  # noqa: E731
    check(ids(cli_json) == ids(again), "the same record gives the same ids")

    out_dir = os.path.join(TMP, "confirmed")
    os.mkdir(out_dir)
    r = subprocess.run([WRITER, out_dir], capture_output=True, env=ENV, timeout=120)
    check(r.returncode == 0, "the writer: %s" % r.stderr.decode("utf-8", "replace"))
    made = json.load(open(os.path.join(out_dir, "statements.json"), encoding="utf-8"))
    paths = [cli_json]
    for stem in ("confirmed", "unconfirmed"):
        path = os.path.join(out_dir, stem + ".json")
        check_bundle(path, stem == "confirmed", statements=made[stem])
        paths.append(path)

    if not os.path.exists(os.path.join(TOOLS, "node_modules", "fhir", "package.json")):
        print("skip the validator: no npm package fhir in %s (scripts/install-deps installs it)"
              % TOOLS)
        return
    # Broken on purpose, each in its own way: a status no report has, a report without its code,
    # a gender the value set lacks, an element R4 does not have, a number as text.
    good = json.load(open(cli_json, encoding="utf-8"))
    broken = []
    for n, spoil in enumerate((
            lambda b: b["entry"][0]["resource"].update(status="done"),
            lambda b: b["entry"][0]["resource"].pop("code"),
            lambda b: b["entry"][-1]["resource"].update(gender="мужской"),
            lambda b: b["entry"][0]["resource"].update(colour="red"),
            lambda b: b["entry"][1]["resource"]["valueQuantity"].update(value="65"))):
        b = copy.deepcopy(good)
        spoil(b)
        p = os.path.join(TMP, "broken-%d.json" % n)
        json.dump(b, open(p, "w"))
        broken.append(p)
    verdicts = validate(*paths, *broken)
    for p in paths:
        v = verdicts.get(p, {})
        check(v.get("valid") is True and not v.get("errors"),
              "the validator finds %s valid: %s" % (os.path.basename(p), v.get("errors")))
    for p in broken:
        v = verdicts.get(p, {})
        check(v.get("valid") is False and v.get("errors"),
              "the validator refuses %s: %s" % (os.path.basename(p), v.get("errors")))


try:
    main()
finally:
    shutil.rmtree(TMP, ignore_errors=True)
sys.exit(exit_status())
