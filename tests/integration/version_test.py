#!/usr/bin/env python3
"""The window, velmora-cli and velmora-cli-full print the project's version (given by CMake) with
--version, and the window does so without a display: it must answer before Qt looks for one."""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from checks import check, exit_status  # noqa: E402

VERSION = sys.argv[1]
PROGRAMS = sys.argv[2:]

# No display of any kind: a program that started its window would fail here.
ENV = {k: v for k, v in os.environ.items()
       if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}

for program in PROGRAMS:
    # velmora-cli-full is velmora-cli's second half and answers as velmora-cli.
    name = "velmora" if os.path.basename(program) == "velmora" else "velmora-cli"
    r = subprocess.run([program, "--version"], capture_output=True, text=True, env=ENV,
                       timeout=60)
    ok = r.returncode == 0 and r.stdout == "%s %s\n" % (name, VERSION)
    check(ok, "%s --version prints '%s %s'" % (os.path.basename(program), name, VERSION)
          + ("" if ok else " (exit %d, stdout %r, stderr %r)"
             % (r.returncode, r.stdout, r.stderr.strip()[-300:])))

sys.exit(exit_status())
