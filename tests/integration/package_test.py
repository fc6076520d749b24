#!/usr/bin/env python3
"""The Debian package: scripts/package makes build/velmora_<version>-<revision>_amd64.deb from the
release build; it holds what it must (programs stripped, the helper, desktop entry, MIME types,
metainfo, man pages, changelog, copyright) and none of the desktop's caches; lintian finds no error
and no warning; the desktop entry and metainfo validate. As root (CI is root) the package is
installed with apt-get: the installed programs print the version and work together (velmora-cli
starts velmora-cli-full and the interchange helper from where the package puts them), the desktop
knows the record files' types; then it is purged and nothing it installed is left. A failure
purges it all the same."""
import glob
import gzip
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from checks import check, exit_status  # noqa: E402

SOURCE, BUILD, VERSION = sys.argv[1], sys.argv[2], sys.argv[3]
TMP = tempfile.mkdtemp(prefix="velmora-package-")
ENV = dict(os.environ, LC_ALL="C.UTF-8", DEBIAN_FRONTEND="noninteractive")
for k in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
    ENV.pop(k, None)
# The MIME types the package brings, as update-mime-database writes them out.
MIME_TYPES = ("application/x-velmora-ecg", "application/x-scp-ecg")
GENERATED_MIME = ["/usr/share/mime/%s.xml" % t for t in MIME_TYPES]
REQUIRED = ["/usr/bin/velmora", "/usr/bin/velmora-cli", "/usr/bin/velmora-cli-full",
            "/usr/libexec/velmora/velmora-interchange",
            "/usr/share/applications/velmora.desktop", "/usr/share/mime/packages/velmora.xml",
            "/usr/share/icons/hicolor/64x64/apps/velmora.png",
            "/usr/share/man/man1/velmora.1.gz", "/usr/share/man/man1/velmora-cli.1.gz",
            "/usr/share/man/man1/velmora-cli-full.1.gz",
            "/usr/share/doc/velmora/changelog.Debian.gz", "/usr/share/doc/velmora/copyright"]
PROGRAMS = REQUIRED[:4]


def run(*args, timeout=300, env=None):
    return subprocess.run(args, capture_output=True, text=True, env=env or ENV, timeout=timeout)


def check_run(ok, what, r):
    """A check on a command's result; its output is shown only when the check fails."""
    check(ok, what if ok else what + ": " + (r.stdout + r.stderr).strip()[-600:])


def package_status():
    r = run("dpkg-query", "-W", "-f=${Status}", "velmora")
    return r.stdout.strip() if r.returncode == 0 else ""


def check_package_file(deb):
    """What the .deb holds and says, before anything is installed. Returns its paths."""
    fields = {f: run("dpkg-deb", "-f", deb, f).stdout.strip() for f in ("Version", "Depends")}
    check(re.fullmatch(re.escape(VERSION) + r"-[0-9A-Za-z.+~]+", fields["Version"]) is not None,
          "the package's version is the project's with a Debian revision: " + fields["Version"])
    check(os.path.basename(deb) == "velmora_%s_amd64.deb" % fields["Version"],
          "the file is named velmora_<version>_amd64.deb: " + os.path.basename(deb))
    depends = [d.strip().split()[0] for d in fields["Depends"].split(",") if d.strip()]
    # dpkg-shlibdeps' share: the libraries the programs link, which nobody listed by hand.
    for lib in ("libc6", "libqt6widgets6", "libdcmtk", "libbiosig", "libsodium"):
        ok = any(d.startswith(lib) for d in depends)
        check(ok, "Depends has " + lib + ("" if ok else " (" + fields["Depends"] + ")"))
    check("libqt6sql6-sqlite" in depends, "Depends has the archive's SQLite driver")

    r = run("dpkg-deb", "-c", deb)
    paths = [line.split(None, 5)[5].split(" -> ")[0][1:].rstrip("/")
             for line in r.stdout.splitlines()]
    for p in REQUIRED:
        check(p in paths, "the package holds " + p)
    metainfo = [p for p in paths if re.fullmatch(r"/usr/share/metainfo/[\w.-]+\.metainfo\.xml", p)]
    check(len(metainfo) == 1, "the package holds one AppStream metainfo file: %s" % metainfo)
    # The caches belong to shared-mime-info and desktop-file-utils, whose triggers rebuild them.
    caches = [p for p in paths if (p.startswith("/usr/share/mime/")
                                   and not p.startswith("/usr/share/mime/packages"))
              or p.endswith("/mimeinfo.cache") or p.endswith("/icon-theme.cache")]
    check(not caches, "no desktop cache in the package: %s" % caches)

    unpacked = os.path.join(TMP, "unpacked")
    r = run("dpkg-deb", "-x", deb, unpacked)
    check_run(r.returncode == 0, "dpkg-deb -x", r)
    for p in PROGRAMS:
        r = run("readelf", "-S", "-W", unpacked + p)
        check(r.returncode == 0 and ".symtab" not in r.stdout and ".debug_" not in r.stdout,
              p + " is stripped")
    with gzip.open(unpacked + "/usr/share/doc/velmora/changelog.Debian.gz", "rt") as f:
        head = f.readline()
    check(head.startswith("velmora (%s) " % fields["Version"]),
          "the changelog's newest entry is the package's version: " + head.strip())
    with open(unpacked + "/usr/share/doc/velmora/copyright", encoding="utf-8") as f:
        check(f.readline().strip() ==
              "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/",
              "the copyright file is machine-readable (DEP-5)")
    if metainfo:
        r = run("appstreamcli", "validate", "--no-net", unpacked + metainfo[0])
        check_run(r.returncode == 0, "appstreamcli validate --no-net", r)
        root = ET.parse(unpacked + metainfo[0]).getroot()
        check(os.path.basename(metainfo[0]) == root.findtext("id") + ".metainfo.xml",
              "the metainfo file is named after its id")
        release = root.find("releases/release")
        check(release is not None and release.get("version") == VERSION,
              "the metainfo's release is the version")
    r = run("desktop-file-validate", unpacked + "/usr/share/applications/velmora.desktop")
    check_run(r.returncode == 0 and not r.stdout.strip(), "desktop-file-validate", r)
    r = run("lintian", "--fail-on", "error,warning", deb, timeout=600)
    complaints = [line for line in r.stdout.splitlines() if line[:2] in ("E:", "W:")]
    check_run(r.returncode == 0 and not complaints, "lintian reports no error and no warning", r)
    return paths


