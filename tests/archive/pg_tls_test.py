#!/usr/bin/env python3
"""The archive over TLS: a PostgreSQL server that takes connections with TLS only (a self-signed
certificate) lets velmora-cli in with ?sslmode=require and with verify-full against its
certificate, refuses sslmode=disable saying so, and verify-ca without the certificate to check
against says that too. An sslmode libpq does not know is refused before connecting."""
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, os.pardir, "support"))
from checks import check, exit_status  # noqa: E402
import postgres_server  # noqa: E402

CLI = sys.argv[1]
TMP = tempfile.mkdtemp(prefix="velmora-pg-tls-")
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"),
           XDG_DATA_HOME=os.path.join(TMP, "data"), LC_ALL="C.UTF-8")
for inherited in ("PGPASSWORD", "PGSSLMODE", "PGSSLROOTCERT"):
    ENV.pop(inherited, None)


def run(args, env):
    r = subprocess.run([CLI] + args, capture_output=True, env=env, timeout=120)
    return r.returncode, r.stdout.decode("utf-8", "replace"), r.stderr.decode("utf-8", "replace")


def main():
    postgres_server.skip_unless_installed()
    with postgres_server.PostgresServer(TMP, ssl_only=True) as pg:
        env = pg.env(ENV)
        code, out, err = run(["archive", "check", "--db", pg.url(sslmode="require")], env)
        check(code == 0 and "ok: 0 patients, 0 records" in out,
              "sslmode=require: in over TLS, the archive made: " + out + err)
        code, out, err = run(["archive", "check", "--db", pg.url(sslmode="disable")], env)
        check(code == 2 and "no encryption" in err and "\n" not in err.strip(),
              "sslmode=disable is refused by a server that wants TLS, saying so: " + err)
        code, out, err = run(["archive", "check", "--db", pg.url()], env)
        check(code == 0, "libpq's default (prefer) takes TLS when the server has it: " + err)

        code, out, err = run(["archive", "check", "--db", pg.url(sslmode="verify-ca")], env)
        check(code == 2 and "root certificate" in err,
              "verify-ca with no certificate to check against says so: " + err)
        trusted = dict(env, PGSSLROOTCERT=pg.certificate)
        code, out, err = run(["archive", "check", "--db", pg.url(sslmode="verify-full")], trusted)
        check(code == 0, "verify-full against the server's own certificate: " + out + err)

        code, out, err = run(["archive", "check", "--db", pg.url(sslmode="on")], env)
        check(code == 2 and "sslmode on is none of" in err, "an unknown sslmode: " + err)
    return exit_status()


if __name__ == "__main__":
    try:
        sys.exit(main())
    finally:
        shutil.rmtree(TMP, ignore_errors=True)
