#!/usr/bin/env python3
"""A doctor's confirmed reading in every file type, read by other systems' readers: the SCP-ECG
file by libbiosig's save2gdf, the DICOM object by dciodvfy and pydicom (the doctor as the
physician reading the study, the reading as text annotations under the line naming the doctor
and the time), the HL7 aECG by the schema and its XML (the annotation set authored by the doctor),
the report's PDF by pdftotext (the confirmation line in the conclusion box). Without a confirmed
reading every one still says the automatic statements are unconfirmed, and the DICOM object's
statements follow the caller's rate practice (97/min: a tachycardia by Russian practice, a normal
rate by the AHA's)."""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from checks import check, exit_status  # noqa: E402

WRITER = sys.argv[1]
TMP = tempfile.mkdtemp(prefix="velmora-confirmed-")
REALDATA = os.environ.get("VELMORA_REALDATA") or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), os.pardir, os.pardir, os.pardir, "shared",
    "realdata")
DOCTOR = "Петрова А. И."
CONFIRMED = "Подтверждено: Петрова А. И., 09.12.2026 10:15"
AMENDED = "Изменено: добавлена блокада ножки"
CONCLUSION = "Рекомендовано суточное мониторирование ЭКГ.\nКонтроль через 6 месяцев."
STATEMENTS = ["Синусовая тахикардия (97 в мин)", "Полная блокада правой ножки пучка Гиса"]
UNCONFIRMED = "Автоматическое заключение (не подтверждено врачом)"
HL7 = "{urn:hl7-org:v3}"


def path(name):
    return os.path.join(TMP, name)


def dicom(name):
    """The object's texts as pydicom reads them, printed as Python literals by Debian's Python."""
    script = r'''
import sys, pydicom
d = pydicom.dcmread(sys.argv[1])
texts = [str(a.UnformattedTextValue) for a in d.get("WaveformAnnotationSequence", [])
         if "UnformattedTextValue" in a and int(a.AnnotationGroupNumber) == 2]
print(repr(dict(reader=str(d.get("NameOfPhysiciansReadingStudy", "")), texts=texts,
                study=d.StudyInstanceUID, instance=d.SOPInstanceUID)))
'''
    r = subprocess.run(["/usr/bin/python3", "-c", script, path(name)], capture_output=True,
                       timeout=60)
    if r.returncode != 0:
        return {"error": r.stderr.decode()[-300:]}
    return eval(r.stdout.decode())  # noqa: S307 - our own literal


def dciodvfy_errors(name):
    v = subprocess.run(["dciodvfy", path(name)], capture_output=True, text=True, timeout=60)
    return [line for line in (v.stdout + v.stderr).splitlines() if line.startswith("Error")]


def interpretation(name):
    """The aECG's interpretation: its annotation set's author and time, and its texts by code."""
    series = ET.parse(path(name)).getroot().find("%scomponent/%sseries" % (HL7, HL7))
    for aset in series.iterfind("%ssubjectOf/%sannotationSet" % (HL7, HL7)):
        for ann in aset.iterfind("%scomponent/%sannotation" % (HL7, HL7)):
            if ann.find(HL7 + "code").get("code") != "MDC_ECG_INTERPRETATION":
                continue
            found = {}
            for item in ann.iterfind("%scomponent/%sannotation" % (HL7, HL7)):
                found.setdefault(item.find(HL7 + "code").get("code"), []).append(
                    item.find(HL7 + "value").text)
            author = aset.find("%sauthor/%sassignedEntity/%sassignedAuthorType/%sassignedPerson/"
                               "%sname" % (HL7, HL7, HL7, HL7, HL7))
            return dict(author=None if author is None else author.text,
                        time=aset.find(HL7 + "activityTime").get("value"), texts=found)
    return {}


def pdf_text(name):
    r = subprocess.run(["pdftotext", path(name), "-"], capture_output=True, timeout=60)
    return " ".join(r.stdout.decode("utf-8", "replace").split())


def biosig(name):
    r = subprocess.run(["save2gdf", "-JSON", path(name)], capture_output=True, timeout=60,
                       env=dict(os.environ, TZ="UTC"))
    text = r.stdout.decode("utf-8", "replace")
    if r.returncode != 0 or "{" not in text:
        return None
    return json.JSONDecoder(strict=False).raw_decode(text[text.index("{"):])[0]


