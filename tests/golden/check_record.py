#!/usr/bin/env python3
"""Checks tests/golden/record.py on copies of a few golden cases: recorded
again into a scratch folder whose expected files were spoiled (an output
changed, a stale standard error and exit status added, the real ones
removed), the cases come out as they are committed; a second run changes
nothing; a case not named is left alone.

Usage: check_record.py CRDVIEW SCRATCH_DIR
"""

import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
CASES = os.path.join(HERE, "cases")
# A listing with nothing on standard error, one with its problems there, one
# that fails with status 1 and standard error, and one that is not recorded.
NAMES = ["mgc_two_cards", "damage_text_cut", "json_missing_file"]
UNTOUCHED = "as_stored"


def read(path):
    with open(path, "rb") as f:
        return f.read()


def files_of(folder, name):
    return {entry: read(os.path.join(folder, entry))
            for entry in sorted(os.listdir(folder)) if entry.startswith(name + ".")}


def record(program, scratch, names):
    done = subprocess.run([sys.executable, os.path.join(HERE, "record.py"), "--cases", scratch,
                           program] + names, stdout=subprocess.PIPE, check=True)
    return done.stdout.decode()


def main():
    program, scratch = sys.argv[1], os.path.join(sys.argv[2], "cases")
    shutil.rmtree(scratch, ignore_errors=True)
    os.makedirs(scratch)
    for name in NAMES + [UNTOUCHED]:
        for entry in files_of(CASES, name):
            shutil.copy(os.path.join(CASES, entry), scratch)
    with open(os.path.join(scratch, UNTOUCHED + ".out"), "ab") as f:
        f.write(b"not recorded")
    spoiled = files_of(scratch, UNTOUCHED)
    # Spoil each expected file the recording must write or remove.
    with open(os.path.join(scratch, "mgc_two_cards.out"), "ab") as f:
        f.write(b"stale")
    for stale in ("mgc_two_cards.err", "mgc_two_cards.status"):
        with open(os.path.join(scratch, stale), "wb") as f:
            f.write(b"stale\n")
    os.remove(os.path.join(scratch, "damage_text_cut.err"))
    os.remove(os.path.join(scratch, "json_missing_file.status"))

    first = record(program, scratch, NAMES)
    failures = []
    for name in NAMES:
        if files_of(scratch, name) != files_of(CASES, name):
            failures.append("%s: recorded %s, committed %s" % (
                name, sorted(files_of(scratch, name)), sorted(files_of(CASES, name))))
    if files_of(scratch, UNTOUCHED) != spoiled:
        failures.append(UNTOUCHED + ": recorded though not named")
    if not first.startswith("3 cases recorded, 5 files changed"):
        failures.append("first run: " + first)
    second = record(program, scratch, NAMES)
    if not second.startswith("3 cases recorded, 0 files changed"):
        failures.append("second run: " + second)
    for failure in failures:
        print("FAIL:", failure)
    print("record.py: %d cases recorded into %s, %d failures" % (len(NAMES), scratch,
                                                                 len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