def check_installed(home):
    """The installed programs, from where the package put them, and the desktop's file types."""
    env = dict(ENV, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
               XDG_DATA_HOME=os.path.join(home, ".local", "share"), XDG_DATA_DIRS="/usr/share",
               XDG_RUNTIME_DIR=home)
    for program in ("/usr/bin/velmora", "/usr/bin/velmora-cli"):
        r = run(program, "--version", env=env)
        check_run(r.returncode == 0 and r.stdout.split()[-1:] == [VERSION],
                  "installed %s --version prints %s" % (program, VERSION), r)

    # A simulated record, a DICOM object of it (written and read back by the helper in
    # /usr/libexec) and its chart (drawn by velmora-cli-full beside velmora-cli).
    dat, dcm, png, scp = (os.path.join(home, "record." + e) for e in ("dat", "dcm", "png", "scp"))
    card = os.path.join(home, "card.txt")
    with open(card, "w", encoding="utf-8") as f:
        f.write("doctor_name = Петров\ndoctor_phone = 1\nlast_name = Иванов\nfirst_name = Иван\n"
                "patronymic = Иванович\nbirth_year = 1950\nheight = 180\nweight = 80\n")
    steps = [("simulate", "--out", dat), ("export", dat, "--card", card, "--out", dcm),
             ("info", dcm), ("render", dat, "--out", png),
             ("export", dat, "--card", card, "--out", scp)]
    for step in steps:
        r = run("/usr/bin/velmora-cli", *step, env=env, timeout=120)
        check_run(r.returncode == 0,
                  "installed velmora-cli " + " ".join(os.path.basename(a) for a in step), r)
    check(os.path.isfile(png) and os.path.getsize(png) > 0, "the chart was drawn")

    # The desktop: the MIME package is in place, the trigger ran update-mime-database, GIO types
    # a record file by it and names velmora to open it.
    check(os.path.isfile("/usr/share/mime/packages/velmora.xml"), "the MIME package is installed")
    for path in GENERATED_MIME:
        check(os.path.isfile(path), "update-mime-database ran: " + path)
    r = run("gio", "info", "-a", "standard::content-type", scp, env=env)
    check_run("application/x-scp-ecg" in r.stdout, "GIO types a .scp file", r)
    for mime in MIME_TYPES:
        r = run("gio", "mime", mime, env=env)
        first = r.stdout.splitlines()[0] if r.stdout else ""
        check_run("velmora.desktop" in first, "velmora opens " + mime, r)


def install_and_purge(deb, paths):
    apt = ["apt-get", "-o", "DPkg::Lock::Timeout=120"]
    before = {p for p in paths + GENERATED_MIME if os.path.lexists(p)}
    try:
        r = run(*apt, "install", "-y", "--no-install-recommends", os.path.abspath(deb),
                timeout=600)
        check_run(r.returncode == 0, "apt-get install ./" + os.path.basename(deb), r)
        if r.returncode != 0:
            return
        listed = run("dpkg", "-L", "velmora").stdout.split("\n")
        listed = [p for p in listed if p.startswith("/") and p != "/."]
        check(set(REQUIRED) <= set(listed), "dpkg -L velmora lists every required file")
        home = os.path.join(TMP, "home")
        os.makedirs(home, mode=0o700)
        check_installed(home)

        r = run(*apt, "purge", "-y", "velmora", timeout=600)
        check_run(r.returncode == 0, "apt-get purge velmora", r)
        check(package_status() in ("", "unknown ok not-installed"),
              "dpkg knows velmora no more: " + package_status())
        left = [p for p in listed + GENERATED_MIME if p not in before and os.path.lexists(p)]
        check(not left, "the purge leaves nothing behind: %s" % left)
    finally:
        # Whatever failed above, the machine is left as it was.
        if package_status() not in ("", "unknown ok not-installed"):
            run(*apt, "purge", "-y", "velmora", timeout=600)


try:
    r = run(os.path.join(SOURCE, "scripts", "package"), "--no-check", BUILD, timeout=3600)
    deb = r.stdout.strip().splitlines()[-1] if r.returncode == 0 and r.stdout.strip() else ""
    check_run(r.returncode == 0 and os.path.isfile(deb), "scripts/package made the package", r)
    debs = glob.glob(os.path.join(BUILD, "velmora_*.deb"))
    check(debs == [deb], "build/velmora_*.deb names that one package: %s" % debs)
    if os.path.isfile(deb):
        paths = check_package_file(deb)
        if os.geteuid() != 0:
            print("SKIP install and purge: they need root (run the test as root, as CI does)")
        elif package_status() not in ("", "unknown ok not-installed"):
            print("SKIP install and purge: a velmora package is installed on this machine ("
                  + package_status() + "); it is left alone")
        else:
            install_and_purge(deb, paths)
finally:
    shutil.rmtree(TMP, ignore_errors=True)

sys.exit(exit_status())
