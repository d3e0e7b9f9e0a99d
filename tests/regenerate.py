#!/usr/bin/env python3
"""Rewrites every generated card file of the project, and what is expected
of it, from the scripts that state them in bytes (all through
tests/cardfile_builder.py):

    python3 tests/regenerate.py

examples/*.crd           examples/make_examples.py
tests/golden/cases/*     tests/golden/make_cases.py
fuzz/seeds/*             fuzz/make_seeds.py

The benchmark files are not kept in the tree: bench/run.sh writes them with
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
