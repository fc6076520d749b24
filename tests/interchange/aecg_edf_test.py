#!/usr/bin/env python3
"""velmora-cli export to HL7 aECG and EDF+: the aECG is valid against the HL7 aECG schema
(xmllint), the EDF+ header says what the standard asks (read here field by field), and both read
back through libbiosig (velmora-cli's own reading of other systems' files) to the record's samples,
the extremes of the 16-bit range included; an empty lane is left out and comes back empty. The aECG
carries the automatic statements, marked unconfirmed."""
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from checks import check, exit_status  # noqa: E402
from record_block import card_text, record  # noqa: E402

CLI = sys.argv[1]
TMP = tempfile.mkdtemp(prefix="velmora-aecg-")
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"), TMPDIR=TMP,
           LC_ALL="C.UTF-8")
REALDATA = os.environ.get("VELMORA_REALDATA") or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), os.pardir, os.pardir, os.pardir, "shared",
    "realdata")


def run(*args):
    r = subprocess.run([CLI, *args], capture_output=True, env=ENV, timeout=60)
    return r.returncode, r.stderr.decode("utf-8", "replace")


def samples(dat):
    return struct.unpack_from("<%dh" % (4096 * 12), open(dat, "rb").read(), 28)


try:
    rec = bytearray(record())
    struct.pack_into("<h", rec, 28, -32768)
    struct.pack_into("<h", rec, 28 + 24, 32767)
    for p in range(4096):  # lane V3 (8) empty: no lead there
        struct.pack_into("<h", rec, 28 + 2 * (p * 12 + 8), 0)
    dat = os.path.join(TMP, "rec.dat")
    open(dat, "wb").write(rec)
    card = os.path.join(TMP, "card.txt")
    open(card, "w", encoding="utf-8").write(card_text())
    want = samples(dat)

    for ext in ("xml", "edf"):
        out = os.path.join(TMP, "rec." + ext)
        code, err = run("export", dat, "--card", card, "--out", out)
        check(code == 0, "export to .%s: %s" % (ext, err.strip()))
        back = os.path.join(TMP, "back-%s.dat" % ext)
        code, err = run("export", out, "--out", back)
        check(code == 0, ".%s read back through libbiosig: %s" % (ext, err.strip()))
        if code == 0:
            got = samples(back)
            check(got == want, ".%s: every sample back as it was (%d differ)" %
                  (ext, sum(a != b for a, b in zip(got, want))))

    xml = open(os.path.join(TMP, "rec.xml"), encoding="utf-8").read()
    check("MDC_ECG_LEAD_V3" not in xml and xml.count("<digits>") == 11,
          "aECG: eleven leads, the empty V3 left out")
    check("<name>Иванов Иван Иванович</name>" in xml and 'increment value="0.00244140625"' in xml,
          "aECG: the Cyrillic name in UTF-8, one sample every 1/409.6 s")
    device = xml[xml.find("<seriesAuthor>"):xml.find("</seriesAuthor>")]
    check('<id extension="K.107.00011.5434"/>' in device and "<manufacturerModelName>" in device
          and "<manufacturerOrganization><name>" in device,
          "aECG: the cardiograph with the record's serial number (%r)" % device)
    # A record with a known finding: the statements `velmora-cli interpret` makes of it in the
    # series' annotation set, one statement annotation each, the unconfirmed heading as the
    # interpretation's comment; the file stays valid and readable by libbiosig.
    sim = os.path.join(TMP, "af.dat")
    code, err = run("simulate", "--rhythm", "af", "--conduction", "rbbb", "--card", card,
                    "--out", sim)
    check(code == 0, "a simulated record with atrial fibrillation: %s" % err.strip())
    sim_xml = os.path.join(TMP, "af.xml")
    code, err = run("export", sim, "--card", card, "--out", sim_xml)
    check(code == 0, "export it to .xml: %s" % err.strip())
    code, err = run("export", sim_xml, "--out", os.path.join(TMP, "af-back.dat"))
    check(code == 0, "its aECG read back through libbiosig: %s" % err.strip())
    r = subprocess.run([CLI, "interpret", sim, "--json", "--rates", "russian"],
                       capture_output=True, env=ENV, timeout=60)
    said = [s["text"] for s in json.loads(r.stdout.decode())["statements"]] if r.returncode == 0 \
        else []
    check("Фибрилляция предсердий" in said, "the simulated finding is found (%s)" % said)
    hl7 = "{urn:hl7-org:v3}"
    series = ET.parse(sim_xml).getroot().find("%scomponent/%sseries" % (hl7, hl7))
    found = {}
    for ann in series.iterfind("%ssubjectOf/%sannotationSet/%scomponent/%sannotation"
                               % (hl7, hl7, hl7, hl7)):
        if ann.find(hl7 + "code").get("code") != "MDC_ECG_INTERPRETATION":
            continue
        for item in ann.iterfind("%scomponent/%sannotation" % (hl7, hl7)):
            found.setdefault(item.find(hl7 + "code").get("code"), []).append(
                item.find(hl7 + "value").text)
    check(found.get("MDC_ECG_INTERPRETATION_STATEMENT") == said,
          "aECG: every statement in order (%s)" % found.get("MDC_ECG_INTERPRETATION_STATEMENT"))
    check(found.get("MDC_ECG_INTERPRETATION_COMMENT") ==
          ["Автоматическое заключение (не подтверждено врачом)"],
          "aECG: marked unconfirmed (%s)" % found.get("MDC_ECG_INTERPRETATION_COMMENT"))

    schema_zip = os.path.join(REALDATA, "aecg", "hl7_aecg_schema_2003-12.zip")
    if os.path.exists(schema_zip):
        zipfile.ZipFile(schema_zip).extractall(os.path.join(TMP, "xsd"))
        xsd = [os.path.join(d, f) for d, _, fs in os.walk(os.path.join(TMP, "xsd"))
               for f in fs if f == "PORT_MT020001.xsd"]
        for name in ("rec.xml", "af.xml"):
            v = subprocess.run(["xmllint", "--noout", "--schema", xsd[0],
                                os.path.join(TMP, name)], capture_output=True, text=True)
            check(v.returncode == 0 and "validates" in v.stderr,
                  "%s valid against the HL7 aECG schema: %s" % (name, v.stderr.strip()[-300:]))
    else:
        print("skip the schema check: no ../shared/realdata or VELMORA_REALDATA")

    edf = open(os.path.join(TMP, "rec.edf"), "rb").read()
    head = edf[:256].decode("ascii")
    ns = int(head[252:256])
    check(head[:8].strip() == "0" and head[192:197] == "EDF+C" and int(head[236:244]) == 16
          and head[244:252].strip() == "0.625" and ns == 12 and int(head[184:192]) == 256 * 13,
          "EDF+: version, EDF+C, 16 records of 0.625 s, 11 leads and the annotations")
    check(head[8:88].strip() == "X M 04-MAY-1950 Ivanov_Ivan_Ivanovich"
          and head[88:168].startswith("Startdate 08-DEC-2026 "),
          "EDF+: patient and recording fields (%r)" % head[8:88].strip())
    sig = edf[256:256 * (ns + 1)].decode("ascii")

    def field(offset, width, k):
        return sig[offset * ns + width * k: offset * ns + width * (k + 1)].strip()
    labels = [field(0, 16, k) for k in range(ns)]
    check(labels[:4] == ["ECG I", "ECG II", "ECG III", "ECG aVR"] and "ECG V3" not in labels
          and labels[-1] == "EDF Annotations", "EDF+: standard labels (%s)" % labels)
    # Physical min/max over digital min/max: exactly 2 µV a unit.
    pmin, pmax = float(field(104, 8, 0)), float(field(112, 8, 0))
    dmin, dmax = int(field(120, 8, 0)), int(field(128, 8, 0))
    check((pmax - pmin) / (dmax - dmin) == 2.0 and field(96, 8, 0) == "uV", "EDF+: 2 uV a unit")
    record_bytes = 2 * (11 * 256 + int(field(216, 8, ns - 1)))
    check(len(edf) == 256 * (ns + 1) + 16 * record_bytes, "EDF+: the file is header + 16 records")
    second = 256 * (ns + 1) + record_bytes
    tal = edf[second + 2 * 11 * 256:second + record_bytes]
    check(tal.startswith(b"+0.625\x14\x14\x00"), "EDF+: each record keeps its time (%r)" % tal[:12])

    # The cardiograph's other lead systems: their files name each lead by what it is. Nehb's
    # third lead (the cardiograph labels it "I") is J, never Einthoven's I; Slopak's are the
    # auxiliary unipolar leads A1-A4 of the MDC codes.
    for system, mdc, edf_labels in ((2, ["D", "A", "J"], ["ECG D", "ECG A", "ECG J"]),
                                    (3, ["A1", "A2", "A3", "A4"],
                                     ["ECG S1", "ECG S2", "ECG S3", "ECG S4"])):
        other = bytearray(record())
        struct.pack_into("<I", other, 28 + 98304 + 4, system)
        src = os.path.join(TMP, "system%d.dat" % system)
        open(src, "wb").write(other)
        for ext in ("xml", "edf"):
            out = os.path.join(TMP, "system%d.%s" % (system, ext))
            code, err = run("export", src, "--card", card, "--out", out)
            check(code == 0, "lead system %d to .%s: %s" % (system, ext, err.strip()))
        xml = open(os.path.join(TMP, "system%d.xml" % system), encoding="utf-8").read()
        codes = [c.split('"')[0] for c in xml.split('code="MDC_ECG_LEAD_')[1:]]
        check(codes == mdc, "lead system %d: aECG leads %s" % (system, codes))
        raw = open(os.path.join(TMP, "system%d.edf" % system), "rb").read()
        ns = int(raw[252:256])
        head = raw[:256 * (ns + 1)].decode("ascii")
        labels = [head[256 + 16 * k:256 + 16 * (k + 1)].strip() for k in range(ns)]
        check(labels[:-1] == edf_labels, "lead system %d: EDF+ labels %s" % (system, labels))
finally:
    shutil.rmtree(TMP, ignore_errors=True)
sys.exit(exit_status())
