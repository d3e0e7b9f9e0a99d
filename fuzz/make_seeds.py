#!/usr/bin/env python3
"""Writes the hand-made seed files of the fuzz corpus into fuzz/seeds/.

Small card files at the edges of the format: skipped and flagged entries, a
graphic block, an RRG text running into an object body, the largest and
smallest card counts, an index line without a NUL, text lengths of 65535 with
the file ending early, a graphic block length of 65535, body offsets with the
top bit set or inside the header, a lower-case signature and a file shorter
than its signature.  Run from the repository root: python3 fuzz/make_seeds.py
"""
import os
import struct

SEEDS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "seeds")


def entry(offset, text, flag=0):
    line = text if isinstance(text, bytes) else text.encode("cp1251")
    assert len(line) <= 41
    return b"\0" * 6 + struct.pack("<I", offset) + bytes([flag]) + line.ljust(41, b"\0")


def mgc_body(text, graphic=None):
    data = text if isinstance(text, bytes) else text.encode("cp1251")
    if graphic is None:
        head = struct.pack("<H", 0)
    else:
        head = struct.pack("<H", len(graphic)) + graphic + b"\x11" * 10
    return head + struct.pack("<H", len(data)) + data


def rrg_header(count):
    return b"RRG" + b"\0" * 4 + struct.pack("<h", count)


def mgc_header(count):
    return b"MGC" + struct.pack("<h", count)


def seeds():
    index_end = 5 + 4 * 52
    first = mgc_body("Hello\r\nWorld")
    second = mgc_body("Иван Петров, «Север» №5", graphic=b"\x01\x02\x03\x04")
    yield "mgc_cards.crd", (mgc_header(4) + entry(index_end, "Alpha") + entry(0, "Skipped")
                            + entry(index_end, "Flagged", 1)
                            + entry(index_end + len(first), "Ёлка") + first + second)

    index_end = 9 + 2 * 52
    text = struct.pack("<HH", 0, 4) + b"Note"
    ole = struct.pack("<HiiiI", 1, 7, 0, 2, 9) + b"Package\0\0"
    yield "rrg_text_ole.crd", (rrg_header(2) + entry(index_end, "Text")
                               + entry(index_end + len(text), "Object") + text + ole)

    yield "rrg_count_max.crd", rrg_header(32767)
    yield "mgc_count_negative.crd", mgc_header(-32768)
    yield "mgc_text_cut.crd", (mgc_header(1) + entry(5 + 52, b"X" * 41)
                               + struct.pack("<HH", 0, 65535) + "Конец".encode("cp1251"))
    yield "rrg_text_65535.crd", (rrg_header(1) + entry(9 + 52, "Wrap")
                                 + struct.pack("<HH", 0, 65535) + b"abc")
    yield "mgc_odd_offsets.crd", (mgc_header(3) + entry(5 + 3 * 52, "Big graphic")
                                  + entry(0x80000000, "Top bit") + entry(1, "Header")
                                  + struct.pack("<H", 65535) + b"\0\0")
    yield "bad_signature.crd", b"rrg\x01\x00"
    yield "short.crd", b"MG"


def main():
    os.makedirs(SEEDS, exist_ok=True)
    for name, data in seeds():
        with open(os.path.join(SEEDS, name), "wb") as out:
            out.write(data)


if __name__ == "__main__":
    main()
