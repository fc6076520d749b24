#!/usr/bin/env python3
"""The archive loses nothing and lets nothing in, with real processes: an import killed with
SIGKILL leaves whole records or none and a second import finishes the job; two imports at once
into one SQLite file both finish with every record and patient once; a read-only archive and a
full disk fail the import with their reason and leave the archive as it was; a damaged file or
another program's is refused with its reason and its bytes untouched."""
import hashlib
import json
import os
import random
import resource
import shutil
import signal
import sqlite3
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from checks import check, exit_status  # noqa: E402

CLI = sys.argv[1]
TMP = tempfile.mkdtemp(prefix="velmora-archive-safety-")
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"),
           XDG_DATA_HOME=os.path.join(TMP, "data"), LC_ALL="C.UTF-8")
SURNAMES = ["Иванов", "Петрова", "Сидоров", "Ёлкина", "Кузнецов", "Смирнова"]
SAMPLES_AT = 28  # the record block's samples follow its number, patient stamp and date


def run(*args, wrap=(), preexec=None):
    r = subprocess.run(list(wrap) + [CLI] + list(args), capture_output=True, env=ENV, timeout=300,
                       preexec_fn=preexec)
    return r.returncode, r.stdout.decode("utf-8", "replace"), r.stderr.decode("utf-8", "replace")


def path(*parts):
    return os.path.join(TMP, *parts)


def make_records(count):
    """`count` record blocks of six patients in a folder of their own, each recording another
    (a few samples differ, so each is a file of its own)."""
    import math
    rate, n = 500, 5000
    with open(path("w.dat"), "wb") as f:
        for i in range(n):
            f.write(struct.pack("<hh", 800 if i % 400 < 10 else 0, int(300 * math.sin(i / 40.0))))
    open(path("w.hea"), "w").write(
        "w 2 %d %d\nw.dat 16 1000 16 0 0 0 0 I\nw.dat 16 1000 16 0 0 0 0 II\n" % (rate, n))
    code, _, err = run("export", path("w.hea"), "--out", path("plain.dat"))
    check(code == 0, "a record to import: " + err)
    bases = []
    for k, surname in enumerate(SURNAMES):
        card = path("card%d.txt" % k)
        open(card, "w", encoding="utf-8").write(
            "last_name = %s\nbirth_year = %d\nsex = %s\n" % (surname, 1940 + k, "мж"[k % 2]))
        out = path("base%d.dat" % k)
        code, _, err = run("export", path("plain.dat"), "--card", card, "--out", out)
        check(code == 0, "a record of %s: %s" % (surname, err))
        bases.append(bytearray(open(out, "rb").read()))
    folder = path("records%d" % count)
    os.makedirs(folder)
    for i in range(count):
        block = bytearray(bases[i % len(bases)])
        # Samples of the first lead far from its peaks, so that every file measures alike.
        at = SAMPLES_AT + 2 * 12 * (200 + i % 97)
        struct.pack_into("<h", block, at, i)
        open(os.path.join(folder, "r%04d.dat" % i), "wb").write(block)
    return folder


def found(archive, wrap=()):
    """Each record's source name to what find --json says of it, without its id."""
    code, out, err = run("archive", "find", "--json", "--archive", archive, wrap=wrap)
    check(code == 0, "find in %s: %s" % (os.path.basename(archive), err))
    rows = {}
    for line in out.splitlines():
        row = json.loads(line)
        del row["id"]
        check(row["source"] not in rows, "one record of " + row["source"])
        rows[row["source"]] = row
    return rows


def counts(archive, wrap=()):
    code, out, err = run("archive", "check", "--archive", archive, wrap=wrap)
    return (out.strip() if code == 0 else None), err


def records_in(archive):
    """The committed records, read beside a running import (0 while the archive is being made)."""
    try:
        db = sqlite3.connect("file:%s?mode=ro" % archive, uri=True, timeout=0.1)
        try:
            return db.execute("SELECT COUNT(*) FROM records").fetchone()[0]
        finally:
            db.close()
    except sqlite3.Error:
        return 0


