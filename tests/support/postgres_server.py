"""A private PostgreSQL server for the tests and benchmarks: Debian's PostgreSQL (the newest under
/usr/lib/postgresql/*/bin) initialised in a folder of its own inside `folder`, listening on
127.0.0.1 on a free port with its socket in that folder, with one database owned by one login
user that connects by password over TCP. The cluster's superuser connects through the socket
without one. Stopped and removed on leaving, also when the test fails.

    with PostgresServer(folder) as pg:
        pg.url()          postgresql://velmora@127.0.0.1:PORT/velmora
        pg.env()          os.environ with PGPASSWORD set
        pg.psql("SELECT 1")

PostgreSQL refuses to run as root: as root the server's folder belongs to `postgres` and its
programs run as that user. PostgresServer(folder, ssl=True) serves TLS with a self-signed
certificate (pg.certificate, made for 127.0.0.1); ssl_only=True also refuses connections without
it.

As a program it wraps a command (a C++ test, say) in a server of its own:
    python3 postgres_server.py [--ssl] --run -- COMMAND...
runs COMMAND with VELMORA_TEST_PG=postgresql://velmora@127.0.0.1:PORT/velmora and PGPASSWORD
set, and exits with its status; 77 when PostgreSQL is not installed (the test is skipped)."""
import glob
import os
import pwd
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading

SKIPPED = 77  # CTest's SKIP_RETURN_CODE for the tests that use this server


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def binaries():
    """The folder of the newest installed server's programs, or None."""
    found = [d for d in glob.glob("/usr/lib/postgresql/*/bin")
             if os.path.exists(os.path.join(d, "initdb"))]
    found.sort(key=lambda d: int(d.split("/")[-2]) if d.split("/")[-2].isdigit() else 0)
    return found[-1] if found else None


def skip_unless_installed():
    """Ends the test as skipped when there is no PostgreSQL server to start."""
    if binaries() is None:
        print("PostgreSQL is not installed (Debian: postgresql): skipped", flush=True)
        sys.exit(SKIPPED)


