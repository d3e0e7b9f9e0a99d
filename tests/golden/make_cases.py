#!/usr/bin/env python3
"""Writes the inputs of crdview's golden cases into cases/ beside this script:
for each case the card file it reads (NAME.crd, stated here in bytes through
tests/cardfile_builder.py, or a card file of another case named in its
arguments) and its arguments (NAME.args, one a line).

    python3 tests/regenerate.py          (this, the examples and the fuzz seeds)

What crdview must print is not composed here: it is recorded from the built
program, and the recorded files are read as a diff like any other change:

    python3 tests/golden/record.py build/crdview [CASE...]

NAME.crd     the card file (when the case has one of its own)
NAME.args    crdview's arguments, one a line (run with cases/ as working dir)
NAME.out     the exact standard output                        (recorded)
NAME.err     the exact standard error, when it is not empty   (recorded)
NAME.status  the exit status, when it is not 0                (recorded)

This script writes only the .crd and .args files of the cases it makes. It
never removes or rewrites any other file: a case added by hand (its files
put into cases/) stays as it is. A case dropped from here is removed by hand.
"""

import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
CASES = os.path.join(HERE, "cases")
sys.path.insert(0, os.path.dirname(HERE))
import cardfile_builder as crd  # noqa: E402


# ---------------------------------------------------------------------------
# Cards placed with the builder.

class Body:
    """A card body: its bytes in the file."""

    def __init__(self, data):
        self.data = data


def pattern_picture(graphic):
    """A picture of G bytes of bits whose fields (width, height, x, y) and
    bits are a fixed byte pattern."""
    pattern = bytes((i * 37 + 11) & 0xFF for i in range(graphic + crd.PICTURE_FIELDS_SIZE))
    width, height, x, y = struct.unpack_from("<4H", pattern)
    return crd.Picture(width, height, x, y, pattern[crd.PICTURE_FIELDS_SIZE:])


def mgc_text(text, graphic=0, picture=None):
    """G = 0 and the text, or a picture (of G pattern bytes), then the text."""
    if graphic:
        picture = pattern_picture(graphic)
    return Body(crd.mgc_body(text, picture))


def rrg_text(text, trailing=b""):
    """Object flag 0, L, the text; `trailing` bytes follow in the file but are
    not part of the text."""
    return Body(crd.rrg_text_body(text) + trailing)


def rrg_object(uid, format_id, class_name_length, flag=1, ignored=0x11223344, rest=b""):
    """The flag and the four fields of the object notice, then `rest`."""
    return Body(crd.object_fields(uid, ignored, format_id, class_name_length, flag) + rest)


def ole_card(uid, kind, class_name, rest, text, object_type=None):
    """An "RRG" object body: flag 1, UID, the OLE object (version, `kind`,
    the class name, `rest`), the card's fields, the object type and the
    text."""
    if object_type is None:
        object_type = crd.OBJECT_TYPE.get(kind, 0)
    return Body(crd.object_body(uid, crd.ole_object(kind, class_name, rest), text, object_type))


class Card:
    """One index entry. `offset` overrides the body's place (0: no body; a
    value with the top bit set: a negative offset); `pad` fills the six bytes
    that are not interpreted; `before` is a block no entry points at, placed
    right before the body."""

    def __init__(self, title, body=None, flag=0, offset=None, pad=bytes(6), before=b""):
        self.title, self.body, self.flag, self.offset = title, body, flag, offset
        self.pad, self.before = pad, before


def card_file(signature, cards, count=None, rrg_field=0, tail=b""):
    """Lays out a card file (header, index, then the bodies in card order,
    then `tail`): (file bytes, each entry's body offset). A body given with
    an explicit offset is the caller's to place (in `tail`)."""
    count = len(cards) if count is None else count
    head = crd.header(signature, count, rrg_field)
    entries = [crd.Entry(card.title, card.body.data if card.body and card.offset is None else None,
                         card.flag, card.offset, card.pad, card.before) for card in cards]
    return crd.lay_out(head, entries, tail)


def cp(text):
    return text.encode("cp1251")


# ---------------------------------------------------------------------------
# Writing the cases.

written = []


def write_if_changed(path, data):
    """Writes `data` to `path` unless it holds exactly that already."""
    if os.path.exists(path):
        with open(path, "rb") as f:
            if f.read() == data:
                return
    with open(path, "wb") as f:
        f.write(data)


def case(name, args, card_data=None):
    """Case NAME: crdview run on `args`; `card_data`, when given, is NAME.crd."""
    assert name not in written, name
    written.append(name)
    if card_data is not None:
        write_if_changed(os.path.join(CASES, name + ".crd"), card_data)
    write_if_changed(os.path.join(CASES, name + ".args"),
                     "".join(arg + "\n" for arg in args).encode())


def listed(name, signature, cards, args_before=(), formats=False, **layout):
    """A card file laid out by card_file and listed; with `formats` also as
    JSON and CSV."""
    data, offsets = card_file(signature, cards, **layout)
    listing_case(name, data, args_before)
    if formats:
        format_cases(name)
    return data, offsets


def listing_case(name, data, args_before=()):
    case(name, list(args_before) + [name + ".crd"], card_data=data)


def format_cases(name, encoding=None):
    """NAME_json and NAME_csv: the card file of case NAME as JSON and CSV,
    from `encoding` (None: the one the formats choose)."""
    choice = ["-e", encoding] if encoding else []
    for fmt in ("json", "csv"):
        case(name + "_" + fmt, ["--format=" + fmt] + choice + [name + ".crd"])


# Russian texts as stored in Windows-1251, and the same cards for the options.
RUSSIAN = [
    Card(cp("Иванов Иван Петрович"), mgc_text(cp("ул. Ленина, д. 5, кв. 12\r\nТел. 123-45-67"))),
    Card(cp("Щукина Эльвира Юрьевна"), mgc_text(cp("Звонить после 18:00"))),
]


def command_line_cases():
    # One argument: the texts exactly as stored.
    listed("as_stored", b"MGC", RUSSIAN)
    format_cases("as_stored", encoding="Windows-1251")
    # -e Windows-1251: index lines and texts converted to UTF-8.
    listed("convert", b"MGC", RUSSIAN, args_before=("-e", "Windows-1251"))
    # Any other pair before the file lists it without conversion, and says so
    # on standard error.
    listed("option_upper_e", b"MGC", RUSSIAN, args_before=("-E", "Windows-1251"))
    listed("encoding_lower_case", b"MGC", RUSSIAN, args_before=("-e", "windows-1251"))
    listed("encoding_koi8r", b"MGC", RUSSIAN, args_before=("-e", "KOI8-R"))
    case("two_args", ["-e", "as_stored.crd"])
    # Four words: -e NAME applies to both files, each listed in turn.
    case("four_args", ["-e", "Windows-1251", "as_stored.crd", "as_stored.crd"])


