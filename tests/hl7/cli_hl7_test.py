#!/usr/bin/python3
"""velmora-cli hl7 end to end against python3-hl7's MLLP server: the message as the server parses
it (the patient in Cyrillic, the LOINC codes with the values `measure --json` gives, the status,
the embedded PDF), exit codes on a refusal, silence, a closed connection and garbage, and the
outbox that keeps every unacknowledged message until a retry reaches a server that accepts it."""
import json
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from checks import check, exit_status  # noqa: E402

CLI = sys.argv[1]
HERE = os.path.dirname(os.path.abspath(__file__))
TMP = tempfile.mkdtemp(prefix="velmora-hl7-")
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"),
           XDG_DATA_HOME=os.path.join(TMP, "data"), LC_ALL="C.UTF-8")
OUTBOX = os.path.join(TMP, "data", "velmora", "hl7-outbox")
CARD = """last_name = Щербакова|Ёлкина
first_name = Анна
patronymic = Сергеевна
birth_day = 4
birth_month = 5
birth_year = 1950
sex = ж
height = 165
weight = 60
doctor_name = Петров П.П.
doctor_phone = 123
"""
LOINC = {"8867-4": "heart_rate_bpm", "8625-6": "pr_ms", "8633-0": "qrs_ms", "8634-8": "qt_ms",
         "8636-3": "qtc_bazett_ms", "8626-4": "axis_p_deg", "8632-2": "axis_qrs_deg",
         "8638-9": "axis_t_deg"}


def run(*args):
    r = subprocess.run([CLI, *args], capture_output=True, env=ENV, timeout=120)
    return r.returncode, r.stdout.decode("utf-8", "replace"), r.stderr.decode("utf-8", "replace")


class Server:
    def __init__(self, answer):
        self.p = subprocess.Popen(["/usr/bin/python3", os.path.join(HERE, "hl7_server.py"),
                                   "--answer", answer], stdout=subprocess.PIPE, text=True,
                                  encoding="utf-8")
        self.port = int(self.p.stdout.readline().split()[1])  # "ready PORT"

    def stop(self):
        self.p.kill()
        out = self.p.communicate(timeout=30)[0]
        return [json.loads(line[8:]) for line in out.splitlines() if line.startswith("message ")]


def outbox():
    return sorted(n for n in os.listdir(OUTBOX) if n.endswith(".hl7")) if os.path.isdir(
        OUTBOX) else []


