#!/usr/bin/env python3
"""SCP-ECG files written by velmora, read back by a reader of this script's own (file and section
CRCs, the section table, Section 1 tag by tag and byte by byte, the leads of Section 3, the samples
of Section 6 against the record they came from) and by libbiosig's save2gdf."""
import binascii
import datetime
import json
import os
import pwd
import shutil
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from checks import check, exit_status  # noqa: E402

WRITER = sys.argv[1]
SAVE2GDF = shutil.which("save2gdf")
POINTS = 4096


def crc(data):
    return binascii.crc_hqx(data, 0xFFFF)  # CRC-CCITT, polynomial 0x1021, initial 0xFFFF


def z(text):
    return text.encode("cp1251") + b"\0"


FULL_CARD = dict(last="Иванов", first="Иван", second="Петрович", birth=(1950, 12, 31), sex=1,
                 height=180, weight=80, years=17,
                 address=["143180", "Московская обл.", "Одинцовский р-н", "Звенигород",
                          "ул. Ленина", "д. 5, кв. 12"])
BARE_CARD = dict(last="Смирнова", first="Анна", second="Юрьевна", birth=(1950, 1, 1), sex=0,
                 height=165, weight=58, years=0, address=[""] * 6)
TWELVE = [1, 2, 61, 62, 63, 64, 3, 4, 5, 6, 7, 8]
FILES = {
    "twelve": dict(card=FULL_CARD, leads=TWELVE, device=(7 << 32) | 0x12345678),
    "neb": dict(card=BARE_CARD, leads=[70, 71, 72], device=0),
    "slopak": dict(card=BARE_CARD, leads=[75, 76, 77, 78], device=(255 << 32) | 0x80004001),
}
LABELS = {1: "I", 2: "II", 61: "III", 62: "aVR", 63: "aVL", 64: "aVF", 3: "V1", 4: "V2",
          5: "V3", 6: "V4", 7: "V5", 8: "V6"}


def serial_text(device):
    if device == 0:
        return ""
    low = device & 0xFFFFFFFF
    return "K.10%d.%05d.%04d" % (device >> 32, (low >> 14) & 0x1FFFF, low & 0x3FFF)


def expected_section1(card, device):
    """(tag, value) in file order; None for the filter tags 27-29, the library's defaults."""
    year, month, day = card["birth"]
    tags = [(0, z(card["last"])), (1, z(card["first"])), (2, b"\0"), (3, z(card["second"])),
            (4, struct.pack("<HB", 2012 - year, 1)), (5, struct.pack("<HBB", year, month, day)),
            (6, struct.pack("<HB", card["height"], 1)), (7, struct.pack("<HB", card["weight"], 1)),
            (8, bytes([1 if card["sex"] == 1 else 2]))]
    program = b"ORMIK300 v.1.1\0"
    tag14 = struct.pack("<HHHBB6sBBBBB16sB", 0, 0, 0, 0, 255, b"OR", 20, 1, 0x13, 0xF0, 1, b"",
                        len(program))
    tag14 += program + z(serial_text(device)) + b"V 06 R 10\0OSCP v.1.02\0QELT\0"
    tags += [(14, tag14), (24, b"\0"), (25, struct.pack("<HBB", 2012, 5, 4)), (26, bytes([14, 5, 0])),
             (27, None), (28, None), (29, None), (34, bytes(5))]
    tags += [(200 + i, z(text)) for i, text in enumerate(card["address"]) if text]
    tags += [(206, struct.pack("<i", card["years"])), (255, b"")]
    return tags


def read_sections(name, data):
    check(len(data) >= 22 and struct.unpack_from("<I", data, 2)[0] == len(data),
          name + ": file length field")
    check(crc(data[2:]) == struct.unpack_from("<H", data, 0)[0], name + ": file CRC")
    s0_id, s0_len = struct.unpack_from("<HI", data, 8)
    check(s0_id == 0 and data[16:22] == b"SCPECG", name + ": Section 0 header")
    table = {}
    for at in range(22, 6 + s0_len, 10):
        sid, length, index = struct.unpack_from("<HII", data, at)
        table[sid] = (length, index)
    check(sorted(table) == list(range(12)), name + ": pointers for Sections 0-11")
    check(table[0] == (s0_len, 7), name + ": Section 0 points at itself")
    sections, end = {}, 6
    for sid, (length, index) in sorted(table.items(), key=lambda kv: kv[1][1]):
        if length == 0:
            continue
        sec = data[index - 1:index - 1 + length]
        check(index - 1 == end, "%s: Section %d follows the one before it" % (name, sid))
        end = index - 1 + length
        check(crc(sec[2:]) == struct.unpack_from("<H", sec, 0)[0], "%s: Section %d CRC" % (name, sid))
        check(struct.unpack_from("<HI", sec, 2) == (sid, length) and length % 2 == 0
              and sec[8] == 20 and sec[9] == 20, "%s: Section %d header" % (name, sid))
        sections[sid] = sec
    check(end == len(data), name + ": sections fill the file")
    check(sorted(sections) == [0, 1, 3, 6], name + ": Sections 0, 1, 3 and 6 present")
    return sections


def check_section1(name, sec, case):
    tags, at = [], 16
    while at + 3 <= len(sec):
        tag, length = sec[at], struct.unpack_from("<H", sec, at + 1)[0]
        tags.append((tag, sec[at + 3:at + 3 + length]))
        at += 3 + length
        if tag == 255:
            break
    check(all(b == 0 for b in sec[at:]) and len(sec) - at <= 1, name + ": Section 1 ends at tag 255")
    expected = expected_section1(case["card"], case["device"])
    check([t for t, _ in tags] == [t for t, _ in expected],
          "%s: Section 1 tags %s" % (name, [t for t, _ in tags]))
    for (tag, value), (_, want) in zip(tags, expected):
        if want is None:
            check(len(value) == {27: 2, 28: 2, 29: 1}[tag], "%s: tag %d length" % (name, tag))
        else:
            check(value == want, "%s: tag %d = %s" % (name, tag, value.hex(" ")))


