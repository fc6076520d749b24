#!/usr/bin/env python3
"""Two workstations at once on one PostgreSQL archive: two velmora-cli archive import processes
started together into a new database over overlapping sets of records (the same patients, some
of the same files) both end well, with every record once and every patient once. A server that
refuses (a wrong password, no server at the port, no such database) is said clearly, exit 2;
the password comes from PGPASSWORD or ~/.pgpass."""
import json
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, os.pardir, "support"))
sys.path.insert(0, HERE)
from archive_records import card_text, make_scp  # noqa: E402
from checks import check, exit_status  # noqa: E402
import postgres_server  # noqa: E402

CLI = sys.argv[1]
TMP = tempfile.mkdtemp(prefix="velmora-pg-concurrent-")
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"),
           XDG_DATA_HOME=os.path.join(TMP, "data"), LC_ALL="C.UTF-8")
ENV.pop("PGPASSWORD", None)
PATIENTS, PER_PATIENT = 10, 3


def run(args, env):
    r = subprocess.run([CLI] + args, capture_output=True, env=env, timeout=120)
    return r.returncode, r.stdout.decode("utf-8", "replace"), r.stderr.decode("utf-8", "replace")


def both_at_once(pg, database, first, second):
    """Both workstations' imports started together; their (status, out, err)."""
    args = lambda files: [CLI, "archive", "import"] + files + ["--db", pg.url(database)]
    procs = [subprocess.Popen(args(files), stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              env=pg.env(ENV)) for files in (first, second)]
    results = []
    for p in procs:
        out, err = p.communicate(timeout=300)
        results.append((p.returncode, out.decode("utf-8", "replace"),
                        err.decode("utf-8", "replace")))
    return results


def main():
    postgres_server.skip_unless_installed()
    folder = os.path.join(TMP, "records")
    os.makedirs(folder)
    # Each patient has three records: the first workstation imports the first two, the second
    # the last two, in the same order, so they meet on every patient and on every middle record.
    files = [[make_scp(CLI, folder, "p%02d-%d.scp" % (p, k),
                       card_text("Общий%02d" % p), p * PER_PATIENT + k, ENV)
              for k in range(PER_PATIENT)] for p in range(PATIENTS)]
    first = [f for rec in files for f in rec[:2]]
    second = [f for rec in files for f in rec[1:]]
    everything = sorted(os.path.basename(f) for rec in files for f in rec)

    with postgres_server.PostgresServer(TMP) as pg:
        for round_ in range(3):
            database = pg.create_database("round%d" % round_)
            results = both_at_once(pg, database, first, second)
            for n, (code, out, err) in enumerate(results):
                check(code == 0, "round %d, workstation %d ends well: %s" % (round_, n, err[-600:]))
            said = [os.path.basename(line.split()[1]) for code, out, err in results
                    for line in out.splitlines() if line.startswith("imported")]
            check(sorted(said) == everything,
                  "round %d: each file imported by exactly one workstation: %s"
                  % (round_, sorted(said)))
            code, out, err = run(["archive", "find", "--json", "--db", pg.url(database)],
                                 pg.env(ENV))
            rows = [json.loads(l) for l in out.splitlines() if l.strip()]
            check(code == 0 and sorted(r["source"] for r in rows) == everything
                  and len({r["id"] for r in rows}) == len(rows),
                  "round %d: find lists every record once: %s" % (round_, out[-300:] + err))
            code, out, err = run(["archive", "check", "--db", pg.url(database)], pg.env(ENV))
            check(code == 0 and "ok: %d patients, %d records (0 without a card)"
                  % (PATIENTS, PATIENTS * PER_PATIENT) in out,
                  "round %d: no patient twice: %s" % (round_, out + err))
            code, out, err = run(["archive", "find", "--name", "общий03", "--json", "--db",
                                  pg.url(database)], pg.env(ENV))
            rows = [json.loads(l) for l in out.splitlines() if l.strip()]
            check(len(rows) == PER_PATIENT and all(r["patient"]["last_name"] == "Общий03"
                                                   for r in rows),
                  "round %d: one patient's records found by the surname: %s" % (round_, out[-300:]))

        # A server that will not have us says why on one line, and the exit status is 2.
        wrong = dict(ENV, PGPASSWORD="not-the-password")
        code, out, err = run(["archive", "check", "--db", pg.url()], wrong)
        check(code == 2 and "password authentication failed" in err
              and len(err.strip().splitlines()) == 1 and "\\x0a" not in err,
              "a wrong password is said on one line: %s" % err)
        code, out, err = run(["archive", "check", "--db", pg.url()], ENV)
        check(code == 2 and "no password supplied" in err, "no password at all is said: %s" % err)
        code, out, err = run(["archive", "check", "--db",
                              "postgresql://velmora@127.0.0.1:%d/velmora"
                              % postgres_server.free_port()], pg.env(ENV))
        check(code == 2 and "cannot be opened" in err and "127.0.0.1" in err
              and "refused" in err.lower(), "no server at the port is said: %s" % err)
        code, out, err = run(["archive", "check", "--db", pg.url("no_such_archive")], pg.env(ENV))
        check(code == 2 and 'database "no_such_archive" does not exist' in err,
              "a database that is not there is said: %s" % err)

        # ~/.pgpass gives the password when PGPASSWORD does not.
        pgpass = os.path.join(TMP, ".pgpass")
        open(pgpass, "w").write("127.0.0.1:%d:*:%s:%s\n" % (pg.port, pg.user, pg.password))
        os.chmod(pgpass, 0o600)
        code, out, err = run(["archive", "check", "--db", pg.url("round0")], ENV)
        check(code == 0 and "%d records" % (PATIENTS * PER_PATIENT) in out,
              "the password from ~/.pgpass: %s" % (out + err))
    return exit_status()


if __name__ == "__main__":
    try:
        sys.exit(main())
    finally:
        shutil.rmtree(TMP, ignore_errors=True)
