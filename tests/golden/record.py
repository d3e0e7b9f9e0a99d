#!/usr/bin/env python3
"""Records what the built crdview prints for golden cases, as their expected
output: for each case NAME (a NAME.args in the cases folder), crdview runs
in that folder on the arguments of NAME.args (one a line), and

    NAME.out      gets its standard output (always written),
    NAME.err      its standard error, or is removed when that is empty,
    NAME.status   its exit status, or is removed when that is 0.

    python3 tests/golden/record.py build/crdview              every case
    python3 tests/golden/record.py build/crdview CASE...      those cases
    python3 tests/golden/record.py --cases DIR build/crdview  another folder

Then read `git diff tests/golden/cases` as any other change: every byte of it
is a change in what crdview prints. A file that already holds what was
recorded is not touched. The program file must be named crdview: the help
text shows the name it is run by. Standard library only.
"""

import argparse
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def arguments(path):
    """The arguments of a case, as the case runner reads them: one a line."""
    with open(path, "rb") as f:
        data = f.read()
    lines = data.split(b"\n")
    if lines[-1] != b"":
        sys.exit("%s: the last line has no line end" % path)
    lines.pop()
    for line in lines:
        if not line or b"\r" in line:
            sys.exit("%s: an empty line or a CR, which the case runner would not pass on" % path)
    return lines


def write(path, data):
    """Writes `data` to `path` (None: removes it); True when the file changed."""
    old = None
    if os.path.exists(path):
        with open(path, "rb") as f:
            old = f.read()
    if old == data:
        return False
    if data is None:
        os.remove(path)
    else:
        with open(path, "wb") as f:
            f.write(data)
    return True


def record(program, cases_dir, name):
    """Runs case `name` and writes what it printed; the number of files changed."""
    args = arguments(os.path.join(cases_dir, name + ".args"))
    done = subprocess.run([program] + args, cwd=cases_dir, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if done.returncode < 0:
        sys.exit("%s: crdview was killed by signal %d" % (name, -done.returncode))
    base = os.path.join(cases_dir, name)
    return (write(base + ".out", done.stdout) +
            write(base + ".err", done.stderr or None) +
            write(base + ".status", b"%d\n" % done.returncode if done.returncode else None))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--cases", default=os.path.join(HERE, "cases"),
                        help="the folder of the cases (default: cases/ beside this script)")
    parser.add_argument("crdview", help="the built program")
    parser.add_argument("case", nargs="*", help="the cases to record (default: every case)")
    options = parser.parse_args()
    program = os.path.abspath(options.crdview)
    if os.path.basename(program) != "crdview" or not os.access(program, os.X_OK):
        sys.exit("%s: not a program named crdview" % options.crdview)
    names = [os.path.splitext(os.path.basename(case))[0] if case.endswith(".args") else case
             for case in options.case]
    if not names:
        names = sorted(entry[:-len(".args")] for entry in os.listdir(options.cases)
                       if entry.endswith(".args"))
    for name in names:
        if not os.path.isfile(os.path.join(options.cases, name + ".args")):
            sys.exit("%s: no such case (no %s.args in %s)" % (name, name, options.cases))
    changed = sum(record(program, options.cases, name) for name in names)
    print("%d cases recorded, %d files changed in %s" % (len(names), changed, options.cases))


if __name__ == "__main__":
    main()
