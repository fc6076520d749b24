"""Record files for the archive's script tests and benchmark, made through velmora-cli: a small
two-lead WFDB recording (each one its own wave) saved as an SCP-ECG file with a patient's card."""
import math
import os
import struct
import subprocess


def card_text(last, first="Анна", middle="Петровна", born=(1, 2, 1960)):
    return ("last_name = %s\nfirst_name = %s\npatronymic = %s\nbirth_day = %d\nbirth_month = %d\n"
            "birth_year = %d\nsex = ж\nheight = 160\nweight = 60\ndoctor_name = Петров\n"
            "doctor_phone = 1\n" % (last, first, middle, born[0], born[1], born[2]))


def make_scp(cli, folder, name, card, variant, env=None):
    """folder/name: an SCP-ECG file of recording `variant` with the card's text; its path."""
    rate, n = 500, 5000
    base = os.path.join(folder, "wave%d" % variant)
    with open(base + ".dat", "wb") as f:
        for i in range(n):
            f.write(struct.pack("<hh", 800 if i % 400 < 10 else 0,
                                int(300 * math.sin(i / 40.0 + variant))))
    open(base + ".hea", "w").write("wave%d 2 %d %d\nwave%d.dat 16 1000 16 0 0 0 0 I\n"
                                   "wave%d.dat 16 1000 16 0 0 0 0 II\n"
                                   % (variant, rate, n, variant, variant))
    card_file = os.path.join(folder, "card%d.txt" % variant)
    open(card_file, "w", encoding="utf-8").write(card)
    out = os.path.join(folder, name)
    r = subprocess.run([cli, "export", base + ".hea", "--card", card_file, "--out", out],
                       capture_output=True, env=env, timeout=120)
    if r.returncode != 0:
        raise RuntimeError("velmora-cli export %s: %s" % (name, r.stderr.decode(errors="replace")))
    for leftover in (base + ".dat", base + ".hea", card_file):
        os.remove(leftover)
    return out