def sha(file):
    return hashlib.sha256(open(file, "rb").read()).hexdigest()


def kill_during_import(folder, clean):
    archive = path("killed.sqlite")
    total = len(clean)
    seen = []
    for round_, at_least in enumerate((15, total // 2)):
        p = subprocess.Popen([CLI, "archive", "import", folder, "--archive", archive], env=ENV,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 120
        while records_in(archive) < at_least and p.poll() is None and time.monotonic() < deadline:
            time.sleep(0.005)
        p.send_signal(signal.SIGKILL)
        p.wait()
        check(p.returncode == -signal.SIGKILL,
              "round %d: the import was killed in mid-work (exit %s)" % (round_, p.returncode))
        summary, err = counts(archive)
        check(summary is not None, "round %d: check passes after the kill: %s" % (round_, err))
        rows = found(archive)
        seen.append(len(rows))
        check(0 < len(rows) < total, "round %d: %d of %d records were in when killed"
              % (round_, len(rows), total))
        whole = all(rows[s] == clean.get(s) for s in rows)
        check(whole, "round %d: each record in is whole, as a clean import makes it" % round_)
    code, _, err = run("archive", "import", folder, "--archive", archive)
    check(code == 0 and "%d imported, %d already there, 0 refused" % (total - seen[-1], seen[-1])
          in err, "importing again finishes the job: " + err)
    check(found(archive) == clean, "then the archive equals a clean import")
    check(counts(archive)[0] == counts(path("clean.sqlite"))[0], "and counts alike")


def concurrent_imports(folder, clean):
    archive = path("shared.sqlite")  # made by whichever comes first
    files = sorted(os.listdir(folder))
    third = len(files) // 3
    sets = [files[:2 * third], files[third:]]
    procs = []
    for n, names in enumerate(sets):
        part = path("part%d" % n)
        os.makedirs(part)
        for name in names:
            os.link(os.path.join(folder, name), os.path.join(part, name))
        procs.append(subprocess.Popen([CLI, "archive", "import", part, "--archive", archive],
                                      env=ENV, stdout=subprocess.PIPE, stderr=subprocess.PIPE))
    for n, p in enumerate(procs):
        out, err = p.communicate(timeout=300)
        check(p.returncode == 0, "import %d beside the other exits 0: %s" % (
            n, err.decode("utf-8", "replace")[-500:] + out.decode("utf-8", "replace")[-500:]))
    check(found(archive) == clean, "every record once, as a clean import makes them")
    summary, err = counts(archive)
    check(summary.startswith("ok: %d patients, %d records (0 without a card)"
                             % (len(SURNAMES), len(files))),
          "every patient once: %s %s" % (summary, err))


def unchanged(archive, before_rows, before_counts, before_hash, wrap, what):
    check(sha(archive) == before_hash, what + ": the archive's bytes are as they were")
    summary, err = counts(archive, wrap)
    check(summary == before_counts, what + ": check says as before: %s %s" % (summary, err))
    check(found(archive, wrap) == before_rows, what + ": find lists what it listed")


def no_dac_override():
    """As root, a process that minds file modes: without the capabilities that pass them by.
    Empty when not root (the modes apply anyway); None when that cannot be done here."""
    if os.geteuid() != 0:
        return ()
    wrap = ("setpriv", "--bounding-set", "-dac_override,-dac_read_search,-fowner", "--")
    probe = path("probe")
    open(probe, "w").close()
    os.chmod(probe, 0o444)
    try:
        r = subprocess.run(list(wrap) + ["sh", "-c", "echo x >> " + probe], capture_output=True)
    except OSError:
        return None
    return wrap if r.returncode != 0 and os.path.getsize(probe) == 0 else None


def refused_writes(folder):
    archive = path("small.sqlite")
    code, _, err = run("archive", "import", *[os.path.join(folder, "r%04d.dat" % i)
                                              for i in range(4)], "--archive", archive)
    check(code == 0, "a small archive: " + err)
    rows, summary = found(archive), counts(archive)[0]
    more = [os.path.join(folder, "r%04d.dat" % i) for i in range(4, 8)]

    # A full disk: the import's writes past 64 KiB fail with EFBIG, mid-transaction.
    def full_disk():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (64 * 1024, 64 * 1024))

    before = sha(archive)
    code, out, err = run("archive", "import", *more, "--archive", archive, preexec=full_disk)
    check(code == 2 and "4 refused" in err and ("full" in out or "disk" in out),
          "a full disk refuses each record with its reason: " + out[:300] + err)
    unchanged(archive, rows, summary, before, (), "after a full disk")

    wrap = no_dac_override()
    if wrap is None:
        print("skip the read-only archive: file modes cannot be made to apply to root here")
        return
    os.chmod(archive, 0o444)
    code, out, err = run("archive", "import", *more, "--archive", archive, wrap=wrap)
    check(code == 2 and "read" in (out + err).lower(),
          "a read-only archive refuses the import with its reason: " + out[:300] + err)
    unchanged(archive, rows, summary, before, wrap, "a read-only archive")
    os.chmod(archive, 0o600)
    os.chmod(TMP, 0o555)
    try:
        code, out, err = run("archive", "import", *more, "--archive", archive, wrap=wrap)
        check(code == 2 and "read" in (out + err).lower(),
              "an archive in a read-only folder refuses the import with its reason: "
              + out[:300] + err)
        unchanged(archive, rows, summary, before, wrap, "a read-only folder")
    finally:
        os.chmod(TMP, 0o700)


def damaged_files(folder):
    good = path("good.sqlite")
    code, _, err = run("archive", "import", *[os.path.join(folder, "r%04d.dat" % i)
                                              for i in range(6)], "--archive", good)
    check(code == 0, "an archive to damage: " + err)
    data = open(good, "rb").read()
    page = struct.unpack(">H", data[16:18])[0]
    rnd = random.Random(20261209)
    # Opening reads the header and the schema; pages further in are found damaged by the check
    # and by the first statement that meets them.
    unsound = ("no sound SQLite database",)
    cases = {
        "truncated": (data[:len(data) // 2], unsound + ("malformed", "damaged")),
        "random pages": (data[:3 * page] + rnd.randbytes(4 * page) + data[7 * page:],
                         unsound + ("malformed", "damaged")),
        "a text file": ("Фамилия;Имя\nИванов;Иван\n".encode() * 200, unsound),
    }
    other = path("other.sqlite")
    db = sqlite3.connect(other)
    db.execute("CREATE TABLE patients (id INTEGER PRIMARY KEY, name TEXT)")
    db.execute("INSERT INTO patients (name) VALUES ('Иванов')")
    db.commit()
    db.close()
    cases["another program's database"] = (open(other, "rb").read(), ("another program",))
    record = os.path.join(folder, "r0100.dat")
    for what, (content, reason) in cases.items():
        place = path("damaged-" + what.replace(" ", "-").replace("'", ""))
        os.makedirs(place)
        target = os.path.join(place, "archive.sqlite")
        open(target, "wb").write(content)
        for verb in (("check",), ("find", "--name", "Ив"), ("import", record)):
            code, out, err = run("archive", *verb, "--archive", target)
            check(code == 2 and any(r in out + err for r in reason),
                  "%s: %s is refused with its reason: %s"
                  % (what, verb[0], (out + err)[:300]))
        check(open(target, "rb").read() == content and os.listdir(place) == ["archive.sqlite"],
              "%s: its bytes are unchanged and nothing is left beside it" % what)


def main():
    folder = make_records(240)
    code, _, err = run("archive", "import", folder, "--archive", path("clean.sqlite"))
    check(code == 0 and "240 imported" in err, "a clean import: " + err)
    clean = found(path("clean.sqlite"))
    check(len(clean) == 240 and all(r["heart_rate_bpm"] for r in clean.values()),
          "the clean import measured its records")
    kill_during_import(folder, clean)
    concurrent_imports(folder, clean)
    refused_writes(folder)
    damaged_files(folder)
    return exit_status()


if __name__ == "__main__":
    try:
        sys.exit(main())
    finally:
        os.chmod(TMP, 0o700)
        shutil.rmtree(TMP, ignore_errors=True)