def option_cases():
    """The long options, taken out wherever they stand, and their failures."""
    case("help_long", ["as_stored.crd", "--help"])
    case("help_short", ["-h"])
    case("version", ["--version"])
    # What follows "--" is taken as it stands: here a file named "-h".
    case("options_end", ["--", "-h"])
    data, _ = card_file(b"MGC", RUSSIAN)
    case("encoding_option", ["encoding_option.crd", "--format", "listing",
                             "--encoding=Windows-1251"], card_data=data)
    case("format_unknown", ["--format=xml", "as_stored.crd"])
    case("format_without_value", ["as_stored.crd", "--format"])
    case("json_unknown_encoding", ["--format=json", "-e", "KOI8-R", "as_stored.crd"])
    case("csv_not_an_option", ["--format=csv", "-x", "y", "as_stored.crd"])
    case("encoding_twice", ["--encoding=Windows-1251", "-e", "Windows-1252", "as_stored.crd"])
    # JSON and CSV say nothing on standard output about a file they cannot use.
    case("json_missing_file", ["--format=json", "none.crd"])
    case("csv_not_a_card_file", ["--format=csv", "signature_lower_rrg.crd"])


def closing_cases():
    case("missing_file", ["none.crd"])
    # A path that opens but cannot be read as a file.
    case("directory", ["."])
    # A directory and a missing file (a space in its name) in one run.
    case("nothing_to_read", [".", "no such file.crd"])
    case("signature_lower_rrg", ["signature_lower_rrg.crd"], card_data=b"rrg" + bytes(60))
    case("signature_mgc_mixed_case", ["signature_mgc_mixed_case.crd"],
         card_data=b"MGc\x01\x00" + bytes(52))
    # A file shorter than a signature shows only the bytes it holds.
    for name, data in (("empty_file", b""), ("one_byte_file", b"M"), ("two_byte_file", b"MG"),
                       ("three_byte_other", b"CRD")):
        case(name, [name + ".crd"], card_data=data)


def index_cases():
    # The worked example: Alpha with its text Hello, Beta without a body.
    listed("mgc_two_cards", b"MGC", [Card(b"Alpha", mgc_text(b"Hello")), Card(b"Beta")])
    listed("rrg_text_cards", b"RRG", [
        Card(b"Acme Plumbing", rrg_text(b"Call (555) 010-4477\r\nAsk for Dave")),
        Card(b"Dentist", rrg_text(b"Dr. Park, Tuesday 9:30")),
    ], rrg_field=0x7FFF0102)  # the four bytes before the count are not interpreted
    listed("count_zero", b"MGC", [], count=0)
    # A negative count lists no card, and is reported when index entries follow.
    listed("count_minus_one", b"MGC", [Card(b"Never read", mgc_text(b"x"))], count=-1)
    listed("rrg_count_minus_one", b"RRG", [Card(b"Never read", rrg_text(b"x"))], count=-1)
    # The cards' numbers keep their places in the index, gaps and all.
    listed("skipped_entries", b"MGC", [
        Card(b"First", mgc_text(b"one")),
        Card(b"No body", offset=0),
        Card(b"Flagged", mgc_text(b"hidden"), flag=1),
        Card(b"Flag 0x80", mgc_text(b"hidden too"), flag=0x80),
        Card(b"Fifth", mgc_text(b"five")),
    ], formats=True)
    listed("negative_offsets", b"MGC", [
        Card(b"Top bit set", offset=0x80000000),
        Card(b"Minus one", offset=0xFFFFFFFF),
        Card(b"Readable", mgc_text(b"still here")),
        Card(b"Top bit and a plausible offset", offset=0x8000006D),
    ], formats=True)
    listed("rrg_negative_offset", b"RRG", [
        Card(b"Object elsewhere", offset=0xFFFFFFFE),
        Card(b"Text", rrg_text(b"fine")),
    ])
    # Headings of cards 9, 10, 99, 100 and 1000 (nine characters wide).
    shown_cards = {1, 9, 10, 99, 100, 999, 1000}
    listed("heading_widths", b"MGC", [
        Card(b"Card number %d" % n, mgc_text(b"text %d" % n)) if n in shown_cards else Card(b"")
        for n in range(1, 1001)
    ])
    # The index line field: 40 characters and the NUL; 41 with no NUL ends at the field's end.
    forty = b"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd"
    forty_one = forty + b"e"
    assert len(forty) == 40 and len(forty_one) == 41
    listed("index_line_40", b"MGC", [Card(forty, mgc_text(b"body"))])
    listed("index_line_41_no_nul", b"RRG", [Card(forty_one, rrg_text(b"body")),
                                            Card(b"Next", rrg_text(b"next body"))])
    listed("index_line_nul_inside", b"MGC", [Card(b"Shown\0hidden", mgc_text(b"body"))])
    # 41 upper-half bytes and no NUL, as stored and converted; the same line
    # as the last bytes of a file that holds no NUL after it.
    line = b"\xe9" * 41
    body_at = crd.MGC_HEADER_SIZE + 2 * crd.INDEX_ENTRY_SIZE
    data, _ = card_file(b"MGC", [Card(line, offset=body_at), Card(b"Next", offset=body_at)],
                        tail=crd.mgc_body(b"Body"))
    listing_case("index_line_41_upper_half", data)
    case("index_line_41_upper_half_converted",
         ["-e", "Windows-1251", "index_line_41_upper_half.crd"])
    listing_case("index_line_41_at_the_end",
                 crd.header(b"MGC", 1) + crd.index_entry(line, crd.MGC_HEADER_SIZE))
    # Bodies may lie anywhere and in any order; two entries may share one.
    shared = mgc_text(b"Shared text")
    first, second = mgc_text(b"Stored second"), mgc_text(b"Stored first")
    head = crd.MGC_HEADER_SIZE + 4 * crd.INDEX_ENTRY_SIZE
    at_shared, at_second = head, head + len(shared.data)
    at_first = at_second + len(second.data)
    cards = [Card(b"A", shared, offset=at_shared), Card(b"B", first, offset=at_first),
             Card(b"C", second, offset=at_second), Card(b"D", shared, offset=at_shared)]
    data, _ = card_file(b"MGC", cards, tail=shared.data + second.data + first.data)
    listing_case("bodies_out_of_order", data)
    # Bodies at odd places: in the header, in an index line, at and past the
    # end, with the top bit set. Each card after an odd one is still read.
    index_end = crd.MGC_HEADER_SIZE + 8 * crd.INDEX_ENTRY_SIZE
    tail = crd.mgc_body(b"Last") + b"\x07"
    size = index_end + len(tail)
    odd = [(b"Header", 1),  # G = "GC": skips past the end
           (b"\x03", crd.MGC_HEADER_SIZE + crd.INDEX_ENTRY_SIZE + 11),  # card 2's index line
           (b"Last byte", size - 1), (b"At the end", size), (b"Far beyond", 0x7FFFFFFF),
           (b"Top bit", 0x80000000), (b"All bits", 0xFFFFFFFF), (b"Good", index_end)]
    listing_case("body_offsets_anywhere", card_file(
        b"MGC", [Card(title, offset=offset) for title, offset in odd], tail=tail)[0])
    # The same places in an "RRG" file: the last byte reads as an object flag
    # with nothing behind it.
    index_end = crd.RRG_HEADER_SIZE + 2 * crd.INDEX_ENTRY_SIZE
    listing_case("rrg_body_offsets_at_the_end", card_file(
        b"RRG", [Card(b"Last byte", offset=index_end + 1),
                 Card(b"At the end", offset=index_end + 2)], tail=b"\0\x05")[0])


