#!/usr/bin/env python3
"""Checks crdview --extract=DIR: the files it writes are read back with
Python's struct (BMP headers and pixel rows, the stored bytes of objects,
found in the card file itself), never with crdview's own code; an existing
file stops crdview and stays as it was; a directory that cannot be used is a
usage error; the listing is the same as without --extract.

Usage: check_extract.py CRDVIEW SOURCE_DIR SCRATCH_DIR
"""

import csv
import io
import json
import os
import shutil
import struct
import subprocess
import sys

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def run(args):
    done = subprocess.run(args, capture_output=True)
    return done.returncode, done.stdout, done.stderr


def bmp_problems(data):
    """What is wrong with a BMP file, judged by its headers and sizes alone."""
    if data[:2] != b"BM" or len(data) < 54:
        return "no BMP header"
    size, rows_at = struct.unpack_from("<I", data, 2)[0], struct.unpack_from("<I", data, 10)[0]
    header, width, height, planes, bits = struct.unpack_from("<IiiHH", data, 14)
    used = struct.unpack_from("<I", data, 46)[0]
    table = 4 * (used or (1 << bits)) if bits <= 8 else 4 * used
    stride = (width * bits + 31) // 32 * 4
    if size != len(data) or rows_at != 14 + header + table or planes != 1:
        return "size %d of %d, rows at %d" % (size, len(data), rows_at)
    if rows_at + stride * abs(height) > len(data):
        return "pixel rows beyond the end"
    return None


def graphic_bits(card_file, number):
    """The width, height and bits of the "MGC" picture of card `number`,
    read from the card file by hand."""
    entry = 5 + 52 * (number - 1)
    body = struct.unpack_from("<I", card_file, entry + 6)[0]
    length, width, height = struct.unpack_from("<HHH", card_file, body)
    return width, height, card_file[body + 10:body + 10 + length]


def main():
    crdview, source, scratch = sys.argv[1:4]
    examples = os.path.join(source, "examples")
    shutil.rmtree(scratch, ignore_errors=True)
    os.makedirs(scratch)

    # The "MGC" picture: a 1-bit BMP whose rows, bottom first, are the card's.
    out_dir = os.path.join(scratch, "contacts")
    os.makedirs(out_dir)
    contacts = os.path.join(examples, "contacts.crd")
    status, listing, err = run([crdview, "--extract=" + out_dir, "-e", "Windows-1251", contacts])
    check(status == 0 and err == b"crdview: wrote 1 file to %s\n" % out_dir.encode(),
          "contacts: status %d, stderr %r" % (status, err))
    check(listing == run([crdview, "-e", "Windows-1251", contacts])[1],
          "contacts: the listing differs with --extract")
    check(sorted(os.listdir(out_dir)) == ["card-3.bmp"], "contacts: %s" % os.listdir(out_dir))
    bmp = open(os.path.join(out_dir, "card-3.bmp"), "rb").read()
    check(bmp_problems(bmp) is None, "contacts card-3.bmp: %s" % bmp_problems(bmp))
    width, height, bits = graphic_bits(open(contacts, "rb").read(), 3)
    check(struct.unpack_from("<iiHH", bmp, 18) == (width, height, 1, 1), "contacts: header")
    check(bmp[54:62] == b"\0\0\0\0\xff\xff\xff\0", "contacts: black, then white")
    row, stride = (width + 15) // 16 * 2, (width + 31) // 32 * 4
    rows = [bmp[62 + stride * (height - 1 - y):][:row] for y in range(height)]
    check(b"".join(rows) == bits, "contacts: pixel rows differ from the card's bits")

    # Objects: embedded data and pictures as stored, a DIB behind a file header.
    out_dir = os.path.join(scratch, "office")
    os.makedirs(out_dir)
    office = os.path.join(examples, "office.crd")
    stored = open(office, "rb").read()
    status, document, err = run([crdview, "--format=json", "--extract", out_dir, office])
    check(status == 0 and err.endswith(b"wrote 3 files to %s\n" % out_dir.encode()),
          "office: status %d, stderr %r" % (status, err))
    files = {c["number"]: c.get("files") for c in json.loads(document)["cards"]}
    # The preview of the Paintbrush picture is the picture itself: written once.
    check(files == {1: None, 2: None, 3: ["card-3.bmp"], 4: None,
                    5: None, 6: ["card-6.wmf"], 7: ["card-7.bmp"]}, "office: files %s" % files)
    for name in ("card-3.bmp", "card-7.bmp"):
        data = open(os.path.join(out_dir, name), "rb").read()
        check(bmp_problems(data) is None, "office %s: %s" % (name, bmp_problems(data)))
        check((data if name == "card-3.bmp" else data[14:]) in stored,
              "office %s: not the stored bytes" % name)
    wmf = open(os.path.join(out_dir, "card-6.wmf"), "rb").read()
    check(wmf[:4] == b"\x01\x00\x09\x00" and wmf in stored, "office card-6.wmf")
    os.makedirs(os.path.join(scratch, "csv"))
    table = list(csv.reader(io.StringIO(run([crdview, "--format=csv", "--extract",
                                              os.path.join(scratch, "csv"), office])[1].decode(),
                                        newline="")))
    check(table[0] == ["number", "title", "text", "files"] and
          table[3][3] == "card-3.bmp", "office: csv files column")

    # Run again into the same directory: every existing file is skipped and
    # left as it was, the listing is complete, and the status is 1.
    before = {name: open(os.path.join(out_dir, name), "rb").read() for name in os.listdir(out_dir)}
    status, listing, err = run([crdview, "--extract=" + out_dir, office])
    check(status == 1 and err.count(b"exists, left as it is") == len(before) and
          b"(3 skipped" in err, "run again: status %d, stderr %r" % (status, err))
    check({name: open(os.path.join(out_dir, name), "rb").read()
           for name in os.listdir(out_dir)} == before, "run again: a file was written over")
    check(listing == run([crdview, office])[1], "run again: the listing is not complete")

    # A directory that does not exist is made; a path that is a file is a usage error.
    made = os.path.join(scratch, "new", "deeper")
    status, listing, err = run([crdview, "--extract=" + made, office])
    check(status == 0 and os.path.isdir(made), "missing directory: status %d" % status)
    status, listing, err = run([crdview, "--extract=" + office, office])
    check(status == 2 and listing == b"" and err.count(b"\n") == 1,
          "directory that is a file: status %d" % status)

    # Every golden card file: BMP files that parse, nothing for a damaged object.
    cases = os.path.join(source, "tests", "golden", "cases")
    for name in sorted(os.listdir(cases)):
        if not name.endswith(".crd"):
            continue
        out_dir = os.path.join(scratch, name)
        os.makedirs(out_dir)
        status, _, err = run([crdview, "--extract=" + out_dir, os.path.join(cases, name)])
        written = sorted(os.listdir(out_dir))
        for written_name in written:
            data = open(os.path.join(out_dir, written_name), "rb").read()
            # The hostile fixtures' pictures ask for more than they hold on
            # purpose: written as stored, they need not be sound BMP files.
            if written_name.endswith(".bmp") and not name.startswith("hostile_"):
                check(bmp_problems(data) is None,
                      "%s %s: %s" % (name, written_name, bmp_problems(data)))
        if name.startswith("object_") and not any(
                name.startswith("object_" + kind) for kind in
                ("embedded", "linked", "static", "cut_in_text")):
            check(written == [], "%s: a damaged object wrote %s" % (name, written))
    print("%d problems" % len(failures))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
