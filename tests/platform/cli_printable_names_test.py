#!/usr/bin/env python3
"""velmora-cli never prints a name raw: a file name with an escape sequence, a newline, a
right-to-left override, bytes that are no UTF-8 and Cyrillic letters comes out with each control
and bidirectional mark as a visible escape and the letters as they are, on stdout and stderr,
whether the file opens or not."""
import os
import subprocess
import sys
import tempfile
import unicodedata

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from checks import check, exit_status  # noqa: E402
from record_block import record  # noqa: E402

CLI = sys.argv[1]
TMP = tempfile.mkdtemp(prefix="velmora-names-")
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"), LC_ALL="C.UTF-8")
BIDI = {0x061C, 0x200E, 0x200F, *range(0x202A, 0x202F), *range(0x2066, 0x206A)}

# ESC with an OSC title sequence, BEL, a newline, U+202E, and Cyrillic.
CRAFTED = "rec\x1b]0;owned\x07\n\u202etad.Иванов".encode()
BROKEN = CRAFTED + b"\xff\xd0"  # and bytes that are no UTF-8


def run(*args):
    r = subprocess.run([os.fsencode(CLI), *[os.fsencode(a) for a in args]], capture_output=True,
                       env=ENV, timeout=60)
    return r.returncode, r.stdout, r.stderr


def clean(what, data):
    """No raw control byte, C1 control or bidirectional mark, and valid UTF-8."""
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError as e:
        check(False, "%s: not UTF-8 (%s): %r" % (what, e, data))
        return ""
    bad = [c for c in text if (unicodedata.category(c) == "Cc" and c != "\n") or ord(c) in BIDI]
    check(not bad, "%s: no raw control or bidirectional character: %r" % (what, bad))
    return text


def main():
    folder = os.fsencode(TMP)
    dat = os.path.join(folder, CRAFTED + b".dat")
    open(dat, "wb").write(record())

    # A file that opens: its name in info's output, and in export's and beats' messages.
    code, out, err = run("info", dat)
    text = clean("info stdout", out) + clean("info stderr", err)
    check(code == 0, "info opens the crafted name: %r" % err)
    line = [l for l in text.splitlines() if l.startswith("file:")]
    check(len(line) == 1 and "\\x1b]0;owned\\x07\\x0a\\u202etad.Иванов.dat" in line[0],
          "the name on one line, escaped, the Cyrillic intact: %r" % line)

    out_scp = os.path.join(folder, CRAFTED + b"-out.dat")
    code, out, err = run("export", dat, "--out", out_scp)
    text = clean("export stdout", out) + clean("export stderr", err)
    check(code == 0 and os.path.exists(out_scp) and "\\u202e" in text and "Иванов" in text,
          "export writes the file and names it escaped: %r" % text)

    beats = os.path.join(folder, CRAFTED + b".txt")
    code, out, err = run("beats", dat, "--out", beats)
    text = clean("beats stdout", out) + clean("beats stderr", err)
    check(code == 0 and "\\x1b]0;owned" in text, "beats names its output escaped: %r" % text)

    # Files that do not open: the reason names the file, escaped.
    broken = os.path.join(folder, BROKEN + b".dat")
    open(broken, "wb").write(b"not a record")
    for args in (("info", broken), ("measure", broken), ("beats", broken, "--out", beats),
                 ("info", os.path.join(folder, CRAFTED + b".hea")),
                 ("export", dat, "--out", os.path.join(folder, b"missing", CRAFTED + b".dat")),
                 (CRAFTED.decode(),)):
        code, out, err = run(*args)
        text = clean("%s stdout" % args[0][:8], out) + clean("%s stderr" % args[0][:8], err)
        check(code != 0 and "\\x1b]0;owned\\x07\\x0a\\u202e" in text,
              "%s refuses and names the file escaped: %r" % (args[0][:8], text))
    return exit_status()


if __name__ == "__main__":
    sys.exit(main())
