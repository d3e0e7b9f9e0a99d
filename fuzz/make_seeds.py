#!/usr/bin/env python3
"""Writes the hand-made seed files of the fuzz corpus into fuzz/seeds/.

Small card files at the edges of the format: skipped and flagged entries, a
picture card (its text length right behind the bits), an RRG text running
into an object body, the largest and smallest card counts, an index line
without a NUL, text lengths of 65535 with the file ending early, a graphic
length of 65535, body offsets with the top bit set or inside the header, a
lower-case signature and a file shorter than its signature. The bytes of the
format come from tests/cardfile_builder.py.

The hostile files of tests/hostile_cards.py join them: each hostile text
(runs of brackets, digits, dots, '@', delimiters, markup and control bytes)
in a small file of two entries sharing its body, the DIBs whose headers ask
for more than the file holds, and a DIB and a BMP file alone (what the PNG
target decodes straight away). The ones found by hand before fuzzing
are regressions: a 250-letter class name, a web address followed by 64 KB
of ")", a DIB stating 4 GiB, formulas and terminal escapes in titles.

It also writes fuzz/regressions/object_lengths_beyond_the_file.crd: a hostile
"RRG" file built here (not a fuzzer finding), whose object's counted strings
and native data state lengths far beyond the file, with an entry whose body
is its own index entry. The unit test that lists fuzz/regressions/ needs at
least one file there; findings of the fuzzer join it by hand. Run from the repository root:
python3 fuzz/make_seeds.py (or python3 tests/regenerate.py, which writes
every generated file).
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests"))
import cardfile_builder as crd  # noqa: E402
import hostile_cards  # noqa: E402

SEEDS = os.path.join(HERE, "seeds")
REGRESSIONS = os.path.join(HERE, "regressions")
Entry = crd.Entry


def cp(text):
    return text.encode("cp1251")


def seeds():
    mgc_index_end = crd.MGC_HEADER_SIZE + 4 * crd.INDEX_ENTRY_SIZE
    picture = crd.Picture(16, 2, 8, 4, b"\x01\x02\x03\x04")
    yield "mgc_cards.crd", crd.lay_out(crd.header(crd.MGC, 4), [
        Entry(b"Alpha", crd.mgc_body(b"Hello\r\nWorld")),
        Entry(b"Skipped"),
        Entry(b"Flagged", offset=mgc_index_end, flag=1),
        Entry(cp("Ёлка"), crd.mgc_body(cp("Иван Петров, «Север» №5"), picture)),
    ])[0]
    ole = crd.object_fields(7, 0, crd.EMBEDDED, 9) + b"Package\0\0"
    yield "rrg_text_ole.crd", crd.lay_out(crd.header(crd.RRG, 2), [
        Entry(b"Text", crd.rrg_text_body(b"Note")),
        Entry(b"Object", ole),
    ])[0]
    yield "rrg_count_max.crd", crd.header(crd.RRG, 32767)
    yield "mgc_count_negative.crd", crd.header(crd.MGC, -32768)
    # Text lengths of 65535 with a few bytes of text.
    yield "mgc_text_cut.crd", crd.lay_out(crd.header(crd.MGC, 1), [
        Entry(b"X" * 41, struct.pack("<HH", 0, 65535) + cp("Конец")),
    ])[0]
    yield "rrg_text_65535.crd", crd.lay_out(crd.header(crd.RRG, 1), [
        Entry(b"Wrap", struct.pack("<HH", 0, 65535) + b"abc"),
    ])[0]
    # G = 65535 cut by the end of the file, a negative offset, one inside the header.
    yield "mgc_odd_offsets.crd", crd.lay_out(crd.header(crd.MGC, 3), [
        Entry(b"Big graphic", offset=crd.MGC_HEADER_SIZE + 3 * crd.INDEX_ENTRY_SIZE),
        Entry(b"Top bit", offset=0x80000000),
        Entry(b"Header", offset=1),
    ], tail=struct.pack("<H", 65535) + b"\0\0")[0]
    yield "bad_signature.crd", b"rrg\x01\x00"
    yield "short.crd", b"MG"
    for name, text in hostile_cards.texts(512):
        yield "hostile_%s.crd" % name, hostile_cards.shared_text_file(text, 2)
    for name, data in hostile_cards.huge_dib_files():
        yield "hostile_%s.crd" % name, data
    dib = hostile_cards.dib_header(2, 2, bits=1) + b"\0\0\0\0\xff\xff\xff\0" + b"\x40\0\0\0\x80\0\0\0"
    yield "picture_2x2.dib", dib
    yield "picture_2x2.bmp", b"BM" + struct.pack("<IHHI", 14 + len(dib), 0, 0, 14 + 48) + dib


def regressions():
    huge = struct.pack("<I", 0xFFFFFFFF)
    # Version, embedded, then a class name, topic and item of 2**32 - 1 bytes
    # each, and native data as long.
    ole = struct.pack("<II", crd.OLE_VERSION, crd.EMBEDDED) + huge + b"PBrush\0" + huge * 3
    yield "object_lengths_beyond_the_file.crd", crd.lay_out(crd.header(crd.RRG, 3), [
        Entry(b"Huge lengths", struct.pack("<HI", 1, 0xDEADBEEF) + ole),
        Entry(b"Its own entry", offset=crd.RRG_HEADER_SIZE + crd.INDEX_ENTRY_SIZE),
        Entry(b"Text", crd.rrg_text_body(b"still read")),
    ])[0]


def hand_found_regressions():
    """The hostile files found by hand before fuzzing."""
    yield "class_name_250_letters.crd", hostile_cards.long_class_name_file()
    brackets = dict(hostile_cards.texts(65000))["url_closing_brackets"]
    yield "url_closing_brackets.crd", hostile_cards.shared_text_file(brackets, 4)
    yield "dib_size_4gib.crd", dict(hostile_cards.huge_dib_files())["dib_size_4gib"]
    yield "formulas_and_escapes.crd", hostile_cards.escape_title_file()


def main():
    for folder, files in ((SEEDS, seeds()), (REGRESSIONS, regressions()),
                          (REGRESSIONS, hand_found_regressions())):
        os.makedirs(folder, exist_ok=True)
        for name, data in files:
            with open(os.path.join(folder, name), "wb") as out:
                out.write(data)


if __name__ == "__main__":
    main()