def check_leads_and_samples(name, sections, case, record):
    leads = case["leads"]
    n = len(leads)
    s3 = sections[3]
    check(s3[16] == n and s3[17] == (n << 3) | 0x04, name + ": Section 3 lead count and flags")
    for i, code in enumerate(leads):
        check(struct.unpack_from("<IIB", s3, 18 + 9 * i) == (1, POINTS, code),
              "%s: Section 3 lead %d is %d, samples 1-%d" % (name, i, code, POINTS))
    s6 = sections[6]
    check(struct.unpack_from("<HHBB", s6, 16) == (2000, 2500, 0, 0),
          name + ": Section 6 2000 nV, 2500 us, no difference or bimodal coding")
    check(list(struct.unpack_from("<%dH" % n, s6, 22)) == [2 * POINTS] * n,
          name + ": Section 6 lead lengths")
    data_at = 22 + 2 * n
    check(len(s6) == data_at + 2 * POINTS * n, name + ": Section 6 holds the samples and nothing else")
    wrong = 0
    for k in range(n):
        lead = struct.unpack_from("<%dh" % POINTS, s6, data_at + 2 * POINTS * k)
        want = [struct.unpack_from("<h", record, 28 + (j * 12 + k) * 2)[0] for j in range(POINTS)]
        wrong += sum(1 for a, b in zip(lead, want) if a != b)
    check(wrong == 0, "%s: Section 6 samples equal the record's lanes (%d differ)" % (name, wrong))


def check_with_save2gdf(name, path, case):
    if not SAVE2GDF:
        check(False, "save2gdf (biosig-tools) is installed")
        return
    run = subprocess.run([SAVE2GDF, "-JSON", "-n", path], capture_output=True,
                         env=dict(os.environ, TZ="UTC"), timeout=60)
    text = run.stdout.decode("utf-8", errors="replace")
    check(run.returncode == 0 and "{" in text, name + ": save2gdf reads the file")
    if "{" not in text:
        return
    # Names keep their 0x1F separators, a control character strict JSON refuses.
    info, _ = json.JSONDecoder(strict=False).raw_decode(text[text.index("{"):])
    card = case["card"]
    check(info["TYPE"] == "SCP" and abs(info["VERSION"] - 2.0) < 1e-9, name + ": SCP-ECG version 2")
    check(info["NumberOfChannels"] == len(case["leads"]) and info["NumberOfSamples"] == POINTS
          and info["Samplingrate"] == 400, name + ": channels, 4096 samples at 400 Hz")
    start = datetime.datetime.strptime(info["StartOfRecording"], "%Y-%m-%d %H:%M:%S.%f")
    check(abs(start - datetime.datetime(2012, 5, 4, 14, 5, 0)).total_seconds() < 0.01,
          name + ": recording start " + info["StartOfRecording"])
    patient = info["Patient"]

    # Standard readers take language code 0x13 as ISO-8859-5: the maker's bytes, other letters.
    def as_read(text):
        return text.encode("cp1251").decode("iso8859_5")

    check(patient.get("Lastname") == as_read(card["last"])
          and patient.get("Firstname") == as_read(card["first"])
          and patient.get("Second_Lastname") == as_read(card["second"]),
          name + ": names " + repr(patient))
    check(patient.get("Gender") == ("Male" if card["sex"] == 1 else "Female")
          and patient.get("Height") == "%d cm" % card["height"]
          and patient.get("Weight") == "%d kg" % card["weight"], name + ": sex, height, weight")
    check(info["Manufacturer"]["Name"] == "QELT" and info["Manufacturer"]["Model"] == "OR"
          and info["Manufacturer"]["SerialNumber"] == serial_text(case["device"]),
          name + ": device " + repr(info["Manufacturer"]))
    channels = info["CHANNEL"]
    if case["leads"] == TWELVE:
        check([c["Label"] for c in channels] == [LABELS[c] for c in TWELVE], name + ": lead labels")
    check(all(c["PhysicalUnit"] == "uV" and c["scaling"] == 2 and c["offset"] == 0
              for c in channels), name + ": 2 uV per count")


def main():
    folder = tempfile.mkdtemp(prefix="velmora-scp-")
    try:
        # Five hours east of UTC: acquisition tags must carry the device's clock unshifted.
        run = subprocess.run([WRITER, folder], env=dict(os.environ, TZ="XXX-05"), timeout=120)
        check(run.returncode == 0, "the sample writer wrote its files")
        logins = {pwd.getpwuid(os.geteuid()).pw_name, os.environ.get("USER", ""),
                  os.environ.get("LOGNAME", "")} - {""}
        for name, case in FILES.items():
            path = os.path.join(folder, name + ".scp")
            if not os.path.exists(path):
                check(False, path + " exists")
                continue
            data = open(path, "rb").read()
            record = open(os.path.join(folder, name + ".record"), "rb").read()
            check(not any(login.encode() in data for login in logins),
                  name + ": no login name in the file")
            sections = read_sections(name, data)
            if 1 in sections:
                check_section1(name, sections[1], case)
            if 3 in sections and 6 in sections:
                check_leads_and_samples(name, sections, case, record)
            check_with_save2gdf(name, path, case)
        check(sorted(os.listdir(folder)) == sorted(n + e for n in FILES for e in (".scp", ".record")),
              "no temporary files left in the folder")
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    return exit_status()


if __name__ == "__main__":
    sys.exit(main())
