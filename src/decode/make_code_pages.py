#!/usr/bin/env python3
"""Writes code_pages.inc beside this script: the Windows code page tables.

Every table is read from Python 3's codecs of the same numbers (cp874, cp1250
to cp1258, cp932, cp936, cp949, cp950), which are made from the vendor
mappings that the Unicode consortium publishes. The output is committed, so a
build needs no Python; CI runs this script and fails on any difference.

Single-byte pages: the code point of each byte 0x80 to 0xFF, 0 where the page
leaves the byte unassigned.

Double-byte pages: the code point of each byte 0x80 to 0xFF taken alone (0
where it is unassigned or a lead byte); for each byte 0x80 to 0xFF, its row in
the pair table plus 1 when it is a lead byte, else 0; and the pair table, one
row a lead byte, one entry a trail byte from TRAIL_FIRST to TRAIL_LAST (0 where
the page assigns no character to the pair).

The case fold table: every character that some page holds and that Python's
str.casefold() maps to one other character, with that character, in order of
code point (sorted for a binary search). Characters that fold to more than one
(German sharp s, dotted capital I) are left as they are.

Usage: make_code_pages.py
"""

import os

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "code_pages.inc")

SINGLE_BYTE = [874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258]
DOUBLE_BYTE = [932, 936, 949, 950]
TRAIL_FIRST, TRAIL_LAST = 0x40, 0xFE


def char_of(data, codec):
    """The one BMP character `data` decodes to, or None."""
    try:
        text = data.decode(codec)
    except UnicodeDecodeError:
        return None
    if len(text) != 1:
        return None
    assert ord(text) <= 0xFFFF, (codec, data, text)
    return ord(text)


def array(name, ctype, values, width=12):
    lines = ["constexpr %s %s[%d] = {" % (ctype, name, len(values))]
    for i in range(0, len(values), width):
        lines.append("    " + ", ".join("0x%04X" % v for v in values[i:i + width]) + ",")
    lines.append("};")
    return "\n".join(lines)


def single_byte(number):
    codec = "cp%d" % number
    for byte in range(1, 0x80):
        assert char_of(bytes([byte]), codec) == byte, (codec, byte)
    upper = [char_of(bytes([byte]), codec) or 0 for byte in range(0x80, 0x100)]
    return array("CP%d_UPPER" % number, "char16_t", upper)


def double_byte(number):
    codec = "cp%d" % number
    for byte in range(1, 0x80):
        assert char_of(bytes([byte]), codec) == byte, (codec, byte)
    singles, rows, pairs = [], [], []
    for lead in range(0x80, 0x100):
        alone = char_of(bytes([lead]), codec)
        row = [char_of(bytes([lead, trail]), codec) or 0
               for trail in range(TRAIL_FIRST, TRAIL_LAST + 1)]
        # No pair outside the trail range, and no byte both a character and a lead.
        for trail in list(range(0, TRAIL_FIRST)) + list(range(TRAIL_LAST + 1, 0x100)):
            assert alone is not None or char_of(bytes([lead, trail]), codec) is None
        if alone is None and any(row):
            pairs.append(row)
            rows.append(len(pairs))
            singles.append(0)
        else:
            rows.append(0)
            singles.append(alone or 0)
    flat = [value for row in pairs for value in row]
    return "\n\n".join([
        array("CP%d_SINGLE" % number, "char16_t", singles),
        array("CP%d_LEAD_ROW" % number, "unsigned char", rows, width=16),
        array("CP%d_PAIRS" % number, "char16_t", flat),
    ])


def characters(number):
    """Every character that code page `number` assigns to a byte or a pair."""
    codec = "cp%d" % number
    found = set()
    for lead in range(0x80, 0x100):
        found.add(char_of(bytes([lead]), codec))
        if number in DOUBLE_BYTE:
            for trail in range(TRAIL_FIRST, TRAIL_LAST + 1):
                found.add(char_of(bytes([lead, trail]), codec))
    return found - {None}


def case_fold():
    every = set(range(1, 0x80))
    for number in SINGLE_BYTE + DOUBLE_BYTE:
        every |= characters(number)
    pairs = []
    for cp in sorted(every):
        folded = chr(cp).casefold()
        if len(folded) == 1 and folded != chr(cp):
            assert ord(folded) <= 0xFFFF
            pairs.append((cp, ord(folded)))
    lines = ["constexpr char16_t CASE_FOLD[%d][2] = {" % len(pairs)]
    for i in range(0, len(pairs), 5):
        lines.append("    " + " ".join("{0x%04X, 0x%04X}," % pair for pair in pairs[i:i + 5]))
    lines.append("};")
    return "\n".join(lines)


def main():
    parts = [
        "// Windows code page tables, written by make_code_pages.py from Python 3's",
        "// codecs (the vendor mappings). Do not edit: run the script.",
        "// Included by decode.cpp only.",
        "",
        "constexpr unsigned TRAIL_FIRST = 0x%02X;" % TRAIL_FIRST,
        "constexpr unsigned TRAIL_LAST = 0x%02X;" % TRAIL_LAST,
        "constexpr unsigned TRAIL_COUNT = TRAIL_LAST - TRAIL_FIRST + 1;",
    ]
    for number in SINGLE_BYTE:
        parts += ["", single_byte(number)]
    for number in DOUBLE_BYTE:
        parts += ["", double_byte(number)]
    parts += ["", case_fold()]
    with open(OUT, "w", newline="\n") as f:
        f.write("\n".join(parts) + "\n")


if __name__ == "__main__":
    main()
