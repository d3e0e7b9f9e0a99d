#!/usr/bin/env python3
"""Checks the web page's way into crdview (src/web/web_run), built natively:
for the examples and every golden card file, each under its bare name in one
directory, what it gives for each format, code page, find text and card list
must be what crdview writes for the same command line, byte for byte, with
the same messages and exit status; its "pictures" zip archive, read by
Python's zipfile, must hold the files that --extract writes. Files named "-"
and "-e" are card files, not standard input or an option.

Usage: check_web_run.py CRDVIEW WEB_TOOL SOURCE_DIR SCRATCH_DIR
"""

import glob
import io
import os
import shutil
import subprocess
import sys
import zipfile

FORMATS = ["html", "json", "csv", "vcard", "vcard4"]


def run(args, cwd):
    done = subprocess.run(args, cwd=cwd, capture_output=True)
    return done.returncode, done.stdout, done.stderr


def main():
    crdview, tool, source, scratch = (os.path.abspath(a) for a in sys.argv[1:5])
    cards = os.path.join(scratch, "cards")
    extracted = os.path.join(scratch, "extracted")
    web_scratch = os.path.join(scratch, "web-scratch")
    for folder in (cards, web_scratch):
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
    for path in glob.glob(os.path.join(source, "tests/golden/cases/*.crd")) + \
            glob.glob(os.path.join(source, "examples/*.crd")):
        shutil.copy(path, cards)
    shutil.copy(os.path.join(source, "examples/contacts.crd"), os.path.join(cards, "-"))
    shutil.copy(os.path.join(source, "examples/office.crd"), os.path.join(cards, "-e"))
    names = sorted(os.listdir(cards))

    # One file at a time, every format; several at once; then the options.
    runs = [([name], fmt, "", "", "") for name in names for fmt in FORMATS]
    runs += [(["contacts.crd", "-", "office.crd", "-e"], fmt, "", "", "") for fmt in FORMATS]
    runs += [(["contacts.crd", "office.crd"], "html", "Windows-1251", "", ""),
             (["contacts.crd", "office.crd"], "json", "cp1252", "", ""),
             (["contacts.crd"], "csv", "auto", "ОФИС", ""),
             (["office.crd", "-e"], "vcard", "", "a", "2-5,7"),
             (["office.crd"], "html", "", "", "x"),
             (["office.crd"], "json", "Windows-9999", "", "")]
    failures = 0
    for files, fmt, encoding, find, card_list in runs:
        options = ["--format=" + fmt] + ["--encoding=" + encoding] * bool(encoding) + \
            ["--find=" + find] * bool(find) + ["--card=" + card_list] * bool(card_list)
        expected = run([crdview] + options + ["--"] + [f if f != "-" else "./-" for f in files],
                       cards)
        got = run([tool, fmt, encoding, find, card_list, web_scratch] + files, cards)
        if got != expected:
            failures += 1
            print("FAIL:", options, files, got[0], expected[0], got[2][:200], expected[2][:200])

    # The pictures and objects: the zip holds what --extract writes.
    for files in [[name] for name in names] + [["contacts.crd", "office.crd", "-e"]]:
        shutil.rmtree(extracted, ignore_errors=True)
        run([crdview, "--extract=" + extracted, "--"] + [f if f != "-" else "./-" for f in files],
            cards)
        wanted = {n: open(os.path.join(extracted, n), "rb").read() for n in os.listdir(extracted)}
        status, archive, _ = run([tool, "pictures", "", "", "", web_scratch] + files, cards)
        with zipfile.ZipFile(io.BytesIO(archive)) as z:
            ok = z.testzip() is None and all(i.compress_type == zipfile.ZIP_STORED and
                                             i.flag_bits & 0x800 for i in z.infolist())
            got = {i.filename: z.read(i) for i in z.infolist()}
        if not ok or got != wanted or os.listdir(web_scratch):
            failures += 1
            print("FAIL: pictures of", files, sorted(got), sorted(wanted))
    print(f"{len(runs)} runs and {len(names) + 1} zip archives, {failures} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