class PostgresServer:
    def __init__(self, folder, ssl=False, ssl_only=False, user="velmora",
                 password="archive-test-password", database="velmora"):
        self.bin = binaries()
        if self.bin is None:
            raise RuntimeError("PostgreSQL is not installed (Debian: postgresql)")
        self.folder = os.path.join(folder, "postgres")
        self.data = os.path.join(self.folder, "data")
        self.log = os.path.join(self.folder, "server.log")
        self.ssl, self.ssl_only = ssl or ssl_only, ssl_only
        self.user, self.password, self.database = user, password, database
        self.port = None
        self.certificate = os.path.join(self.folder, "server.crt")
        self.started = False
        # The server's programs run as the owner of its folder: postgres when we are root.
        self.as_root = os.geteuid() == 0
        self.owner = pwd.getpwnam("postgres") if self.as_root else None
        self.parent = folder

    # -- running the server's programs -------------------------------------------------------

    def _as_owner(self, argv):
        if self.as_root:
            return ["runuser", "-u", "postgres", "--"] + argv
        return argv

    def _run(self, argv, check=True, timeout=120, **kw):
        r = subprocess.run(self._as_owner(argv), capture_output=True, timeout=timeout,
                           cwd=self.folder, **kw)
        if check and r.returncode != 0:
            raise RuntimeError("%s failed: %s%s" % (" ".join(argv), r.stdout.decode(errors="replace"),
                                                     r.stderr.decode(errors="replace")))
        return r

    def _chown(self, path):
        if self.as_root:
            os.chown(path, self.owner.pw_uid, self.owner.pw_gid)

    # -- life --------------------------------------------------------------------------------

    def __enter__(self):
        # CTest ends a test that runs too long with SIGTERM: leave through __exit__ then, so
        # that no server outlives its test.
        if (threading.current_thread() is threading.main_thread()
                and signal.getsignal(signal.SIGTERM) == signal.SIG_DFL):
            signal.signal(signal.SIGTERM, lambda *_: sys.exit(128 + signal.SIGTERM))
        try:
            self._start()
        except BaseException:
            self.__exit__()
            raise
        return self

    def _start(self):
        if self.as_root:
            # postgres must reach its folder through the test's private one (mode 0700).
            os.chmod(self.parent, os.stat(self.parent).st_mode | 0o711)
        os.makedirs(self.folder)
        self._chown(self.folder)
        self._run([os.path.join(self.bin, "initdb"), "-D", self.data, "-U", "postgres",
                   "--auth-local=trust", "--auth-host=reject", "-E", "UTF8",
                   "--locale=" + self._locale(), "--no-sync"])
        if self.ssl:
            self._make_certificate()
        with open(os.path.join(self.data, "pg_hba.conf"), "w") as hba:
            hba.write("local all all trust\n")
            kind = "hostssl" if self.ssl_only else "host"
            hba.write("%s all all 127.0.0.1/32 scram-sha-256\n" % kind)
        self._chown(os.path.join(self.data, "pg_hba.conf"))
        for attempt in range(5):
            self.port = free_port()
            settings = {
                "listen_addresses": "'127.0.0.1'", "port": str(self.port),
                "unix_socket_directories": "'%s'" % self.folder, "fsync": "off",
                "synchronous_commit": "off", "full_page_writes": "off",
                "logging_collector": "off", "log_min_messages": "warning",
            }
            if self.ssl:
                settings.update({"ssl": "on", "ssl_cert_file": "'%s'" % self.certificate,
                                 "ssl_key_file": "'%s'" % os.path.join(self.folder, "server.key")})
            with open(os.path.join(self.data, "postgresql.auto.conf"), "w") as conf:
                for k, v in settings.items():
                    conf.write("%s = %s\n" % (k, v))
            self._chown(os.path.join(self.data, "postgresql.auto.conf"))
            r = self._run([os.path.join(self.bin, "pg_ctl"), "-D", self.data, "-l", self.log,
                           "-w", "-t", "60", "start"], check=False)
            if r.returncode == 0:
                self.started = True
                break
            # Another program may have taken the port meanwhile: try another one.
            if attempt == 4 or "could not bind" not in self._log_tail():
                raise RuntimeError("PostgreSQL did not start: " + self._log_tail())
        self.psql("CREATE ROLE %s LOGIN CREATEDB PASSWORD '%s'" % (self.user, self.password),
                  database="postgres")
        self.create_database(self.database)

    def _log_tail(self):
        try:
            return open(self.log, errors="replace").read()[-3000:]
        except OSError:
            return "(no log)"

    def _locale(self):
        # A clinic's server sorts by a language's rules, not bytes: test with one when there is.
        r = subprocess.run(["locale", "-a"], capture_output=True, text=True)
        have = {name.lower().replace("-", "") for name in r.stdout.split()}
        for name in ("ru_RU.UTF-8", "en_US.UTF-8", "C.UTF-8"):
            if name.lower().replace("-", "") in have:
                return name
        return "C"

    def _make_certificate(self):
        key = os.path.join(self.folder, "server.key")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                        "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                        "-keyout", key, "-out", self.certificate],
                       check=True, capture_output=True, timeout=120)
        os.chmod(key, 0o600)
        self._chown(key)
        self._chown(self.certificate)

    def __exit__(self, *exc):
        if self.started:
            self._run([os.path.join(self.bin, "pg_ctl"), "-D", self.data, "-m", "immediate",
                       "-w", "stop"], check=False)
            self.started = False
        shutil.rmtree(self.folder, ignore_errors=True)

    # -- using it ----------------------------------------------------------------------------

    def url(self, database=None, sslmode=None):
        u = "postgresql://%s@127.0.0.1:%d/%s" % (self.user, self.port, database or self.database)
        return u + ("?sslmode=" + sslmode if sslmode else "")

    def env(self, base=None):
        return dict(base if base is not None else os.environ, PGPASSWORD=self.password)

    def psql(self, sql, database=None, script=None, timeout=120):
        """Runs SQL (or, with sql None, a script given as text: COPY ... FROM STDIN takes its
        rows from it) as the superuser; returns its output, unaligned, one row a line."""
        command = ["-c", sql] if sql is not None else ["-f", "-"]
        r = self._run([os.path.join(self.bin, "psql"), "-X", "-q", "-A", "-t", "-v",
                       "ON_ERROR_STOP=1", "-h", self.folder, "-p", str(self.port), "-U",
                       "postgres", "-d", database or self.database] + command,
                      input=script.encode() if script is not None else None, timeout=timeout)
        return r.stdout.decode()

    def create_database(self, name):
        self.psql('CREATE DATABASE "%s" OWNER %s' % (name, self.user), database="postgres")
        return name


def main(argv):
    ssl = "--ssl" in argv
    if "--run" not in argv or "--" not in argv:
        print("usage: postgres_server.py [--ssl] --run -- COMMAND...", file=sys.stderr)
        return 2
    command = argv[argv.index("--") + 1:]
    skip_unless_installed()
    folder = tempfile.mkdtemp(prefix="velmora-pg-")
    try:
        with PostgresServer(folder, ssl=ssl) as pg:
            env = pg.env(dict(os.environ, VELMORA_TEST_PG=pg.url()))
            return subprocess.run(command, env=env).returncode
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
