#!/usr/bin/env python3
"""Checks crdview --extract=DIR: the files it writes are read back with
Python's struct (BMP headers and pixel rows, the stored bytes of objects,
found in the card file itself), never with crdview's own code; an existing
file is skipped and stays as it was; a directory that cannot be used is a
usage error; the listing is the same as without --extract. Hostile card
files, stated in bytes with tests/cardfile_builder.py: a class name too long
for a file name, names no file system takes, bodies shared by many entries,
card files of one name from several folders and standard input, and files
that cannot be created or written whole: every other file and the listing
go on, and the status says what was lost.

Usage: check_extract.py CRDVIEW SOURCE_DIR SCRATCH_DIR
"""

import csv
import io
import json
import os
import resource
import shutil
import signal
import struct
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import cardfile_builder as crd  # noqa: E402

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


def embedded(class_name, native, text=b""):
    """An "RRG" body holding an embedded object with `native` as its data."""
    rest = crd.embedded_data(native) + crd.presentation()
    return crd.object_body(7, crd.ole_object(crd.EMBEDDED, class_name, rest), text, 0)


def shared(head, body, count):
    """A card file whose `count` entries all point at one body."""
    at = len(head) + count * crd.INDEX_ENTRY_SIZE
    entries = [crd.Entry(b"first", body)] + [crd.Entry(b"again", offset=at)] * (count - 1)
    return crd.lay_out(head, entries)[0]


def rrg(*entries):
    return crd.lay_out(crd.header(crd.RRG, len(entries)), list(entries))[0]


PICTURE = crd.Picture(16, 2, 0, 0, b"\x00\xff\xff\x00")
MGC_PICTURE = crd.lay_out(crd.header(crd.MGC, 1), [crd.Entry(b"x", crd.mgc_body(b"t", PICTURE))])[0]
BIG = bytes(range(256)) * 300  # 76,800 bytes of object data
LONG_CLASS = rrg(crd.Entry(b"long", embedded(b"A" * 250, b"one")),
                 crd.Entry(b"text", crd.rrg_text_body(b"hello")),
                 crd.Entry(b"pkg", embedded(b"Package", b"two")))

# Each case: its card files (name: bytes, "-" for standard input), the
# arguments after --extract=DIR (the card files, run in the scratch folder),
# the files it must write (name: bytes, or None for any), its status, what
# standard error must hold, the "files" each card's JSON names (by number,
# when given), and what the run must get: a directory path this long, a
# limit on the size of a file it writes.
HOSTILE = [
    dict(name="class_name_250_letters", cards={"long.crd": LONG_CLASS}, args=["long.crd"],
         files={"card-1." + "A" * 32 + ".bin": b"one", "card-3.Package.bin": b"two"}, status=0),
    dict(name="class_name_unsafe", cards={"odd.crd": rrg(crd.Entry(b"odd", embedded(
        b"../a\\b:c*d?e\x1b]2;x\x07 f.g", b"odd")))}, args=["odd.crd"],
         files={"card-1.abcde2xfg.bin": b"odd"}, status=0),
    dict(name="object_shared_by_4_entries", cards={"shared.crd": shared(
        crd.header(crd.RRG, 4), embedded(b"Package", BIG), 4)}, args=["shared.crd"],
         files={"card-1.Package.bin": BIG}, status=0,
         named={n: ["card-1.Package.bin"] for n in range(1, 5)}),
    dict(name="picture_shared_by_3_entries", cards={"mgc.crd": shared(
        crd.header(crd.MGC, 3), crd.mgc_body(b"t", PICTURE), 3)}, args=["mgc.crd"],
         files={"card-1.bmp": None}, status=0, named={n: ["card-1.bmp"] for n in range(1, 4)}),
    dict(name="one_name_from_folders_and_stdin",
         cards={"a/x.crd": MGC_PICTURE, "b/x.crd": MGC_PICTURE, "x-2.crd": MGC_PICTURE,
                "stdin.crd": MGC_PICTURE, "-": MGC_PICTURE},
         args=["a/x.crd", "b/x.crd", "x-2.crd", "-", "stdin.crd"],
         files={"x-card-1.bmp": None, "x-2-card-1.bmp": None, "x-2-2-card-1.bmp": None,
                "stdin-card-1.bmp": None, "stdin-2-card-1.bmp": None}, status=0),
    # Room for "card-3.Package.bin" but not for the 32-letter class's name.
    dict(name="name_too_long_for_the_path", cards={"long.crd": LONG_CLASS}, args=["long.crd"],
         files={"card-3.Package.bin": b"two"}, status=1, dir_length=4060,
         err=[b"card-1.AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA.bin: File name too long",
              b"wrote 1 file to", b"(1 could not be written)"]),
    # Card 1's data is over the limit: its file is removed again.
    dict(name="file_not_written_whole", cards={"big.crd": rrg(
        crd.Entry(b"big", embedded(b"Package", BIG)), crd.Entry(b"small", embedded(b"Pkg", b"s")))},
         args=["big.crd"], files={"card-2.Pkg.bin": b"s"}, status=1, file_limit=50000,
         err=[b"card-1.Package.bin: File too large", b"(1 could not be written)"]),
]


def limited(size):
    """What runs in the child before crdview: files of at most `size` bytes,
    and a write beyond fails instead of ending the program."""
    def apply():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (size, size))
    return apply


def deep_directory(base, length):
    """A directory path exactly `length` bytes long under `base`."""
    path = base
    while len(path) < length:
        path = os.path.join(path, "d" * min(200, length - len(path) - 1))
    return path