def body_cases():
    listed("mgc_empty_text", b"MGC", [Card(b"Empty", mgc_text(b"")), Card(b"After", mgc_text(b"x"))])
    # G = 100: the text length at body offset 110; G = 1; G = 0: at 2.
    listed("mgc_graphic_block", b"MGC", [
        Card(b"With picture", mgc_text(b"Text behind a 100-byte picture", graphic=100)),
        Card(b"Small picture", mgc_text(b"G is 1", graphic=1)),
        Card(b"No picture", mgc_text(b"plain")),
    ], formats=True)
    # What JSON escapes and CSV quotes: '"', '\\', commas, line ends, control characters.
    listed("escapes", b"RRG", [
        Card(b'Say "hi", then \\ back', rrg_text(b'Tab\there, "quoted", a\\b\r\nCR LF')),
        Card(b"Controls", rrg_text(b"\x01 \x1b \x1f, lone \n LF and \r CR, DEL \x7f")),
        Card(b"Plain", rrg_text(b"no special characters")),
    ], formats=True)
    listed("embedded_nul", b"MGC", [Card(b"Nul", mgc_text(b"Shown\0not shown")),
                                    Card(b"Leading NUL", mgc_text(b"\0all hidden"))])
    listed("rrg_embedded_nul", b"RRG", [Card(b"Nul", rrg_text(b"Before\0after"))])
    # An RRG text is exactly its stored length: what follows it is not part of it.
    listed("rrg_text_then_zero_flag", b"RRG", [Card(b"Five", rrg_text(b"Hello")),
                                               Card(b"Next", rrg_text(b"World"))])
    listed("rrg_text_then_xyz", b"RRG", [Card(b"Five", rrg_text(b"Hello", trailing=b"XYZ"))])
    listed("rrg_text_then_object", b"RRG", [Card(b"Five", rrg_text(b"Hello")),
                                            Card(b"Object", rrg_object(3, 2, 7))])
    line = b"The quick brown fox jumps over the lazy dog, line %05d.\r\n"
    long_text = b"".join(line % i for i in range(1200))[:65535]
    assert len(long_text) == 65535
    listed("rrg_longest_text", b"RRG", [Card(b"Longest", rrg_text(long_text, trailing=b"XYZ")),
                                        Card(b"Short", rrg_text(b"ok"))])
    # Objects that do not parse: the card fields of the first run into the
    # next body (its flag 0x8000 read as the object type); the second's
    # format, read as unsigned, is no format.
    listed("rrg_object", b"RRG", [
        Card(b"Picture", rrg_object(7, 2, 9, rest=b"PBrush\0\0\0" + bytes(20))),
        Card(b"Negative fields", rrg_object(-1, -2147483648, 2147483647, flag=0x8000)),
        Card(b"Text after", rrg_text(b"plain text")),
    ], formats=True)
    # The longest lengths at the end of the file. G = 65535 with nothing
    # behind it, and with the whole block and a text behind it.
    mgc_body_at = crd.MGC_HEADER_SIZE + crd.INDEX_ENTRY_SIZE
    rrg_body_at = crd.RRG_HEADER_SIZE + crd.INDEX_ENTRY_SIZE
    one = crd.header(b"MGC", 1) + crd.index_entry(b"G", mgc_body_at)
    listing_case("graphic_65535_at_the_end", one + struct.pack("<H", 65535))
    listing_case("graphic_65535_whole", one + struct.pack("<H", 65535) + b"\x01" * (8 + 65535) +
                 struct.pack("<H", 2) + b"ok")
    # L = 65535 with three bytes of it present, and with all of it (each
    # also converted: 131070 bytes of UTF-8).
    for signature, body_at in ((b"MGC", mgc_body_at), (b"RRG", rrg_body_at)):
        stem = signature.decode().lower()
        one = crd.header(signature, 1) + crd.index_entry(b"T", body_at) + struct.pack("<HH", 0,
                                                                                      65535)
        listing_case(stem + "_text_65535_cut", one + b"\xc0\xe1\xe2", ("-e", "Windows-1251"))
        listing_case(stem + "_text_65535_whole", one + b"\xff" * 65535 + b"XYZ")
        case(stem + "_text_65535_whole_converted",
             ["-e", "Windows-1251", stem + "_text_65535_whole.crd"])


def conversion_cases():
    conv = ("-e", "Windows-1251")
    # The whole text is converted, however long (here 1232 bytes of UTF-8).
    words = "Съешь же ещё этих мягких французских булок да выпей чаю. "
    long_card = cp((words * 12).strip())
    listed("convert_long_card", b"MGC", [Card(cp("Длинная карточка"), mgc_text(long_card))],
           args_before=conv)
    # Every sign of the code page, and 0x98, which it leaves unassigned.
    signs = cp("Ёлкин ёж «кавычки» № 5 – тире — €\u00a0Ђ Ї і ў ") + b"\x98"
    listed("convert_signs", b"MGC", [Card(cp("Ёжиков «Ёлка» №1"), mgc_text(signs))],
           args_before=conv)
    upper_half = bytes(range(0x80, 0x100))
    listed("convert_rrg_upper_half", b"RRG", [Card(bytes(range(0xC0, 0xE8)), rrg_text(upper_half))],
           args_before=conv)
    listed("upper_half_as_stored", b"RRG", [Card(bytes(range(0xC0, 0xE8)), rrg_text(upper_half))])