def main():
    record = os.path.join(TMP, "rec.dat")
    code, _, err = run("simulate", "--out", record)
    check(code == 0, "simulate writes the record: " + err)
    card = os.path.join(TMP, "card.txt")
    with open(card, "w", encoding="utf-8") as f:
        f.write(CARD)
    # The patient's sex and age steer the statements: measure the record carrying the card.
    carded = os.path.join(TMP, "carded.ecg")
    code, _, err = run("export", record, "--card", card, "--out", carded)
    check(code == 0, "export with the card: " + err)
    code, out, err = run("measure", carded, "--json")
    check(code == 0, "measure --json: " + err)
    measured = json.loads(out) if code == 0 else {}

    # Accepted: the message as the hospital system reads it.
    server = Server("aa")
    code, _, err = run("hl7", record, "--card", card, "--accession", "ACC-77",
                       "--to", "127.0.0.1:%d" % server.port)
    got = server.stop()
    check(code == 0 and len(got) == 1, "AA: exit 0 and one message: %d %s" % (code, err))
    check(outbox() == [], "AA: the outbox is empty again")
    if got:
        m = got[0]
        check(m["type"] == "ORU^R01^ORU_R01" and m["version"] == "2.5.1"
              and m["charset"] == "UNICODE UTF-8", "MSH: ORU^R01, 2.5.1, UTF-8: %s" % m)
        check((m["family"], m["given"], m["middle"]) == ("Щербакова|Ёлкина", "Анна", "Сергеевна"),
              "PID-5: the Cyrillic names, the '|' escaped and back: %s %s %s"
              % (m["family"], m["given"], m["middle"]))
        check(m["birth"] == "19500504" and m["sex"] == "F", "PID-7/8: %s %s" % (m["birth"], m["sex"]))
        check(m["orc"] == ["ACC-77"] and m["obr_filler"] == "ACC-77", "the order: %s" % m["orc"])
        check(m["obr_status"] == "P" and m["obr_interpreter"] == "",
              "unconfirmed: OBR-25 P, no interpreter")
        numeric = {o["code"]: o for o in m["obx"] if o["type"] == "NM"}
        expected = {code: measured.get(key) for code, key in LOINC.items()
                    if measured.get(key) is not None}
        check(len(expected) >= 6 and set(numeric) == set(expected),
              "one NM OBX per measured value: %s" % sorted(numeric))
        for code_, value in expected.items():
            o = numeric.get(code_, {})
            check(o and abs(float(o["value"]) - value) <= 0.5 and o["status"] == "P",
                  "OBX %s = %s (measured %s), status P" % (code_, o.get("value"), value))
        units = {o["units"] for o in numeric.values()}
        check(units <= {"/min", "ms", "deg"}, "UCUM units: %s" % units)
        texts = [o for o in m["obx"] if o["type"] == "TX"]
        check(len(texts) == len(measured.get("statements", [])) and all(
            o["status"] == "P" and o["value"] for o in texts), "the statements as TX: %d" % len(texts))
        ed = [o for o in m["obx"] if o["type"] == "ED"]
        check(len(ed) == 1 and ed[0]["ed"] == ["AP", "PDF", "Base64"] and ed[0]["head"] == "%PDF-"
              and ed[0]["tail"] == "%%EOF" and ed[0]["bytes"] > 10000,
              "the report as an ED PDF: %s" % (ed[0] if ed else None))

    # Each failure exits 2, says why, and leaves its message in the outbox.
    failures = [("ae", "refused the message (AE): Пациент не найден & заказ"),
                ("silent", "no acknowledgement"),
                ("close", "closed the connection"),
                ("garbage", "no MLLP frame")]
    for n, (answer, reason) in enumerate(failures, 1):
        server = Server(answer)
        # Only the silent peer is about the time-out: the others get time for a loaded machine.
        code, _, err = run("hl7", record, "--card", card, "--timeout",
                           "2" if answer == "silent" else "20", "--to", "127.0.0.1:%d" % server.port)
        got = server.stop()
        check(code == 2 and reason in err, "%s: exit 2, '%s': %d %s" % (answer, reason, code, err))
        # A refusal means the link works: the waiting ones are all offered; otherwise the first.
        check(len(outbox()) == n, "%s: %d message(s) kept in the outbox" % (answer, len(outbox())))
        if answer == "ae":
            check(len(got) == 1, "ae: the server read the message")

    code, out, err = run("hl7", "--outbox")
    check(code == 0 and len(out.splitlines()) == len(failures)
          and all(line.split("\t")[0] + ".hl7" in outbox() for line in out.splitlines()),
          "--outbox lists the waiting messages: %s" % out)

    # Nobody listens at all: the send fails fast and keeps the message too.
    server = Server("aa")
    port = server.port
    server.stop()
    code, _, err = run("hl7", "--retry", "--to", "127.0.0.1:%d" % port)
    check(code == 2 and "cannot reach" in err and len(outbox()) == len(failures),
          "no server: --retry exits 2 and keeps all: %s" % err)

    server = Server("aa")
    code, _, err = run("hl7", "--retry", "--to", "127.0.0.1:%d" % server.port)
    got = server.stop()
    check(code == 0 and outbox() == [] and len(got) == len(failures),
          "--retry delivers every waiting message once: %d, %d left, %d read: %s"
          % (code, len(outbox()), len(got), err))

    code, _, err = run("hl7", record, "--to", "127.0.0.1:9")
    check(code == 1 and "surname" in err and outbox() == [],
          "a record without a patient is not sent (nor kept): " + err)
    code, _, err = run("hl7", record, "--to", "nowhere")
    check(code == 1 and "HOST:PORT" in err, "a bad --to is bad usage: " + err)
    code, _, err = run("hl7", record)
    check(code == 1 and "m_szHisHost" in err, "no system set: bad usage: " + err)
    return exit_status()


if __name__ == "__main__":
    try:
        status = main()
    finally:
        shutil.rmtree(TMP, ignore_errors=True)
    sys.exit(status)
