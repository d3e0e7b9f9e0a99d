#!/usr/bin/env python3
"""Rewrites every generated card file of the project from the scripts that
state them in bytes (all through tests/cardfile_builder.py):

    python3 tests/regenerate.py

examples/*.crd                       examples/make_examples.py
tests/golden/cases/*.crd, *.args     tests/golden/make_cases.py
fuzz/seeds/*, fuzz/regressions/*     fuzz/make_seeds.py

The golden cases' expected outputs are not generated here: they are recorded
from the built program (python3 tests/golden/record.py build/crdview). The
benchmark files are not kept in the tree: bench/run.sh writes them with
bench/make_bench_files.py when it runs. Standard library only; the output
is the same, byte for byte, on every run.
"""

import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
GENERATORS = ("examples/make_examples.py", "tests/golden/make_cases.py", "fuzz/make_seeds.py")


def main():
    for script in GENERATORS:
        done = subprocess.run([sys.executable, os.path.join(ROOT, script)], cwd=ROOT)
        if done.returncode != 0:
            sys.exit("%s failed (exit status %d)" % (script, done.returncode))


if __name__ == "__main__":
    main()