def object_cases():
    """Object cards: the notice, then the text when the object parses; each
    also as JSON and CSV."""
    # A 2 x 2 picture of 1 bit a pixel: info header, black and white, two rows.
    dib = (struct.pack("<IiiHHIIiiII", 40, 2, 2, 1, 1, 0, 8, 0, 0, 0, 0) +
           b"\0\0\0\0\xff\xff\xff\0" + b"\x40\0\0\0\x80\0\0\0")
    bmp = b"BM" + struct.pack("<IHHI", 14 + len(dib), 0, 0, 14 + 48) + dib
    embedded = crd.embedded_data(bmp)
    plan = b"C:\\DOCS\\PLAN.DOC"
    linked = crd.linked_data(plan)
    wmf = bytes(18)
    picture, presentation, counted = crd.ole_picture, crd.presentation, crd.counted
    kinds = [
        ("object_embedded_dib", ole_card(
            1, 2, b"PBrush", embedded + presentation(b"DIB", picture(b"DIB", 2, 2, dib)),
            b"A picture\r\nwith a caption")),
        ("object_embedded_no_presentation", ole_card(
            2, 2, b"Package", embedded + presentation(), b"Packed")),
        ("object_embedded_clipboard_named", ole_card(
            3, 2, b"SoundRec", embedded + presentation(
                b"Native", crd.clipboard_picture(0, b"abc", name=b"Rich Text Format")),
            b"A sound")),
        ("object_embedded_clipboard_number", ole_card(
            4, 2, b"SoundRec", embedded + presentation(b"CF_TEXT",
                                                        crd.clipboard_picture(1, b"hi")),
            b"Numbered format")),
        ("object_linked_metafile", ole_card(
            5, 1, b"Word.Document.6", linked +
            presentation(b"METAFILEPICT", picture(b"METAFILEPICT", 2540, 1270, wmf)),
            b"Linked budget")),
        ("object_static_bitmap", ole_card(6, 3, b"BITMAP", picture(b"BITMAP", 8, 1, b"\xff"),
                                          b"A static picture")),
    ]
    failures = [
        # Each of these lists the notice alone, and says why on standard error.
        ("object_native_past_end", ole_card(
            7, 2, b"PBrush", counted(b"") + counted(b"") + struct.pack("<I", 1 << 20) + bmp,
            b"never shown")),
        ("object_string_without_nul", ole_card(
            8, 2, b"PBrush", struct.pack("<I", 3) + b"abc" + counted(b"") +
            struct.pack("<I", 0) + presentation(), b"never shown")),
        ("object_unknown_format", ole_card(9, 4, b"PBrush", b"", b"never shown")),
        ("object_presentation_format_3", ole_card(
            10, 2, b"PBrush", embedded + struct.pack("<II", 0x0501, 3), b"never shown")),
        ("object_type_contradicts", ole_card(
            11, 2, b"PBrush", embedded + presentation(), b"never shown", object_type=2)),
        ("object_static_not_a_picture", ole_card(
            12, 3, b"PBrush", picture(b"DIB", 1, 1, b"x"), b"never shown")),
        ("object_metafile_too_small", ole_card(
            13, 1, b"Word.Document.6", linked + presentation(
                b"METAFILEPICT", struct.pack("<III", 1, 1, 7) + bytes(7)), b"never shown")),
    ]
    for name, body in kinds + failures:
        listed(name, b"RRG", [Card(b"Object card", body), Card(b"After", rrg_text(b"Plain"))],
               formats=True)
    # The file ends inside the card's fields: the object does not parse.
    body = ole_card(14, 2, b"PBrush", embedded + presentation(), b"gone")
    data, _ = card_file(b"RRG", [Card(b"Cut", body)])
    listing_case("object_cut_in_card_fields", data[:-12])
    format_cases("object_cut_in_card_fields")
    # The file ends inside the text: what it holds of it is shown.
    listing_case("object_cut_in_text", data[:-2])
    format_cases("object_cut_in_text")


def code_page_cases():
    """One card file a family of code pages, listed with its own code page."""
    families = [
        ("cp1252", "Müller François", "Straße 5, 1050 Bruxelles\r\nTél. « café » – 12 €"),
        ("cp1250", "Dvořák Łucja", "Příliš žluťoučký kůň úpěl ďábelské ódy"),
        ("cp1253", "Παπαδόπουλος Νίκος", "Οδός Ερμού 12, Αθήνα\r\nΤηλ. 210 123 4567"),
        ("cp1255", "כהן דוד", "רחוב הרצל 7, תל אביב"),
        ("cp1256", "محمد علي", "شارع النيل 12، القاهرة"),
        ("cp874", "สมชาย ใจดี", "ถนนสุขุมวิท กรุงเทพฯ"),
        ("cp932", "山田 太郎", "東京都千代田区 ｶﾀｶﾅ\r\n電話 03-1234-5678"),
        ("cp936", "王小明", "北京市海淀区中关村大街 1 号"),
        ("cp949", "김철수", "서울특별시 종로구 세종대로"),
        ("cp950", "陳大文", "臺北市中正區重慶南路"),
    ]
    for codec, title, text in families:
        cards = [Card(title.encode(codec), mgc_text(text.encode(codec)))]
        listed("code_page_" + codec, b"MGC", cards, args_before=("-e", "Windows-" + codec[2:]))
    # Every upper byte of each single-byte page; '*' where it assigns none.
    for codec in ("cp874", "cp1253", "cp1255", "cp1258"):
        cards = [Card(b"Upper half", rrg_text(bytes(range(0x80, 0x100))))]
        listed("code_page_%s_upper_half" % codec, b"RRG", cards,
               args_before=("-e", "Windows-" + codec[2:]))
    # Stray lead bytes: alone at the end of a title cut at 40 bytes, before a
    # line end, before a byte that is no trail, and a pair the page leaves unassigned.
    stray = b"\x82\xa0 \x81\r\n\x85\x40 \x88\x9f ok \xfc"
    title = "漢字".encode("cp932") * 9 + b"abc\x81"
    assert len(title) == 40
    listed("code_page_cp932_stray_lead_bytes", b"MGC", [Card(title, mgc_text(stray))],
           args_before=("-e", "Windows-932"))


