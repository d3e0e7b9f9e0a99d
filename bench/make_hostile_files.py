#!/usr/bin/env python3
"""Writes the hostile benchmark card files into OUTPUT_DIR, and a list of
them (hostile.list: file name, then the megabytes of text and pictures a
reader meets in it, counting a shared body once for each entry).

- TEXT.rrg for each hostile text of tests/hostile_cards.py: 64 entries
  sharing one body whose text is 65,000 bytes of the same run (about 4 MB
  of text in a 65 KB file).
- shared_picture.rrg: 64 entries sharing one static DIB object, a 1024 x 1024
  picture of 24 bits (3 MiB).
- largest_picture.rrg: one static DIB object of the largest picture drawn,
  2048 x 2048 pixels of 32 bits (16 MiB), noise that does not compress; and
  one a row larger, which is not drawn.
- dib_4gib_sparse.rrg: one static DIB object whose picture field states
  0xFFFFFF00 bytes and whose header says 2 x 2 pixels; the file is sparse
  (4 GiB long, a few kilobytes on disk).

Usage: make_hostile_files.py OUTPUT_DIR
"""

import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))
import cardfile_builder as crd  # noqa: E402
import hostile_cards  # noqa: E402

TEXT_SIZE = 65000
TEXT_ENTRIES = 64
PICTURE_ENTRIES = 64
MB = 1e6


def gradient_rows(width, height):
    """24-bit rows (blue, green, red), bottom row first, padded to 4 bytes."""
    pad = bytes((4 - width * 3 % 4) % 4)
    row = lambda y: b"".join(bytes((x & 255, y & 255, (x ^ y) & 255)) for x in range(width))
    return b"".join(row(y) + pad for y in range(height))


def shared_picture(entries):
    width = height = 1024
    rows = gradient_rows(width, height)
    head, tail = hostile_cards.static_dib(width, height, 40 + len(rows), rows)
    place = crd.RRG_HEADER_SIZE + crd.INDEX_ENTRY_SIZE * entries
    cards = [crd.Entry(b"Picture", head + tail)]
    cards += [crd.Entry(b"Picture %d" % i, offset=place) for i in range(1, entries)]
    return crd.lay_out(crd.header(crd.RRG, entries), cards)[0], entries * len(rows)


def largest_picture():
    """The largest picture drawn, then one a row too large to be."""
    side = 2048
    rows = random.Random(2048).randbytes(side * side * 4)
    cards = []
    for height in (side, side + 1):
        pixels = rows + bytes(side * 4 * (height - side))
        head, tail = hostile_cards.static_dib(side, height, 40 + len(pixels), pixels, bits=32)
        cards.append(crd.Entry(b"%d x %d" % (side, height), head + tail))
    return crd.lay_out(crd.header(crd.RRG, 2), cards)[0]


def write_sparse_dib(path):
    """The DIB field states 0xFFFFFF00 bytes: a hole up to its end, then
    the rest of the body."""
    stated = 0xFFFFFF00
    head, tail = hostile_cards.static_dib(2, 2, stated, bytes(16))
    data, _ = crd.lay_out(crd.header(crd.RRG, 1), [crd.Entry(b"Sparse", head)])
    dib_at = len(data) - 40 - 16  # where the DIB begins: its header, then its rows
    with open(path, "wb") as out:
        out.write(data)
        out.seek(dib_at + stated)
        out.write(tail)
    return stated


def main():
    out_dir = sys.argv[1]
    os.makedirs(out_dir, exist_ok=True)
    listed = []
    for name, text in hostile_cards.texts(TEXT_SIZE):
        data = hostile_cards.shared_text_file(text, TEXT_ENTRIES)
        with open(os.path.join(out_dir, name + ".rrg"), "wb") as out:
            out.write(data)
        listed.append((name + ".rrg", TEXT_ENTRIES * len(text) / MB))
    data, size = shared_picture(PICTURE_ENTRIES)
    with open(os.path.join(out_dir, "shared_picture.rrg"), "wb") as out:
        out.write(data)
    listed.append(("shared_picture.rrg", size / MB))
    data = largest_picture()
    with open(os.path.join(out_dir, "largest_picture.rrg"), "wb") as out:
        out.write(data)
    listed.append(("largest_picture.rrg", len(data) / MB))
    stated = write_sparse_dib(os.path.join(out_dir, "dib_4gib_sparse.rrg"))
    listed.append(("dib_4gib_sparse.rrg", stated / MB))
    with open(os.path.join(out_dir, "hostile.list"), "w") as out:
        for name, megabytes in listed:
            out.write("%s %.3f\n" % (name, megabytes))


if __name__ == "__main__":
    main()
