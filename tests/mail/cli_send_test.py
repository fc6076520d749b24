#!/usr/bin/python3
"""velmora-cli send end to end: the message file (--eml) read back by Python's email package and
the attachment by zipfile; SMTP to aiosmtpd with the settings file's account (plain with AUTH,
STARTTLS with the clinic's own CA, a refused login); the hand-off to a mail client of our own; bad input. The private temporary folder must
be empty after every run."""
import base64
import io
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile
from email import policy
from email.parser import BytesParser

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from checks import check, exit_status  # noqa: E402

CLI = sys.argv[1]
HERE = os.path.dirname(os.path.abspath(__file__))
TMP = tempfile.mkdtemp(prefix="velmora-send-")
PRIVATE_TMP = os.path.join(TMP, "tmp")
os.mkdir(PRIVATE_TMP)
DATA_HOME = os.path.join(TMP, "data")  # XDG data: our own mail client only
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"), TMPDIR=PRIVATE_TMP,
           XDG_DATA_HOME=DATA_HOME, XDG_DATA_DIRS=DATA_HOME, XDG_CONFIG_DIRS=DATA_HOME)
RECORD_SIZE = 112552
ORG = "ГБУЗ «Поликлиника №3»"
CARD = """doctor_name = Петров П.П.
doctor_phone = 123
last_name = Иванов
first_name = Иван
patronymic = Иванович
birth_year = 1950
sex = м
weight = 80
height = 180
"""


def path(*names):
    return os.path.join(TMP, *names)


def write(name, data):
    with open(name, "wb") as f:
        f.write(data)
    return name


def make_record():
    rec = bytearray(RECORD_SIZE)
    rec[8:27] = b"2012-05-04 14:05:00"
    for i in range(28, 28 + 98304, 2):
        rec[i:i + 2] = struct.pack("<h", (i * 37) % 4096 - 2048)
    struct.pack_into("<6I", rec, 98332, 0x88888888, 1, 10, 25, 75, 4096)
    struct.pack_into("<IQ", rec, 111980, 5752, 0x0000000712345678)
    return bytes(rec)


def ini(smtp, port=25, ssl=0, password="s3cret", ca=None):
    text = ("[settings]\r\nm_nCom=1\r\nm_attrOrg=%s\r\n[Mail]\r\nSMTPEnabled=%d\r\n"
            "m_szMailHostName=127.0.0.1\r\nm_szMailLogin=ecg@clinic.ru\r\n"
            "m_szMailPassword=%s\r\nm_nMailSMTPPort=%d\r\nMailUseSSL=%d\r\n"
            % (ORG, smtp, password, port, ssl))
    if ca:
        text += "m_szMailCABundle=%s\r\n" % ca
    return write(path("velmora.ini"), text.encode("cp1251"))


def send(*args, config=None):
    cmd = [CLI, "send", *args] + (["--config", config] if config else [])
    p = subprocess.run(cmd, capture_output=True, text=True, env=ENV, timeout=120)
    return p.returncode, p.stderr


def private_tmp_empty(what):
    left = os.listdir(PRIVATE_TMP)
    check(not left, what + ": no temporary file left: %s" % left)
    for name in left:
        shutil.rmtree(os.path.join(PRIVATE_TMP, name), ignore_errors=True)


def check_package(data, what):
    try:
        z = zipfile.ZipFile(io.BytesIO(data))
        names = [i.filename for i in z.infolist()]
        check(names[:2] == ["structure.txt", "patient.ini"] and len(names) == 3
              and z.testzip() is None, what + ": the attachment is the export package: %s" % names)
        check(z.read(names[2]) != make_record() and len(z.read(names[2])) == RECORD_SIZE,
              what + ": with the record, carrying the card's texts")
    except zipfile.BadZipFile as e:
        check(False, what + ": the attachment is a zip archive: %s" % e)