def truncated_cases():
    """Files that end early: the missing bytes read as zeros, and each cut is
    reported."""
    # Inside the count: MGC 05 -> count 5, every entry past the end reads as
    # offset 0 and is skipped.
    listing_case("truncated_in_count", b"MGC\x05")
    listing_case("rrg_truncated_in_header", b"RRG\x01\x02\x03\x04\x03")
    format_cases("rrg_truncated_in_header")
    # More cards counted than entries present.
    # (The one card keeps its body in the six bytes of its entry that are not
    # interpreted: G = 0, L = 2, two letters; nothing follows the entry.)
    listing_case("count_beyond_entries",
                 crd.header(b"MGC", 3) + crd.index_entry(b"Only", 5, pad=b"\0\0\x02\0ok"))
    format_cases("count_beyond_entries")
    # Inside an index entry. Each entry keeps its body in its own six bytes
    # that are not interpreted (G = 0, L = 2, two letters): bodies may lie
    # anywhere. The second entry is cut inside its index line; a partly
    # present entry counts as missing.
    first_at, second_at = 5, 5 + crd.INDEX_ENTRY_SIZE
    entry1 = crd.index_entry(b"Complete", first_at, pad=b"\0\0\x02\0Hi")
    entry2 = crd.index_entry(b"Truncated title", second_at, pad=b"\0\0\x02\0Yo")
    listing_case("truncated_in_index_entry", crd.header(b"MGC", 2) + entry1 + entry2[:11 + 9])
    # Cut inside the body offset: only its low byte is there, the rest reads as zeros.
    entry = crd.index_entry(b"x", 5)
    listing_case("truncated_in_body_offset", crd.header(b"MGC", 1) + entry[:7])
    # Inside a body: the text prints as far as the file goes.
    for name, signature, body in (("truncated_in_mgc_text", b"MGC", mgc_text),
                                  ("truncated_in_rrg_text", b"RRG", rrg_text)):
        data, _ = card_file(signature, [Card(b"Cut", body(b"Only this much of a longer text"))])
        listing_case(name, data[:-17])
    format_cases("truncated_in_rrg_text")
    # Inside the picture: 54 of its 8 + 100 bytes of fields and bits.
    data, _ = card_file(b"MGC", [Card(b"Picture", mgc_text(b"lost", graphic=100))])
    listing_case("truncated_in_graphic_block", data[:-60])
    data, _ = card_file(b"RRG", [Card(b"Object", rrg_object(7, 2, 9))])
    listing_case("truncated_in_object", data[:-10])
    format_cases("truncated_in_object")
    data, _ = card_file(b"MGC", [Card(b"Far away", offset=1 << 20)])
    listing_case("body_beyond_end", data)
    format_cases("body_beyond_end")
    # Absurd card counts on a header alone, converted.
    for count in (32767, -1, -32768):
        for signature in (b"MGC", b"RRG"):
            listing_case("count_%s_%s" % (str(count).replace("-", "minus_"),
                                          signature.decode().lower()),
                         crd.header(signature, count), ("-e", "Windows-1251"))


def picture_cases():
    """The "MGC" picture layout: G, width, height, x, y, the G bytes of bits,
    then the text length at body offset 10 + G (2 when G is 0)."""
    mark = crd.Picture(32, 4, 8, 4, crd.monochrome_bits(32, 4, lambda x, y: x == 8 * y))
    listed("mgc_picture_layout", b"MGC", [
        Card(b"Blank card", mgc_text(b"")),  # four zero bytes
        Card(b"No picture", mgc_text(b"G is 0: the text length at 2")),
        Card(b"Two bytes of bits", mgc_text(b"G is 2: the text length at 12",
                                            picture=crd.Picture(16, 1, 3, 4, b"\x0f\xf0"))),
        # Read two bytes late, "Ab" would be taken for the text length.
        Card(b"Letterhead", mgc_text(b"Ab: the text length at 10 + 16", picture=mark)),
    ], formats=True)
    # G near 65535, the body placed (behind a block no entry points at) so
    # that its text length straddles the 128 KiB mark and its text lies in
    # the next 128 KiB of the file.
    window = 128 * 1024
    big = crd.Picture(1008, 520, 0, 0, bytes((i * 7 + 3) & 0xFF for i in range(65520)))
    assert big.consistent()
    first = mgc_text(b"Before the block")
    index_end = crd.MGC_HEADER_SIZE + 2 * crd.INDEX_ENTRY_SIZE
    big_at = window - 1 - crd.mgc_text_at(big)
    gap = big_at - index_end - len(first.data)
    text = b"Text in the next 128 KiB of the file"
    data, offsets = listed("mgc_picture_next_window", b"MGC", [
        Card(b"Before", first),
        Card(b"Large picture", mgc_text(text, picture=big), before=bytes(gap)),
    ], formats=True)
    assert offsets[1] == big_at and data.index(text) == window + 1


