#!/usr/bin/env python3
"""Checks QVFORMATDATETIME in the system's zone against the C library's localtime.

    zone_check.py ZONE FIRST_YEAR QVCALL [ARGS...]

Runs QVCALL (qvcall natively, or `wine qvcall.exe`) with TZ=ZONE, a zone file name that
the library leaves to the system's zone setting, and formats instants of every year from
FIRST_YEAR (the first under the zone's current rules) to the end of the range: around each
change of the zone's offset, densely, and at random. Each must give the local time that
Python's time.localtime (the C library's) gives under the same TZ. %Z is left out: Windows
names its zones otherwise.
"""
import os
import random
import shutil
import subprocess
import sys
import time

LAST = 2**32 - 1
FORMAT = "%Y-%m-%d %H:%M:%S"


def offset(t):
    local = time.localtime(t)
    return (local.tm_gmtoff, local.tm_isdst)


def changes(first):
    """The instants from `first` on at which the offset changes: a probe a day, then halving."""
    found, before, t = [], offset(first), first
    while t < LAST:
        nxt = min(t + 86400, LAST)
        if offset(nxt) != before:
            lo, hi = t, nxt
            while hi - lo > 1:
                mid = (lo + hi) // 2
                if offset(mid) == before:
                    lo = mid
                else:
                    hi = mid
            found.append(hi)
            before = offset(hi)
        t = nxt
    return found


def main():
    zone, first_year, command = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
    if shutil.which(command[0]) is None or not os.path.exists("/usr/share/zoneinfo/" + zone):
        if os.environ.get("CI") == "true":
            print(f"{command[0]} or the zone file of {zone} is missing (CI=true)")
            return 1
        print(f"SKIPPED: {command[0]} or the zone file of {zone} is missing")
        return 0
    probe = os.environ.get("QV_WINE32_PROBE", "")
    if probe and os.path.exists(probe):
        answer = open(probe).readline().strip()
        if answer.startswith("no: "):
            print(f"SKIPPED: {answer[4:]}, so this Windows test did not run")
            return 0
    os.environ["TZ"] = zone
    time.tzset()
    first = max(1, int(time.mktime((first_year, 1, 1, 0, 0, 0, 0, 0, -1))))
    moments = {first, LAST}
    for change in changes(first):
        for d in (-86400, -3601, -1801, -1, 0, 1, 1799, 3599, 3600):
            if first <= change + d <= LAST:
                moments.add(change + d)
    rng = random.Random(1100043200)
    moments.update(rng.randint(first, LAST) for _ in range(400))
    moments = sorted(moments)

    # The export reads the number's 32 bits: later instants are written as negative numbers.
    script = "".join(f'? QVFORMATDATETIME({t if t < 2**31 else t - 2**32}, "{FORMAT}")\n'
                     for t in moments)
    run = subprocess.run(command, input=script, text=True, capture_output=True, timeout=120)
    lines = [line.strip() for line in run.stdout.splitlines()]
    if run.returncode != 0 or len(lines) != len(moments):
        print(f"{' '.join(command)} exited with {run.returncode}, {len(lines)} lines for "
              f"{len(moments)} statements\n{run.stderr}")
        return 1
    failures = 0
    for t, line in zip(moments, lines):
        expected = '"' + time.strftime(FORMAT, time.localtime(t)) + '"'
        if line != expected:
            failures += 1
            if failures <= 10:
                print(f"TZ={zone} {t}: {line}, expected {expected}")
    print(f"TZ={zone}: {len(moments) - failures} of {len(moments)} instants from {first_year} "
          f"as the C library gives them")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
