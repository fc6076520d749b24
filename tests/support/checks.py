"""What the script tests share: each check prints its verdict and a failed one is remembered, and
the script's exit status says whether any failed."""

failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)


def exit_status():
    """1 after saying how many checks failed, 0 when none did."""
    if failures:
        print("%d check(s) failed" % len(failures))
        return 1
    return 0