def damage_cases():
    """One case per kind of damage, on cut and corrupted copies of two files
    laid out by the builder; the files themselves report nothing."""
    # "MGC": two text cards, then a picture card (the last body in the file).
    picture = crd.Picture(16, 2, 5, 6, b"\x00\xff\xff\x00")
    mgc_cards = [Card(b"Text", mgc_text(b"Hello, world")), Card(b"Second", mgc_text(b"Two")),
                 Card(b"Picture", mgc_text(b"Under the picture", picture=picture))]
    mgc, offsets = listed("damage_mgc_whole", b"MGC", mgc_cards, formats=True)
    at = offsets[2]  # the picture card's body
    text_at = at + crd.mgc_text_at(picture)

    def corrupt(data, at, new):
        return data[:at] + new + data[at + len(new):]

    def entry_at(number):
        return crd.MGC_HEADER_SIZE + crd.INDEX_ENTRY_SIZE * (number - 1) + crd.ENTRY_PAD_SIZE

    size = len(mgc)
    # (name, file, also as JSON and CSV)
    rows = [
        ("damage_header_signature_only", b"MGC", True),
        ("damage_header_cut", mgc[:4], True),
        ("damage_rrg_header_cut", crd.header(b"RRG", 0, 0x04030201)[:7], False),
        ("damage_index_missing", crd.header(b"MGC", 5), False),
        # Entries 1 and 2 whole, entry 3 cut inside its index line: every body is gone.
        ("damage_index_cut", mgc[:entry_at(3) + 5 + 10], True),
        ("damage_negative_count", crd.header(b"MGC", -3) + mgc[crd.MGC_HEADER_SIZE:], True),
        ("damage_negative_count_no_entry", crd.header(b"RRG", -1) + bytes(51), False),
        ("damage_top_bit", corrupt(mgc, entry_at(2) + 3, b"\x80"), True),
        ("damage_offset_at_end", corrupt(mgc, entry_at(1), struct.pack("<I", size)), True),
        ("damage_body_cut", mgc[:at + 1], False),
        ("damage_picture_cut_in_fields", mgc[:at + 2 + 5], False),
        ("damage_picture_cut_in_bits", mgc[:at + 2 + 10], False),
        ("damage_text_length_cut", mgc[:text_at + 1], False),
        ("damage_text_cut", mgc[:text_at + 2 + 5], True),
    ]
    # G = 0: the text length cut.
    data, _ = card_file(b"MGC", [Card(b"Short", mgc_text(b"abc"))])
    rows.append(("damage_text_length_cut_no_picture", data[:-4], False))

    # "RRG": a text card, a linked object with a metafile, an embedded
    # Paintbrush picture with a DIB presentation (the last body in the file).
    dib = (struct.pack("<IiiHHIIiiII", 40, 8, 1, 1, 1, 0, 4, 0, 0, 0, 0) +
           b"\0\0\0\0\xff\xff\xff\0" + b"\x5a\0\0\0")
    bmp = b"BM" + struct.pack("<IHHI", 14 + len(dib), 0, 0, 14 + 48) + dib
    link = b"C:\\PLAN.DOC"
    linked_ole = crd.linked_data(link)
    metafile = crd.ole_picture(b"METAFILEPICT", 100, 50, bytes(18))
    embedded_ole = crd.embedded_data(bmp)
    dib_picture = crd.ole_picture(b"DIB", 8, 1, dib)
    linked = ole_card(21, crd.LINKED, b"Word.Document.6", linked_ole + crd.presentation(
        b"METAFILEPICT", metafile), b"Linked text")
    embedded = ole_card(22, crd.EMBEDDED, b"PBrush", embedded_ole + crd.presentation(
        b"DIB", dib_picture), b"Caption")
    rrg, offsets = listed("damage_rrg_whole", b"RRG", [
        Card(b"Text", rrg_text(b"Plain text")), Card(b"Linked", linked),
        Card(b"Embedded", embedded)], formats=True)
    linked_at, at = offsets[1], offsets[2]
    ole_at = at + 2 + 4  # behind the flag and the UID
    class_at = ole_at + 8  # the class name, a counted string
    presentation_at = ole_at + len(crd.ole_object(crd.EMBEDDED, b"PBrush", embedded_ole))
    metafile_size_at = (linked_at + 6 + len(crd.ole_object(crd.LINKED, b"Word.Document.6",
                                                            linked_ole)) +
                        8 + len(crd.counted(b"METAFILEPICT")) + 8)
    type_at = len(rrg) - len(b"Caption") - 4
    rows += [
        ("damage_rrg_body_cut", rrg[:at + 1], False),
        ("damage_object_cut", rrg[:presentation_at - 20], True),
        ("damage_object_no_nul", corrupt(rrg, class_at + 4 + 6, b"x"), True),
        ("damage_object_format", corrupt(rrg, ole_at + 4, struct.pack("<I", 7)), True),
        ("damage_presentation_format", corrupt(rrg, presentation_at + 4, struct.pack("<I", 4)),
         False),
        ("damage_metafile_size", corrupt(rrg, metafile_size_at, struct.pack("<I", 7)), True),
        ("damage_object_type", corrupt(rrg, type_at, struct.pack("<H", 1)), False),
        ("damage_object_text_cut", rrg[:-4], True),
    ]
    for name, data, formats in rows:
        listing_case(name, data)
        if formats:
            format_cases(name)

    # At most 20 lines a file, then how many more problems there are.
    for number in (20, 21, 23):
        listed("damage_%d_problems" % number, b"MGC", [
            Card(b"Card %d" % n, offset=0x80000000 + n) for n in range(1, number + 1)])
    # --strict: a listed file with problems exits 1, in every format.
    case("strict_damaged", ["--strict", "damage_text_cut.crd"])
    case("strict_damaged_json", ["--format=json", "--strict", "-e", "Windows-1252",
                                 "damage_text_cut.crd"])
    case("strict_whole", ["damage_mgc_whole.crd", "--strict"])


def several_files_cases():
    """Several files, -e anywhere, reasons on standard error, --find and --card."""
    case("several_files", ["as_stored.crd", "mgc_two_cards.crd", "as_stored.crd"])
    case("several_files_one_missing", ["mgc_two_cards.crd", "none.crd", "as_stored.crd"])
    case("e_after_files", ["as_stored.crd", "as_stored.crd", "-e", "Windows-1251"])
    case("e_alias_as_stored", ["as_stored.crd", "-e", "1251"])
    for alias in ("cp1251", "CP1251", "1251", "windows-1251", "WINDOWS-1251"):
        case("encoding_alias_" + alias.lower().replace("-", "_") +
             ("_upper" if alias != alias.lower() else ""),
             ["--encoding=" + alias, "as_stored.crd"])
    case("not_an_option_verbose", ["--verbose", "as_stored.crd"])
    case("not_an_option_after_file", ["as_stored.crd", "-x", "y"])
    case("e_without_value", ["as_stored.crd", "-e"])
    case("dko_signature", ["dko_signature.crd"], card_data=b"DKO\x01\x00" + bytes(52))
    case("zip_signature", ["zip_signature.crd"], card_data=b"PK\x03\x04" + bytes(30))
    # JSON of several files: an array of each file's document (a file that
    # gives none is left out); CSV: a first column "file".
    case("json_several_files", ["--format=json", "mgc_two_cards.crd", "none.crd",
                                "as_stored.crd", "-e", "Windows-1252"])
    case("csv_several_files", ["--format=csv", "-e", "Windows-1252", "mgc_two_cards.crd",
                               "as_stored.crd"])
    # --find and --card keep cards; the header keeps the stored count.
    # (The arguments stay ASCII: the golden runner reads them as ASCII. The
    # Cyrillic and Greek of the fold table are checked in tests/cli.)
    case("find_in_text", ["-e", "Windows-1251", "--find=18:00", "as_stored.crd"])
    case("find_any_case", ["--find=hELLo", "mgc_two_cards.crd"])
    case("card_list", ["-e", "Windows-1251", "--card=2-5", "as_stored.crd"])
    case("card_list_not_one", ["--card=3,", "as_stored.crd"])