def check_hostile(crdview, scratch):
    crdview = os.path.abspath(crdview)
    for case in HOSTILE:
        name = case["name"]
        folder = os.path.abspath(os.path.join(scratch, "hostile", name))
        for card_name, data in case["cards"].items():
            if card_name != "-":
                os.makedirs(os.path.dirname(os.path.join(folder, card_name)), exist_ok=True)
                with open(os.path.join(folder, card_name), "wb") as f:
                    f.write(data)
        out_dir = os.path.join(folder, "out")
        if "dir_length" in case:
            out_dir = deep_directory(out_dir, case["dir_length"])
        args = ["--format=json", "--extract=" + out_dir] + case["args"]
        plain = subprocess.run([crdview, "--format=json"] + case["args"], cwd=folder,
                               input=case["cards"].get("-", b""), capture_output=True)
        done = subprocess.run([crdview] + args, cwd=folder, input=case["cards"].get("-", b""),
                              capture_output=True, preexec_fn=limited(case["file_limit"])
                              if "file_limit" in case else None)
        written = {f: open(os.path.join(out_dir, f), "rb").read() for f in os.listdir(out_dir)}
        check(done.returncode == case["status"], "%s: status %d" % (name, done.returncode))
        check(sorted(written) == sorted(case["files"]), "%s: wrote %s" % (name, sorted(written)))
        for file_name, data in case["files"].items():
            check(data is None or written.get(file_name) == data, "%s: %s" % (name, file_name))
        for part in case.get("err", []):
            check(part in done.stderr, "%s: %r not in stderr ...%r" % (name, part, done.stderr[-200:]))
        # The listing is whole: every card of the file, as without --extract.
        documents, alone = json.loads(done.stdout), json.loads(plain.stdout)
        if isinstance(documents, dict):
            documents, alone = [documents], [alone]
        check([[c["number"] for c in d["cards"]] for d in documents] ==
              [[c["number"] for c in d["cards"]] for d in alone], "%s: listing cut" % name)
        if "named" in case:
            files = {c["number"]: c.get("files") for c in documents[0]["cards"]}
            check(files == case["named"], "%s: files named %s" % (name, files))


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

    # Device-dependent bitmaps: a BMP file of the same depth whose rows, bottom
    # first, are the stored rows; beside an embedded object's own data.
    sys.path.insert(0, os.path.join(source, "tests"))
    import cardfile_builder as crd
    mono = b"\x7f\xf0" b"\xdf\xf0" b"\xf7\xf0"  # 12 x 3, rows of 2 bytes
    colour = b"\x00\x00\xff\x00\xff\x00\xff\x00\x00\x00" b"\xff\xff\xff\x80\x80\x80" + bytes(4)

    def bitmap_card(uid, kind, class_name, rest):
        return crd.object_body(uid, crd.ole_object(kind, class_name, rest), b"x",
                               crd.OBJECT_TYPE[kind])
    entries = [
        crd.Entry(b"Mono", bitmap_card(1, crd.STATIC, b"BITMAP", crd.ole_picture(
            b"BITMAP", 12, 3, crd.device_bitmap(12, 3, 1, mono)))),
        crd.Entry(b"Colour", bitmap_card(2, crd.EMBEDDED, b"SoundRec", crd.embedded_data(
            b"RIFF") + crd.presentation(b"BITMAP", crd.ole_picture(
                b"BITMAP", 3, 2, crd.device_bitmap(3, 2, 24, colour, in_memory=True))))),
        crd.Entry(b"Unknown", bitmap_card(3, crd.STATIC, b"BITMAP", crd.ole_picture(
            b"BITMAP", 4, 1, crd.device_bitmap(4, 1, 4, b"\x12\x34")))),
    ]
    bitmaps = os.path.join(scratch, "bitmaps.crd")
    with open(bitmaps, "wb") as f:
        f.write(crd.lay_out(crd.header(crd.RRG, len(entries)), entries)[0])
    bitmap_dir = os.path.join(scratch, "bitmaps")
    status, _, err = run([crdview, "--extract=" + bitmap_dir, bitmaps])
    written = sorted(os.listdir(bitmap_dir)) if os.path.isdir(bitmap_dir) else []
    check(status == 0 and written == ["card-1.bmp", "card-2.SoundRec.bin", "card-2.preview.bmp"],
          "bitmaps: status %d, files %s" % (status, written))
    for name, width, height, bits, rows, row in (("card-1.bmp", 12, 3, 1, mono, 2),
                                                 ("card-2.preview.bmp", 3, 2, 24, colour, 10)):
        data = open(os.path.join(bitmap_dir, name), "rb").read() if name in written else b""
        check(bmp_problems(data) is None, "bitmaps %s: %s" % (name, bmp_problems(data)))
        if bmp_problems(data) is not None:
            continue
        check(struct.unpack_from("<iiHH", data, 18) == (width, height, 1, bits),
              "bitmaps %s: header" % name)
        rows_at, used = struct.unpack_from("<I", data, 10)[0], (width * bits + 7) // 8
        stride = (width * bits + 31) // 32 * 4
        got = [data[rows_at + stride * (height - 1 - y):][:used] for y in range(height)]
        check(got == [rows[row * y:row * y + used] for y in range(height)],
              "bitmaps %s: pixel rows differ from the stored ones" % name)

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
    check_hostile(crdview, scratch)
    print("%d problems" % len(failures))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