try:
    r = subprocess.run([WRITER, TMP], capture_output=True, timeout=240)
    check(r.returncode == 0, "the writer wrote every file: %s" % r.stderr.decode()[-300:])
    made = json.load(open(path("statements.json"), encoding="utf-8"))

    # SCP-ECG: libbiosig still reads both files whole.
    for name in ("confirmed.scp", "unconfirmed.scp"):
        info = biosig(name)
        check(info is not None and info.get("NumberOfChannels") == 12
              and info.get("NumberOfSamples") == 4096, "%s: save2gdf reads it (%s)" % (
                  name, None if info is None else info.get("NumberOfChannels")))
    scp = open(path("confirmed.scp"), "rb").read()
    check(DOCTOR.encode("cp1251") + b"\0" in scp and b"\x15\x0e\x00" in scp,
          "SCP: the doctor in Windows-1251 as tag 21 of Section 1")
    check(DOCTOR.encode("cp1251") not in open(path("unconfirmed.scp"), "rb").read(),
          "SCP: no doctor in the unconfirmed file")

    # DICOM: valid, the reading under the line naming the doctor and the time.
    for name in ("confirmed.dcm", "unconfirmed.dcm", "aha.dcm"):
        errors = dciodvfy_errors(name)
        check(not errors, "%s: dciodvfy finds no error (%s)" % (name, errors[:3]))
    confirmed, unconfirmed, aha = dicom("confirmed.dcm"), dicom("unconfirmed.dcm"), dicom("aha.dcm")
    check("error" not in confirmed, "pydicom reads the confirmed object: %s"
          % confirmed.get("error", ""))
    check(confirmed.get("reader") == "Петрова^А. И.",
          "DICOM: the doctor as the physician reading the study (%s)" % confirmed.get("reader"))
    check(confirmed.get("texts") == [CONFIRMED, AMENDED] + STATEMENTS + ["Заключение: " + CONCLUSION],
          "DICOM: confirmation, amendment, statements, conclusion in order (%s)"
          % confirmed.get("texts"))
    check(unconfirmed.get("reader") == "" and unconfirmed.get("texts", [""])[0] == UNCONFIRMED,
          "DICOM: an unconfirmed reading leaves the automatic statements under the unconfirmed "
          "heading (%s)" % unconfirmed.get("texts"))
    check(confirmed.get("study") == unconfirmed.get("study")
          and confirmed.get("instance") != unconfirmed.get("instance"),
          "DICOM: the confirmed reading is a new instance of the same study")
    # The object carries what the records layer made through the caller's practice.
    russian_texts = unconfirmed.get("texts", [])[1:]
    aha_texts = aha.get("texts", [])[1:]
    check(russian_texts == made["unconfirmed"]["statements"]
          and aha_texts == made["aha"]["statements"],
          "DICOM: the statements the records layer made, by either practice")
    check(any(t.startswith("Синусовая тахикардия") for t in russian_texts)
          and any(t.startswith("Синусовый ритм") for t in aha_texts)
          and not any(t.startswith("Синусовая тахикардия") for t in aha_texts),
          "DICOM: 97/min a tachycardia by Russian practice, a sinus rhythm by the AHA's (%s / %s)"
          % (russian_texts[:1], aha_texts[:1]))

    # HL7 aECG: the doctor's annotation set, valid against the schema.
    c, u = interpretation("confirmed.xml"), interpretation("unconfirmed.xml")
    check(c.get("author") == DOCTOR and c.get("time") == "20261209101530",
          "aECG: the set authored by the doctor at the confirmation (%s, %s)"
          % (c.get("author"), c.get("time")))
    # A value is one line of text: the conclusion's line break a blank.
    check(c.get("texts", {}).get("MDC_ECG_INTERPRETATION_STATEMENT") ==
          STATEMENTS + ["Заключение: " + CONCLUSION.replace("\n", " ")],
          "aECG: the statements and the conclusion (%s)" % c.get("texts"))
    check(c.get("texts", {}).get("MDC_ECG_INTERPRETATION_COMMENT") == [CONFIRMED, AMENDED],
          "aECG: the confirmation and the amendment as comments")
    check(u.get("author") is None and
          u.get("texts", {}).get("MDC_ECG_INTERPRETATION_COMMENT") == [UNCONFIRMED] and
          u.get("texts", {}).get("MDC_ECG_INTERPRETATION_STATEMENT") ==
          made["unconfirmed"]["statements"],
          "aECG: unconfirmed, no author, the automatic statements (%s)" % u)
    schema_zip = os.path.join(REALDATA, "aecg", "hl7_aecg_schema_2003-12.zip")
    if os.path.exists(schema_zip):
        zipfile.ZipFile(schema_zip).extractall(path("xsd"))
        xsd = [os.path.join(d, f) for d, _, fs in os.walk(path("xsd"))
               for f in fs if f == "PORT_MT020001.xsd"]
        for name in ("confirmed.xml", "unconfirmed.xml"):
            v = subprocess.run(["xmllint", "--noout", "--schema", xsd[0], path(name)],
                               capture_output=True, text=True)
            check(v.returncode == 0 and "validates" in v.stderr,
                  "%s valid against the HL7 aECG schema: %s" % (name, v.stderr.strip()[-300:]))
    else:
        print("skip the schema check: no ../shared/realdata or VELMORA_REALDATA")

    # The report: the reading and who confirmed it, or the unconfirmed heading.
    text = pdf_text("confirmed.pdf")
    plain = " ".join(CONCLUSION.split())
    check(CONFIRMED in text and AMENDED in text and plain in text
          and "Полная блокада правой ножки пучка Гиса" in text,
          "PDF: the statements, the conclusion and the confirmation line (%s)"
          % re.sub(r"^.*Заключение", "Заключение", text)[:400])
    check(UNCONFIRMED not in text, "PDF: a confirmed reading is not called unconfirmed")
    text = pdf_text("unconfirmed.pdf")
    check(UNCONFIRMED in text and "Подтверждено:" not in text,
          "PDF: without a confirmation the automatic heading as before")
finally:
    shutil.rmtree(TMP, ignore_errors=True)

sys.exit(exit_status())