def html_vcard_cases():
    """The HTML page and the vCards (3.0 and 4.0) of cards placed with the
    builder: texts with markup, escapes and control characters, phone
    numbers, e-mail and web addresses, an "MGC" picture and object cards."""
    # An "MGC" picture 12 pixels wide: rows of 2 bytes. A 2 x 2 DIB of 1 bit
    # a pixel, bottom row first.
    picture = crd.Picture(12, 2, 5, 6, b"\x0f\xff\xf0\x0f")
    dib = (struct.pack("<IiiHHIIiiII", 40, 2, 2, 1, 1, 0, 8, 0, 0, 0, 0) +
           b"\0\0\0\0\xff\xff\xff\0" + b"\x40\0\0\0\x80\0\0\0")
    bmp = b"BM" + struct.pack("<IHHI", 14 + len(dib), 0, 0, 14 + 48) + dib
    plan = b"C:\\DOCS\\A&B.DOC"

    contact = cp("Call +1 (555) 010-4477 or 555.013.2290; born 12.03.1994, ZIP 12345-6789.\r\n"
                 "Mail jane.doe@example.org, see www.example.com. Back\\slash\tTab\r\n"
                 "Ёжик в тумане — строка длиннее семидесяти пяти октетов, сложенная по символам")
    odd = (b"<b>&amp;</b> \"q\" 'a'\r\nESC\x1b[0m bell\x07 lone\rCR del\x7f" +
           b" On the fold ESC\x1b, the caret pair kept whole.")
    mgc_data, _ = card_file(b"MGC", [
        Card(cp("Doe, Jane Mary"), mgc_text(contact)),
        Card(b"<Markup> & \"quotes\"", mgc_text(odd)),
        Card(b"Picture", mgc_text(b"Under the picture", picture=picture)),
        Card(b"", mgc_text(b"")),
    ])
    rrg_data, _ = card_file(b"RRG", [
        Card(b"Floor plan", ole_card(1, crd.EMBEDDED, b"PBrush", crd.embedded_data(bmp) +
                                     crd.presentation(b"DIB", crd.ole_picture(b"DIB", 2, 2, dib)),
                                     b"Plan")),
        Card(b"Budget", ole_card(2, crd.LINKED, b"Word.Document.6", crd.linked_data(plan) +
                                 crd.presentation(b"METAFILEPICT",
                                                  crd.ole_picture(b"METAFILEPICT", 9, 9, bytes(18))),
                                 b"Linked")),
        Card(b"Stamp", ole_card(3, crd.STATIC, b"BITMAP", crd.ole_picture(b"BITMAP", 8, 1, b"\xff"),
                                b"Device bitmap")),
    ])
    for option in ("--format=vcard", "--format=vcard4"):
        stem = option[len("--format="):]
        case(stem + "_mgc_cards", [option, "-e", "Windows-1251", stem + "_mgc_cards.crd"],
             card_data=mgc_data)
        case(stem + "_object_cards", [option, "-e", "Windows-1252", stem + "_object_cards.crd"],
             card_data=rrg_data)
        case(stem + "_several_files", [option, "-e", "Windows-1251", stem + "_object_cards.crd",
                                       stem + "_mgc_cards.crd"])
    case("html_mgc_cards", ["--format=html", "-e", "Windows-1251", "html_mgc_cards.crd"],
         card_data=mgc_data)
    case("html_object_cards", ["--format=html", "-e", "Windows-1251", "html_object_cards.crd"],
         card_data=rrg_data)
    case("html_several_files", ["--format=html", "-e", "Windows-1251", "html_object_cards.crd",
                                "html_mgc_cards.crd"])


def spreadsheet_cases():
    """CSV fields that a spreadsheet would evaluate: each first character that
    makes a formula, in a title and in a text, gets an apostrophe in front;
    one inside a quoted field, inside the quotes; the same character later
    in a field, none. --csv-as-stored keeps every field as stored, and JSON
    keeps them exact."""
    starts = [b"=", b"+", b"-", b"@", b"\t", b"\r"]
    cards = [Card(first + b"1+2 title", rrg_text(first + b"SUM(A1:A2) text")) for first in starts]
    cards += [
        Card(b'=HYPERLINK("http://example.com/","x")', rrg_text(b"-5, then \"quoted\"")),
        Card(b"a=b later", rrg_text(b" =1 after a space, x@y.z, 1-2")),
        Card(b"", rrg_text(b"")),
    ]
    data, _ = card_file(b"RRG", cards)
    case("csv_formulas", ["--format=csv", "-e", "Windows-1252", "csv_formulas.crd"],
         card_data=data)
    case("csv_formulas_as_stored", ["--format=csv", "--csv-as-stored", "-e", "Windows-1252",
                                    "csv_formulas.crd"])
    case("csv_formulas_json", ["--format=json", "-e", "Windows-1252", "csv_formulas.crd"])
    case("csv_as_stored_without_csv", ["--csv-as-stored", "csv_formulas.crd"])


def bitmap_cases():
    """"BITMAP" pictures (device-dependent bitmaps) in HTML and vCard: 1 bit
    and 24 bits a pixel, the file's layout and the in-memory one, as a static
    object and as the presentation of an embedded and a linked object; and
    those whose colours cannot be known, boxes."""
    # 12 x 3, 1 bit: rows of W = 2 bytes; a diagonal of ink.
    mono = crd.monochrome_bits(12, 3, lambda x, y: x == y * 2)
    # 3 x 2, 24 bits: blue, green, red; W = 10 (9 bytes of pixels, padded).
    colour = (b"\x00\x00\xff" b"\x00\xff\x00" b"\xff\x00\x00" b"\x00" +
              b"\xff\xff\xff" b"\x80\x80\x80" b"\x00\x00\x00" b"\x00")
    # 16 x 2, 1 bit, rows wider than the pixels need (W = 4).
    wide = b"\x0f\xf0\xaa\xaa" b"\xf0\x0f\x55\x55"
    plan = b"C:\\DOCS\\STAMP.BMP"

    def bitmap(name, data, text):
        return Card(name, ole_card(len(name), crd.STATIC, b"BITMAP",
                                   crd.ole_picture(b"BITMAP", 1, 1, data), text))
    cards = [
        bitmap(b"Mono", crd.device_bitmap(12, 3, 1, mono), b"1 bit, as filed"),
        bitmap(b"Colour", crd.device_bitmap(3, 2, 24, colour, in_memory=True),
               b"24 bits, as in memory"),
        Card(b"Embedded", ole_card(3, crd.EMBEDDED, b"SoundRec", crd.embedded_data(b"RIFF") +
                                   crd.presentation(b"BITMAP", crd.ole_picture(
                                       b"BITMAP", 16, 2, crd.device_bitmap(16, 2, 1, wide))),
                                   b"A presentation")),
        Card(b"Linked", ole_card(4, crd.LINKED, b"PBrush", crd.linked_data(plan) +
                                 crd.presentation(b"BITMAP", crd.ole_picture(
                                     b"BITMAP", 3, 2, crd.device_bitmap(3, 2, 24, colour))),
                                 b"Linked, 24 bits")),
        bitmap(b"Four bits", crd.device_bitmap(4, 1, 4, b"\x12\x34"), b"No colour table"),
        bitmap(b"Two planes", crd.device_bitmap(8, 1, 1, b"\xf0\x00", planes=2), b"Planes"),
        bitmap(b"Size off", crd.device_bitmap(8, 1, 1, b"\xf0\x00\x00", row_size=2),
               b"S agrees with neither"),
        bitmap(b"Short rows", crd.device_bitmap(24, 1, 1, b"\xf0\x00"), b"W under the width"),
    ]
    data, _ = card_file(b"RRG", cards)
    case("bitmap_pictures_html", ["--format=html", "bitmap_pictures_html.crd"], card_data=data)
    case("bitmap_pictures_vcard", ["--format=vcard", "bitmap_pictures_html.crd"])
    case("bitmap_pictures_vcard4", ["--format=vcard4", "bitmap_pictures_html.crd"])


