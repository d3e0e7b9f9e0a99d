"""Hostile card files, stated in bytes once: texts made of long runs of what
the finders and escapers look for (brackets, digits, dots, '@', delimiters,
markup, control bytes), titles and class names as long as the format allows,
and pictures whose headers ask for far more than the file holds.

Used by bench/make_hostile_files.py (large: every entry of a file shares one
body, so that a small file makes a program read many megabytes of text) and
by fuzz/make_seeds.py (small seeds and regressions). Standard library only.
"""

import struct

import cardfile_builder as crd

# The largest text an "RRG" body's 16-bit length can state.
LARGEST_TEXT = 65535


def texts(size):
    """(name, text) pairs, each text `size` bytes or a little less: what
    each finder, escaper or folder meets in a long run."""
    def run(unit, head=b""):
        return head + unit * ((size - len(head)) // len(unit))

    def numbered(pattern, width):
        return b"".join(pattern % i for i in range(size // width))

    pairs = [
        # A web address followed by closing brackets, each trimmed off.
        ("url_closing_brackets", run(b")", b"http://example.com/a")),
        ("url_opening_brackets", run(b"(", b"http://example.com/a")),
        ("url_trailing_dots", run(b".", b"www.example.com")),
        ("www_run", run(b"www.")),
        ("http_run", run(b"http://")),
        ("distinct_urls", numbered(b"www.a%07d.com ", 16)),
        ("at_run", run(b"@")),
        ("local_at_run", run(b"a@")),
        ("dot_at_run", run(b"a.b@c.")),
        ("distinct_emails", numbered(b"u%07d@example.com ", 20)),
        ("digit_run", run(b"7")),
        ("digit_groups", run(b"12 ")),
        ("dash_digits", run(b"1-")),
        ("dot_run", run(b".")),
        ("bracket_digits", run(b"(1)")),
        ("open_brackets", run(b"(")),
        ("distinct_phones", numbered(b"+1 555 %07d; ", 16)),
        # Leading blanks before many numbers: the blanks are looked at once.
        ("blanks_then_phones", b" " * (size // 2) +
         b"".join(b"555 %07d, " % i for i in range(size // 26))),
        ("vcard_escapes", run(b"\\,;")),
        ("html_markup", run(b"&<>\"'")),
        ("csv_quotes", run(b"\"")),
        ("commas", run(b",")),
        ("control_bytes", run(bytes(range(0x00, 0x20)) + b"\x7f")),
        ("escape_bytes", run(b"\x1b]2;title\x07\x1bc\x9b\x9d")),
        ("line_ends", run(b"\r\n\r\r\n\n")),
        ("upper_half", run(bytes(range(0x80, 0x100)))),
        ("formulas", run(b"=HYPERLINK(\"http://x\")\r\n+1\r\n-1\r\n@A\r\n\t")),
    ]
    return [(name, text[:size]) for name, text in pairs]


def shared_text_file(text, entries, title=b"=cmd|' /C calc'!A0"):
    """An "RRG" file of `entries` cards that all share one text body."""
    place = crd.RRG_HEADER_SIZE + crd.INDEX_ENTRY_SIZE * entries
    cards = [crd.Entry(title, crd.rrg_text_body(text))]
    cards += [crd.Entry(b"%s %d" % (title[:30], i), offset=place) for i in range(1, entries)]
    return crd.lay_out(crd.header(crd.RRG, entries), cards)[0]


def dib_header(width, height, bits=24):
    """A BITMAPINFOHEADER of an uncompressed picture, no colour table."""
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, 0, 0, 0, 0, 0)


def static_dib(width, height, stated_size, data, bits=24, text=b"picture"):
    """The body of a static DIB object whose picture states `stated_size`
    bytes and holds the DIB header and `data`; the caller places the rest."""
    head = struct.pack("<III", width, height, stated_size) + dib_header(width, height, bits)
    ole = crd.ole_object(crd.STATIC, b"DIB", head + data)
    tail = struct.pack("<HH", 8, 16) + struct.pack("<4h", 0, 0, 64, 64)
    tail += struct.pack("<HH", crd.OBJECT_TYPE[crd.STATIC], len(text)) + text
    return struct.pack("<HI", 1, 1) + ole, tail


def huge_dib_files():
    """(name, bytes) of small files whose DIBs state more than they hold:
    one stating 4 GiB in its picture size field with a 2 x 2 header, one
    whose header states 65535 x 65535 pixels, one 2048 x 2048 (4 megapixels,
    24 bits) whose rows the file does not hold."""
    files = []
    for name, width, height, stated in (("dib_size_4gib", 2, 2, 0xFFFFFFFF),
                                        ("dib_header_65535_square", 65535, 65535, 64),
                                        ("dib_header_4_megapixels", 2048, 2048, 64)):
        head, tail = static_dib(width, height, stated, bytes(24))
        files.append((name, crd.lay_out(crd.header(crd.RRG, 1),
                                        [crd.Entry(b"Huge picture", head + tail)])[0]))
    return files


def long_class_name_file():
    """An embedded object whose class name is 250 letters."""
    ole = crd.ole_object(crd.EMBEDDED, b"A" * 250, crd.embedded_data(b"native bytes") +
                         crd.presentation())
    body = crd.object_body(1, ole, b"long class name", crd.OBJECT_TYPE[crd.EMBEDDED])
    return crd.lay_out(crd.header(crd.RRG, 2), [crd.Entry(b"Long class", body),
                                                crd.Entry(b"Next", crd.rrg_text_body(b"next"))])[0]


def escape_title_file():
    """Titles and texts that would drive a terminal: ESC c, OSC, C1 bytes."""
    return crd.lay_out(crd.header(crd.RRG, 2), [
        crd.Entry(b"\x1bc\x1b]2;owned\x07", crd.rrg_text_body(b"\x9b2J\x9d0;x\x07\x1b[31m")),
        crd.Entry(b"=HYPERLINK(\"http://x\",\"y\")", crd.rrg_text_body(b"+1\r\n-2\r\n@A")),
    ])[0]