class Server:
    def __init__(self, *args):
        self.p = subprocess.Popen(["/usr/bin/python3", os.path.join(HERE, "smtp_server.py"), *args],
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.port = int(self.p.stdout.readline().split()[1])  # "ready PORT"

    def stop(self):
        self.p.kill()
        out = self.p.communicate(timeout=30)[0]
        return [json.loads(line[8:]) for line in out.splitlines() if line.startswith("message ")]


def main():
    card = write(path("card.txt"), CARD.encode("utf-8"))
    record = write(path("rec.dat"), make_record())
    write(path("incomplete.txt"), b"doctor_name = X\n")
    cert, key = path("cert.pem"), path("key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                    "-keyout", key, "-out", cert], check=True, capture_output=True)
    auth = ["--user", "ecg@clinic.ru", "--password", "s3cret"]

    # The message file for a mail client.
    eml = path("out dir", "message.eml")
    os.mkdir(path("out dir"))
    code, err = send(record, "--card", card, "--to", "a@b.ru, c@d.ru", "--note", "ЭКГ\nв покое",
                     "--eml", eml, config=ini(0))
    check(code == 0 and os.path.exists(eml), "--eml writes the message: %d %s" % (code, err))
    raw = open(eml, "rb").read() if os.path.exists(eml) else b""
    check(raw.startswith(b"From: <" + ORG.encode("cp1251") + b">\r\nTo: <a@b.ru, c@d.ru>\r\n"
                         + b"Subject: " + "Карточка пациента".encode("cp1251") + b"\r\n"),
          "--eml: sender, recipients and the proposed subject as Windows-1251 bytes")
    msg = BytesParser(policy=policy.default).parsebytes(raw)
    parts = list(msg.iter_parts()) if msg.is_multipart() else []
    check(msg["X-Unsent"] == "1" and len(parts) == 2, "--eml: a draft with two parts")
    if len(parts) == 2:
        check(parts[0].get_payload(decode=True) == "ЭКГ\r\nв покое\r\n".encode("cp1251"),
              "--eml: the note in Windows-1251 with CR LF")
        check(parts[1].get_filename() == "K.107.18641.5752-5752.ecg",
              "--eml: the attachment named by record number and curve: %s"
              % parts[1].get_filename())
        check_package(parts[1].get_payload(decode=True), "--eml")
    private_tmp_empty("--eml")

    # --scp attaches the SCP-ECG file: its record length field gives its size.
    code, err = send(record, "--card", card, "--scp", "--eml", eml, config=ini(0))
    parts = list(BytesParser(policy=policy.default).parsebytes(open(eml, "rb").read()).iter_parts())
    scp = parts[1].get_payload(decode=True) if len(parts) == 2 else b""
    check(code == 0 and parts[1].get_filename() == "K.107.18641.5752-5752.scp"
          and len(scp) > 6 and struct.unpack_from("<I", scp, 2)[0] == len(scp),
          "--scp: the SCP-ECG file is attached: %d %s" % (code, err[-200:]))
    private_tmp_empty("--scp")

    # --dicom attaches the DICOM ECG object: preamble, "DICM", our 12-lead waveform class.
    code, err = send(record, "--card", card, "--dicom", "--eml", eml, config=ini(0))
    parts = list(BytesParser(policy=policy.default).parsebytes(open(eml, "rb").read()).iter_parts())
    dcm = parts[1].get_payload(decode=True) if len(parts) == 2 else b""
    check(code == 0 and parts[1].get_filename() == "K.107.18641.5752-5752.dcm"
          and dcm[128:132] == b"DICM" and b"1.2.840.10008.5.1.4.1.1.9.1.1" in dcm,
          "--dicom: the DICOM object is attached: %d %s" % (code, err[-200:]))
    private_tmp_empty("--dicom")

    # SMTP, plain with AUTH.
    server = Server(*auth, "--exclude-auth", "LOGIN")
    code, err = send(record, "--card", card, "--to", "doctor@clinic.ru", "--subject",
                     "Запись №7", "--note", "Срочно", config=ini(1, server.port))
    got = server.stop()
    check(code == 0 and "server: 250 2.0.0 Ok" in err,
          "SMTP: sent, the server's answer on stderr: %d %s" % (code, err[-300:]))
    check("sent " in err and "(100%)" in err, "SMTP: progress on stderr")
    check(len(got) == 1, "SMTP: the server got one message")
    if got:
        m = got[0]
        check(m["subject"] == "Запись №7" and m["from_addresses"] == [[ORG, "ecg@clinic.ru"]]
              and m["rcpt_tos"] == ["doctor@clinic.ru"] and m["login"] == "ecg@clinic.ru",
              "SMTP: subject, sender name and envelope decoded exactly: %s"
              % {k: m.get(k) for k in ("subject", "from_addresses", "rcpt_tos", "login")})
        check_package(base64.b64decode(m["parts"][1]["data"]), "SMTP")
    private_tmp_empty("SMTP")

    # STARTTLS, trusted through the CA bundle of the settings file.
    server = Server("--cert", cert, "--key", key, *auth)
    code, err = send(record, "--card", card, "--to", "d@c.ru", config=ini(1, server.port, 1, ca=cert))
    check(code == 0, "STARTTLS with m_szMailCABundle: %d %s" % (code, err[-300:]))
    got = server.stop()
    check(len(got) == 1 and got[0]["tls"], "STARTTLS: one message, encrypted")
    private_tmp_empty("STARTTLS")

    server = Server(*auth)
    code, err = send(record, "--card", card, "--to", "d@c.ru", config=ini(1, server.port,
                                                                         password="wrong"))
    server.stop()
    check(code == 2 and "535" in err, "wrong password: exit 2 with the server's answer: %d %s"
          % (code, err[-300:]))
    private_tmp_empty("wrong password")

    # The mail client: none registered, then ours.
    code, err = send(record, "--card", card, "--to", "a@b.ru", config=ini(0))
    check(code == 2 and "message/rfc822" in err, "no mail client: exit 2: %d %s" % (code, err))
    private_tmp_empty("no mail client")
    apps = os.path.join(DATA_HOME, "applications")
    os.makedirs(apps)
    write(os.path.join(apps, "velmora-fake-mail.desktop"),
          ('[Desktop Entry]\nType=Application\nName=Fake Mail\nExec=/bin/sh "%s" "%%f"\n'
           "MimeType=message/rfc822;\n" % os.path.join(HERE, "fake_mail_client.sh")).encode())
    write(os.path.join(apps, "mimeapps.list"),
          b"[Default Applications]\nmessage/rfc822=velmora-fake-mail.desktop\n")
    client_out = path("client")
    os.mkdir(client_out)
    ENV["VELMORA_FAKE_CLIENT_OUT"] = client_out
    code, err = send(record, "--card", card, "--to", "a@b.ru", config=ini(0))
    args = open(os.path.join(client_out, "args")).read().splitlines() \
        if os.path.exists(os.path.join(client_out, "args")) else []
    check(code == 0 and len(args) == 1 and args[0].endswith("K.107.18641.5752-5752.eml"),
          "mail client: started with the message: %d %s %s" % (code, args, err))
    # It ended at once, as a client passing the file to its running instance does: the message
    # stays for that instance.
    check(len(args) == 1 and os.path.exists(args[0]) and "stays at" in err,
          "mail client: a quick client's message stays in place")
    for name in os.listdir(PRIVATE_TMP):
        shutil.rmtree(os.path.join(PRIVATE_TMP, name))

    # Bad input.
    code, err = send(record, "--card", path("incomplete.txt"), "--to", "a@b.ru", config=ini(1))
    check(code == 1 and "incomplete" in err, "incomplete card: exit 1: %s" % err.strip())
    code, err = send(record, "--card", card, config=ini(1))
    check(code == 1 and "--to" in err, "SMTP without a recipient: exit 1")
    code, err = send(record, "--card", card, "--to", "not an address", config=ini(1, 1))
    check(code == 1 and "not an e-mail address" in err, "bad recipient: exit 1: %s" % err.strip())
    code, err = send(path("card.txt"), "--card", card, "--to", "a@b.ru", config=ini(1))
    check(code == 2 and "not a record file" in err, "not a record: exit 2")
    private_tmp_empty("bad input")

    if exit_status():
        return 1
    shutil.rmtree(TMP, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