def fidelity_cases():
    """The page in reading order with --find and a file that is missing;
    vCard escapes of caret notation and names family first; --find on texts
    as stored, compared in the page they look like."""
    case("html_reading_order", ["--format=html", "-e", "Windows-1251", "--find=a",
                                "html_object_cards.crd", "none.crd", "html_mgc_cards.crd"])
    names = [
        ("Аксёнова Мария Петровна", "Family, given, patronymic"),
        ("ПЕТРОВА  АННА ИЛЬИНИЧНА", "In capitals, two blanks"),
        ("Шевченко Тарас Григорович", "Ukrainian"),
        ("Пётр Ильич", "Given name and patronymic"),
        ("Doe, Jane Mary", "Last, First Middle"),
        ("Иванов Иван Иванович младший", "Four words: whole"),
        ("Соколова Елена — репетитор", "No patronymic: whole"),
        ("Back\\slash \x1c; sep", "Caret: \x1c, backslash \\, comma, semicolon;\r\nend\x1c"),
    ]
    data, _ = card_file(b"MGC", [Card(cp(title), mgc_text(cp(text))) for title, text in names])
    case("vcard_names_and_escapes", ["--format=vcard", "-e", "Windows-1251",
                                     "vcard_names_and_escapes.crd"], card_data=data)
    case("vcard4_names_and_escapes", ["--format=vcard4", "-e", "Windows-1251",
                                      "vcard_names_and_escapes.crd"])
    # Japanese in Windows-932: the second byte of a katakana is often an ASCII
    # letter ("ア" is 0x83 0x41, an "A"). Only card 1 holds the letter a.
    japanese = [
        ("田中 太郎", "Tanaka: 東京都千代田区丸の内 1-2-3\r\n電話 03-1234-5678\r\n"
                     "毎週月曜日の午前中に打ち合わせがあります。資料は前日までに送ってください。"),
        ("アイウエオ", "カタカナのカード。東京都港区の事務所で、来月の予定を確認すること。"),
        ("山田 花子", "大阪府大阪市北区梅田 2-4-9\r\n電話 06-9876-5432\r\n"
                     "誕生日は四月です。花が好きなので、季節の花を贈りましょう。"),
    ]
    data, _ = card_file(b"MGC", [Card(title.encode("cp932"), mgc_text(text.encode("cp932")))
                                 for title, text in japanese])
    case("find_as_stored", ["--find=A", "find_as_stored.crd"], card_data=data)
    case("find_as_stored_csv", ["--format=csv", "--find=A", "find_as_stored.crd"])
    case("find_as_stored_named_page", ["-e", "Windows-932", "--find=A", "find_as_stored.crd"])


def hostile_picture_cases():
    """Pictures read as their headers say, and entries that share a body: the
    HTML page and the vCards. A DIB whose header says 2049 x 2048 pixels (a
    row more than 4 megapixels) is a labelled box and no PHOTO, though the
    file holds none of its rows; a 2 x 2 DIB stated with 4 KiB behind it that
    are not its picture is drawn from its header, colour table and rows; a
    Paintbrush object without a presentation shows its BMP file, whose rows
    lie 1 KiB past its colour table, where its file header says. Two entries
    share the box's body, three the drawn DIB's."""
    table = b"\0\0\0\0\xff\xff\xff\0"
    dib = struct.pack("<IiiHHIIiiII", 40, 2, 2, 1, 1, 0, 8, 0, 0, 0, 0) + table + \
        b"\x40\0\0\0\x80\0\0\0"
    huge = struct.pack("<IiiHHIIiiII", 40, 2049, 2048, 1, 1, 0, 0, 0, 0, 0, 0) + table + bytes(8)
    gap = b"\xAA" * 1024
    bmp = (b"BM" + struct.pack("<IHHI", 14 + len(dib) + len(gap), 0, 0, 14 + 48 + len(gap)) +
           dib[:48] + gap + dib[48:])

    def static(uid, data, text):
        return ole_card(uid, crd.STATIC, b"DIB", crd.ole_picture(b"DIB", 2, 2, data), text)

    too_large = static(1, huge, b"Too large")
    padded = static(2, dib + b"\x55" * 4096, b"Drawn from its header")
    place = crd.RRG_HEADER_SIZE + crd.INDEX_ENTRY_SIZE * 6
    data, _ = card_file(b"RRG", [
        Card(b"Too large", too_large),
        Card(b"Too large again", offset=place),
        Card(b"Padded", padded),
        Card(b"Padded, shared", offset=place + len(too_large.data)),
        Card(b"Padded, shared again", offset=place + len(too_large.data)),
        Card(b"Paintbrush", ole_card(3, crd.EMBEDDED, b"PBrush",
                                     crd.embedded_data(bmp) + crd.presentation(), b"Its BMP")),
    ])
    for option in ("--format=html", "--format=vcard"):
        name = "hostile_pictures_" + option[len("--format="):]
        case(name, [option, name + ".crd"], card_data=data)


def main():
    os.makedirs(CASES, exist_ok=True)
    command_line_cases()
    option_cases()
    closing_cases()
    index_cases()
    body_cases()
    conversion_cases()
    code_page_cases()
    object_cases()
    truncated_cases()
    picture_cases()
    damage_cases()
    several_files_cases()
    html_vcard_cases()
    spreadsheet_cases()
    bitmap_cases()
    fidelity_cases()
    hostile_picture_cases()
    print("%d cases' inputs written to %s" % (len(written), CASES))


if __name__ == "__main__":
    main()
