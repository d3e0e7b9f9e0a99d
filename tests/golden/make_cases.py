#!/usr/bin/env python3
"""Writes the golden cases of crdview into cases/ beside this script.

Regenerate every case (fixture, arguments, expected output, exit status) with:

    python3 tests/golden/make_cases.py

Each case states in bytes the card file it feeds to crdview (a small builder
below lays out the header, the index entries and the bodies), and composes
the listing crdview must print from the cards it placed: banner, header line,
heading, rule, index line, text, closing message. Cases whose output does not
follow from a well-formed file (truncated files, odd signatures) state their
output piece by piece. Nothing here runs crdview.

NAME.crd     the card file (when the case has one)
NAME.args    crdview's arguments, one a line (run with cases/ as working dir)
NAME.out     the exact standard output
NAME.status  the exit status, when it is not 0
NAME.err     the exact standard error, when it is not empty
"""

import os
import struct

CASES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "cases")

# ---------------------------------------------------------------------------
# What crdview prints.

HELP = (b"\nUsage:\n\n%s [OPTION] file.\n\nOpens the Windows CRD (contact card) file\n\n"
        b"  OPTION:\n  -e <encoding> decode from this encoding to UTF-8.\n"
        b"                supports Windows-874, Windows-1250 to Windows-1258\n"
        b"                and Windows-932, 936, 949 and 950.\n"
        b"  --encoding=<encoding> the same as -e <encoding>.\n"
        b"  --format=<format> listing (the default), json or csv.\n"
        b"  --extract=<dir> also write each card's picture or object into dir.\n"
        b"  --help, -h    show this text.\n"
        b"  --version     show the version of crdview.\n\n"
        b"  EXAMPLE:\n  %s -e Windows-1251 file.CDR\n\n"
        b"  NOTE:\n  In the Windows terminal use chcp command to set the code page.\n"
        b"  For example: \"chcp 1251\" to set the Windwso-1251 code page.\n\n")

CLOSE_LISTED = b"\n" + b"\n"
CLOSE_ERROR = b"\nError reading file.\n" + b"\n"
CLOSE_NOT_CARD_FILE = b"\nNot the Windows Card file.\n" + b"\n"

EXIT_LISTED, EXIT_NOT_LISTED, EXIT_USAGE = 0, 1, 2


def banner(path):
    return b"\nWindows Card File " + path.encode()


def header_line(signature, count):
    return b"\n\n" + signature + b" card file, total cards: %d\n" % count


def bad_signature(supplied):
    return b"\n\nThe signature is not supported: " + supplied


def heading(number):
    """Right-aligned to the eight-hyphen rule up to card 999."""
    indent = 2 if number <= 9 else 1 if number <= 99 else 0
    return b"\n" + b" " * indent + b"Card %d" % number + b"\n--------"


def shown(text):
    return b"\n" + text + b"\n"


def ole_notice(uid, format_id, class_name_length):
    return (b"\n*** OLE object, not supported,\n    UID: %d, format ID: %d, class name len: %d.\n"
            % (uid, format_id, class_name_length))


def up_to_nul(data):
    return data.split(b"\0", 1)[0]


def from_code_page(codec):
    """Python's own codec is the reference; a byte or pair the code page
    leaves unassigned (0x98 of cp1251, a stray lead byte) becomes '*'."""
    return lambda data: data.decode(codec, errors="replace").replace("\ufffd", "*").encode()


cp1251_to_utf8 = from_code_page("cp1251")

KNOWN = b"Windows-874, Windows-1250 to Windows-1258, Windows-932, 936, 949, 950"


def unknown_encoding(name):
    return (b'crdview: unknown encoding "%s"; the texts are shown as stored (known: %s)\n'
            % (name, KNOWN))


def not_an_option(word):
    return b'crdview: "%s" is not an option; the texts are shown as stored\n' % word


def as_stored(data):
    return data


# ---------------------------------------------------------------------------
# Card file builder.

INDEX_ENTRY_SIZE = 52
INDEX_TEXT_SIZE = 41


class Body:
    """A card body: its bytes in the file, and either the stored text it
    holds (printed up to its first NUL, converted when asked) or the notice
    it shows."""

    def __init__(self, data, text=None, notice=None):
        self.data, self.text, self.notice = data, text, notice

    def listing(self, convert):
        text = b"" if self.text is None else shown(convert(up_to_nul(self.text)))
        return (self.notice or b"") + text


def mgc_text(text, graphic=0):
    """G, then G + 10 bytes of graphic block when G is not 0, then L and the text."""
    block = bytes((i * 37 + 11) & 0xFF for i in range(graphic + 10)) if graphic else b""
    data = struct.pack("<H", graphic) + block + struct.pack("<H", len(text)) + text
    return Body(data, text=text)


def rrg_text(text, trailing=b""):
    """Object flag 0, L, the text; `trailing` bytes follow in the file but are
    not part of the text."""
    return Body(struct.pack("<HH", 0, len(text)) + text + trailing, text=text)


def rrg_object(uid, format_id, class_name_length, flag=1, ignored=0x11223344, rest=b""):
    data = struct.pack("<HiIii", flag, uid, ignored, format_id, class_name_length) + rest
    return Body(data, notice=ole_notice(uid, format_id, class_name_length))


def counted(text):
    """A counted string: a u32 length, then the bytes; the last a NUL unless empty."""
    return struct.pack("<I", len(text) + 1) + text + b"\0" if text else struct.pack("<I", 0)


def picture(name, width, height, data):
    """A picture body: width, height, size, the data (a metafile behind 8 reserved bytes)."""
    if name == b"METAFILEPICT":
        data = bytes(8) + data
    return struct.pack("<III", width, height, len(data)) + data


def presentation(name=None, body=b""):
    """Version, format 5 and a class name, then `body`; format 0 without a name."""
    if name is None:
        return struct.pack("<II", 0x0501, 0)
    return struct.pack("<II", 0x0501, 5) + counted(name) + body


def ole_card(uid, kind, class_name, rest, text, object_type=None, parses=True, cut=0):
    """An "RRG" object body: flag 1, UID, the OLE object (version, `kind`, the
    class name, `rest`), the card's fields, the object type and the text.
    `cut` bytes are taken off the end of the object before the card's fields."""
    ole = struct.pack("<II", 0x0501, kind) + counted(class_name) + rest
    ole = ole[:len(ole) - cut]
    if object_type is None:
        object_type = {2: 0, 1: 1, 3: 2}.get(kind, 0)
    data = (struct.pack("<HI", 1, uid) + ole + struct.pack("<HH4h", 8, 16, 0, 0, 100, 50) +
            struct.pack("<HH", object_type, len(text)) + text)
    format_id = kind
    class_name_length = len(class_name) + 1 if class_name else 0
    return Body(data, text=text if parses else None,
                notice=ole_notice(uid, format_id, class_name_length))


class Card:
    """One index entry. `offset` overrides the body's place (0: no body; a
    value with the top bit set: a negative offset); `pad` fills the six bytes
    the viewer does not interpret."""

    def __init__(self, title, body=None, flag=0, offset=None, pad=bytes(6)):
        self.title, self.body, self.flag, self.offset, self.pad = title, body, flag, offset, pad


def header(signature, count, rrg_field=0):
    if signature == b"RRG":
        return signature + struct.pack("<Ih", rrg_field, count)
    return signature + struct.pack("<h", count)


def index_entry(card, offset):
    title = card.title
    assert len(title) <= INDEX_TEXT_SIZE and len(card.pad) == 6
    return card.pad + struct.pack("<IB", offset, card.flag) + title.ljust(INDEX_TEXT_SIZE, b"\0")


def card_file(signature, cards, count=None, rrg_field=0, convert=as_stored):
    """Lays out a card file (header, index, then the bodies in card order) and
    composes its listing after the banner: (file bytes, expected output)."""
    count = len(cards) if count is None else count
    head = header(signature, count, rrg_field)
    place = len(head) + INDEX_ENTRY_SIZE * len(cards)
    index, bodies, listing = b"", b"", header_line(signature, count)
    for number, card in enumerate(cards, start=1):
        listed_here = number <= count  # a count of 0 or less lists no card
        if card.offset is not None:
            offset = card.offset
        elif card.body is not None:
            offset = place + len(bodies)
            bodies += card.body.data
        else:
            offset = 0
        index += index_entry(card, offset)
        if not listed_here or offset == 0 or card.flag != 0:
            continue  # skipped: nothing at all is printed
        listing += heading(number) + shown(convert(up_to_nul(card.title)))
        if offset >= 0x80000000:
            continue  # negative as a signed 32-bit offset: the body is not read
        # A body the file does not hold reads as zeros: an empty text.
        listing += card.body.listing(convert) if card.body else shown(b"")
    return head + index + bodies, listing


# ---------------------------------------------------------------------------
# Writing the cases.

written = []


def case(name, args, out, status=EXIT_LISTED, crd=None, err=b""):
    if crd is not None:
        with open(os.path.join(CASES, name + ".crd"), "wb") as f:
            f.write(crd)
    with open(os.path.join(CASES, name + ".args"), "w", newline="\n") as f:
        f.write("".join(arg + "\n" for arg in args))
    with open(os.path.join(CASES, name + ".out"), "wb") as f:
        f.write(out)
    status_path = os.path.join(CASES, name + ".status")
    if status != EXIT_LISTED:
        with open(status_path, "w", newline="\n") as f:
            f.write("%d\n" % status)
    elif os.path.exists(status_path):
        os.remove(status_path)
    err_path = os.path.join(CASES, name + ".err")
    if err:
        with open(err_path, "wb") as f:
            f.write(err)
    elif os.path.exists(err_path):
        os.remove(err_path)
    written.append(name)


def listed(name, signature, cards, args_before=(), err=b"", **layout):
    """A card file listed in full: banner, listing, the empty closing line."""
    path = name + ".crd"
    data, listing = card_file(signature, cards, **layout)
    case(name, list(args_before) + [path], banner(path) + listing + CLOSE_LISTED, crd=data,
         err=err)


def raw_case(name, data, middle, close=CLOSE_LISTED, status=EXIT_LISTED):
    """A file whose listing is stated piece by piece."""
    path = name + ".crd"
    case(name, [path], banner(path) + middle + close, status=status, crd=data)


def cp(text):
    return text.encode("cp1251")


# Russian texts as stored in Windows-1251, and the same cards for the options.
RUSSIAN = [
    Card(cp("Иванов Иван Петрович"), mgc_text(cp("ул. Ленина, д. 5, кв. 12\r\nТел. 123-45-67"))),
    Card(cp("Щукина Эльвира Юрьевна"), mgc_text(cp("Звонить после 18:00"))),
]


def command_line_cases():
    # One argument: the texts exactly as stored.
    listed("as_stored", b"MGC", RUSSIAN)
    # -e Windows-1251: index lines and texts converted to UTF-8.
    listed("convert", b"MGC", RUSSIAN, args_before=("-e", "Windows-1251"), convert=cp1251_to_utf8)
    # Any other pair before the file lists it without conversion, and says so
    # on standard error.
    listed("option_upper_e", b"MGC", RUSSIAN, args_before=("-E", "Windows-1251"),
           err=not_an_option(b"-E"))
    listed("encoding_lower_case", b"MGC", RUSSIAN, args_before=("-e", "windows-1251"),
           err=unknown_encoding(b"windows-1251"))
    listed("encoding_koi8r", b"MGC", RUSSIAN, args_before=("-e", "KOI8-R"),
           err=unknown_encoding(b"KOI8-R"))
    # Two or four arguments: the help text only, with the program's base name.
    help_out = HELP % (b"crdview", b"crdview")
    case("two_args", ["-e", "as_stored.crd"], help_out, status=EXIT_USAGE)
    case("four_args", ["-e", "Windows-1251", "as_stored.crd", "as_stored.crd"], help_out,
         status=EXIT_USAGE)


def option_cases():
    """The long options, taken out wherever they stand, and their failures."""
    help_out = HELP % (b"crdview", b"crdview")
    case("help_long", ["as_stored.crd", "--help"], help_out)
    case("help_short", ["-h"], help_out)
    case("version", ["--version"], b"crdview 1.1.0\n")
    # What follows "--" is taken as it stands: here a file named "-h".
    case("options_end", ["--", "-h"], banner("-h") + CLOSE_ERROR, status=EXIT_NOT_LISTED)
    data, listing = card_file(b"MGC", RUSSIAN, convert=cp1251_to_utf8)
    case("encoding_option", ["encoding_option.crd", "--format", "listing",
                             "--encoding=Windows-1251"],
         banner("encoding_option.crd") + listing + CLOSE_LISTED, crd=data)
    usage = [
        ("format_unknown", ["--format=xml", "as_stored.crd"],
         b'crdview: unknown format "xml" (accepted: listing, json, csv)\n'),
        ("format_without_value", ["as_stored.crd", "--format"],
         b"crdview: --format needs a value\n"),
        ("json_unknown_encoding", ["--format=json", "-e", "KOI8-R", "as_stored.crd"],
         b'crdview: unknown encoding "KOI8-R" (known: %s)\n' % KNOWN),
        ("csv_not_an_option", ["--format=csv", "-x", "y", "as_stored.crd"],
         b'crdview: "-x" is not an option\n'),
        ("encoding_twice", ["--encoding=Windows-1251", "-e", "Windows-1252", "as_stored.crd"],
         b'crdview: --encoding and "-e Windows-1252" both name an encoding\n'),
    ]
    for name, args, err in usage:
        case(name, args, b"", status=EXIT_USAGE, err=err)
    # JSON and CSV say nothing on standard output about a file they cannot use.
    case("json_missing_file", ["--format=json", "none.crd"], b"", status=EXIT_NOT_LISTED,
         err=b"crdview: none.crd: No such file or directory\n")
    case("csv_not_a_card_file", ["--format=csv", "signature_lower_rrg.crd"], b"",
         status=EXIT_NOT_LISTED, err=b"crdview: signature_lower_rrg.crd: not a card file\n")


def closing_cases():
    case("missing_file", ["none.crd"], banner("none.crd") + CLOSE_ERROR, status=EXIT_NOT_LISTED)
    # A path that opens but cannot be read as a file.
    case("directory", ["."], banner(".") + CLOSE_ERROR, status=EXIT_NOT_LISTED)
    raw_case("signature_lower_rrg", b"rrg" + bytes(60), bad_signature(b"rrg"),
             CLOSE_NOT_CARD_FILE, EXIT_NOT_LISTED)
    raw_case("signature_mgc_mixed_case", b"MGc\x01\x00" + bytes(52), bad_signature(b"MGc"),
             CLOSE_NOT_CARD_FILE, EXIT_NOT_LISTED)
    # A file shorter than a signature shows only the bytes it holds.
    raw_case("empty_file", b"", bad_signature(b""), CLOSE_NOT_CARD_FILE, EXIT_NOT_LISTED)
    raw_case("one_byte_file", b"M", bad_signature(b"M"), CLOSE_NOT_CARD_FILE, EXIT_NOT_LISTED)
    raw_case("two_byte_file", b"MG", bad_signature(b"MG"), CLOSE_NOT_CARD_FILE, EXIT_NOT_LISTED)
    raw_case("three_byte_other", b"CRD", bad_signature(b"CRD"), CLOSE_NOT_CARD_FILE,
             EXIT_NOT_LISTED)


def index_cases():
    # The worked example: Alpha with its text Hello, Beta without a body.
    listed("mgc_two_cards", b"MGC", [Card(b"Alpha", mgc_text(b"Hello")), Card(b"Beta")])
    listed("rrg_text_cards", b"RRG", [
        Card(b"Acme Plumbing", rrg_text(b"Call (555) 010-4477\r\nAsk for Dave")),
        Card(b"Dentist", rrg_text(b"Dr. Park, Tuesday 9:30")),
    ], rrg_field=0x7FFF0102)  # the four bytes before the count are not interpreted
    listed("count_zero", b"MGC", [], count=0)
    listed("count_minus_one", b"MGC", [Card(b"Never read", mgc_text(b"x"))], count=-1)
    listed("rrg_count_minus_one", b"RRG", [Card(b"Never read", rrg_text(b"x"))], count=-1)
    listed("skipped_entries", b"MGC", [
        Card(b"First", mgc_text(b"one")),
        Card(b"No body", offset=0),
        Card(b"Flagged", mgc_text(b"hidden"), flag=1),
        Card(b"Flag 0x80", mgc_text(b"hidden too"), flag=0x80),
        Card(b"Fifth", mgc_text(b"five")),
    ])
    listed("negative_offsets", b"MGC", [
        Card(b"Top bit set", offset=0x80000000),
        Card(b"Minus one", offset=0xFFFFFFFF),
        Card(b"Readable", mgc_text(b"still here")),
        Card(b"Top bit and a plausible offset", offset=0x8000006D),
    ])
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
    # Bodies may lie anywhere and in any order; two entries may share one.
    shared = mgc_text(b"Shared text")
    first, second = mgc_text(b"Stored second"), mgc_text(b"Stored first")
    head = len(header(b"MGC", 4)) + 4 * INDEX_ENTRY_SIZE
    at_shared, at_second = head, head + len(shared.data)
    at_first = at_second + len(second.data)
    cards = [Card(b"A", shared, offset=at_shared), Card(b"B", first, offset=at_first),
             Card(b"C", second, offset=at_second), Card(b"D", shared, offset=at_shared)]
    data, listing = card_file(b"MGC", cards)
    data += shared.data + second.data + first.data
    raw_case("bodies_out_of_order", data, listing)


def body_cases():
    listed("mgc_empty_text", b"MGC", [Card(b"Empty", mgc_text(b"")), Card(b"After", mgc_text(b"x"))])
    listed("mgc_graphic_block", b"MGC", [
        Card(b"With picture", mgc_text(b"Text behind a 100-byte picture", graphic=100)),
        Card(b"Small picture", mgc_text(b"G is 1", graphic=1)),
        Card(b"No picture", mgc_text(b"plain")),
    ])
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
    listed("rrg_object", b"RRG", [
        Card(b"Picture", rrg_object(7, 2, 9, rest=b"PBrush\0\0\0" + bytes(20))),
        Card(b"Negative fields", rrg_object(-1, -2147483648, 2147483647, flag=0x8000)),
        Card(b"Text after", rrg_text(b"plain text")),
    ])


def conversion_cases():
    conv = ("-e", "Windows-1251")
    # The whole text is converted, however long (here 1232 bytes of UTF-8).
    words = "Съешь же ещё этих мягких французских булок да выпей чаю. "
    long_card = cp((words * 12).strip())
    assert len(long_card.decode("cp1251")) > 600
    listed("convert_long_card", b"MGC", [Card(cp("Длинная карточка"), mgc_text(long_card))],
           args_before=conv, convert=cp1251_to_utf8)
    # Every sign of the code page, and 0x98, which it leaves unassigned.
    signs = cp("Ёлкин ёж «кавычки» № 5 – тире — €\u00a0Ђ Ї і ў ") + b"\x98"
    listed("convert_signs", b"MGC", [Card(cp("Ёжиков «Ёлка» №1"), mgc_text(signs))],
           args_before=conv, convert=cp1251_to_utf8)
    upper_half = bytes(range(0x80, 0x100))
    listed("convert_rrg_upper_half", b"RRG", [Card(bytes(range(0xC0, 0xE8)), rrg_text(upper_half))],
           args_before=conv, convert=cp1251_to_utf8)
    listed("upper_half_as_stored", b"RRG", [Card(bytes(range(0xC0, 0xE8)), rrg_text(upper_half))])


def object_cases():
    """Object cards: the notice, then the text when the object parses."""
    # A 2 x 2 picture of 1 bit a pixel: info header, black and white, two rows.
    dib = (struct.pack("<IiiHHIIiiII", 40, 2, 2, 1, 1, 0, 8, 0, 0, 0, 0) +
           b"\0\0\0\0\xff\xff\xff\0" + b"\x40\0\0\0\x80\0\0\0")
    bmp = b"BM" + struct.pack("<IHHI", 14 + len(dib), 0, 0, 14 + 48) + dib
    embedded = counted(b"") + counted(b"") + struct.pack("<I", len(bmp)) + bmp
    linked = (counted(b"C:\\DOCS\\PLAN.DOC") + counted(b"") + counted(b"") +
              struct.pack("<II", 0, 1))
    wmf = bytes(18)
    kinds = [
        ("object_embedded_dib", ole_card(1, 2, b"PBrush", embedded +
                                         presentation(b"DIB", picture(b"DIB", 2, 2, dib)),
                                         b"A picture\r\nwith a caption")),
        ("object_embedded_no_presentation", ole_card(2, 2, b"Package",
                                                     embedded + presentation(), b"Packed")),
        ("object_embedded_clipboard_named", ole_card(
            3, 2, b"SoundRec", embedded + presentation(
                b"Native", struct.pack("<I", 0) + counted(b"Rich Text Format") +
                struct.pack("<I", 3) + b"abc"), b"A sound")),
        ("object_embedded_clipboard_number", ole_card(
            4, 2, b"SoundRec", embedded + presentation(
                b"CF_TEXT", struct.pack("<II", 1, 2) + b"hi"), b"Numbered format")),
        ("object_linked_metafile", ole_card(
            5, 1, b"Word.Document.6", linked +
            presentation(b"METAFILEPICT", picture(b"METAFILEPICT", 2540, 1270, wmf)),
            b"Linked budget")),
        ("object_static_bitmap", ole_card(6, 3, b"BITMAP", picture(b"BITMAP", 8, 1, b"\xff"),
                                          b"A static picture")),
    ]
    failures = [
        # Each of these lists the notice alone.
        ("object_native_past_end", ole_card(
            7, 2, b"PBrush", counted(b"") + counted(b"") + struct.pack("<I", 1 << 20) + bmp,
            b"never shown", parses=False)),
        ("object_string_without_nul", ole_card(
            8, 2, b"PBrush", struct.pack("<I", 3) + b"abc" + counted(b"") +
            struct.pack("<I", 0) + presentation(), b"never shown", parses=False)),
        ("object_unknown_format", ole_card(9, 4, b"PBrush", b"", b"never shown", parses=False)),
        ("object_presentation_format_3", ole_card(
            10, 2, b"PBrush", embedded + struct.pack("<II", 0x0501, 3), b"never shown",
            parses=False)),
        ("object_type_contradicts", ole_card(
            11, 2, b"PBrush", embedded + presentation(), b"never shown", object_type=2,
            parses=False)),
        ("object_static_not_a_picture", ole_card(
            12, 3, b"PBrush", picture(b"DIB", 1, 1, b"x"), b"never shown", parses=False)),
        ("object_metafile_too_small", ole_card(
            13, 1, b"Word.Document.6", linked + presentation(
                b"METAFILEPICT", struct.pack("<III", 1, 1, 7) + bytes(7)), b"never shown",
            parses=False)),
    ]
    for name, body in kinds + failures:
        listed(name, b"RRG", [Card(b"Object card", body), Card(b"After", rrg_text(b"Plain"))])
    # The file ends inside the card's fields: the object does not parse.
    data, _ = card_file(b"RRG", [Card(b"Cut", ole_card(14, 2, b"PBrush", embedded +
                                                        presentation(), b"gone"))])
    raw_case("object_cut_in_card_fields", data[:-12],
             header_line(b"RRG", 1) + heading(1) + shown(b"Cut") + ole_notice(14, 2, 7))
    # The file ends inside the text: what it holds of it is shown.
    raw_case("object_cut_in_text", data[:-2],
             header_line(b"RRG", 1) + heading(1) + shown(b"Cut") + ole_notice(14, 2, 7) +
             shown(b"go"))


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
        listed("code_page_" + codec, b"MGC", cards, args_before=("-e", "Windows-" + codec[2:]),
               convert=from_code_page(codec))
    # Every upper byte of each single-byte page; '*' where it assigns none.
    for codec in ("cp874", "cp1253", "cp1255", "cp1258"):
        cards = [Card(b"Upper half", rrg_text(bytes(range(0x80, 0x100))))]
        listed("code_page_%s_upper_half" % codec, b"RRG", cards,
               args_before=("-e", "Windows-" + codec[2:]), convert=from_code_page(codec))
    # Stray lead bytes: alone at the end of a title cut at 40 bytes, before a
    # line end, before a byte that is no trail, and a pair the page leaves unassigned.
    stray = b"\x82\xa0 \x81\r\n\x85\x40 \x88\x9f ok \xfc"
    title = "漢字".encode("cp932") * 9 + b"abc\x81"
    assert len(title) == 40
    listed("code_page_cp932_stray_lead_bytes", b"MGC", [Card(title, mgc_text(stray))],
           args_before=("-e", "Windows-932"), convert=from_code_page("cp932"))


def truncated_cases():
    """Files that end early: the missing bytes read as zeros."""
    # Inside the count: MGC 05 -> count 5, every entry past the end reads as
    # offset 0 and is skipped.
    raw_case("truncated_in_count", b"MGC\x05", header_line(b"MGC", 5))
    raw_case("rrg_truncated_in_header", b"RRG\x01\x02\x03\x04\x03", header_line(b"RRG", 3))
    # More cards counted than entries present.
    # (The one card keeps its body in the six bytes of its entry that are not
    # interpreted: G = 0, L = 2, two letters; nothing follows the entry.)
    data = b"MGC\x03\x00" + index_entry(Card(b"Only", pad=b"\0\0\x02\0ok"), 5)
    raw_case("count_beyond_entries", data,
             header_line(b"MGC", 3) + heading(1) + shown(b"Only") + shown(b"ok"))
    # Inside an index entry. Each entry keeps its body in its own six bytes
    # that are not interpreted (G = 0, L = 2, two letters): bodies may lie
    # anywhere. The second entry is cut inside its index line.
    first_at, second_at = 5, 5 + INDEX_ENTRY_SIZE
    entry1 = index_entry(Card(b"Complete", pad=b"\0\0\x02\0Hi"), first_at)
    entry2 = index_entry(Card(b"Truncated title", pad=b"\0\0\x02\0Yo"), second_at)
    data = b"MGC\x02\x00" + entry1 + entry2[:11 + 9]
    raw_case("truncated_in_index_entry", data,
             header_line(b"MGC", 2) + heading(1) + shown(b"Complete") + shown(b"Hi") +
             heading(2) + shown(b"Truncated") + shown(b"Yo"))
    # Cut inside the body offset: only its low byte is there, the rest reads as zeros.
    entry = index_entry(Card(b"x"), 5)
    raw_case("truncated_in_body_offset", b"MGC\x01\x00" + entry[:7], header_line(b"MGC", 1) +
             heading(1) + shown(b"") + shown(b""))
    # Inside a body: the text prints as far as the file goes.
    data, _ = card_file(b"MGC", [Card(b"Cut", mgc_text(b"Only this much of a longer text"))])
    raw_case("truncated_in_mgc_text", data[:-17],
             header_line(b"MGC", 1) + heading(1) + shown(b"Cut") + shown(b"Only this much"))
    data, _ = card_file(b"RRG", [Card(b"Cut", rrg_text(b"Only this much of a longer text"))])
    raw_case("truncated_in_rrg_text", data[:-17],
             header_line(b"RRG", 1) + heading(1) + shown(b"Cut") + shown(b"Only this much"))
    data, _ = card_file(b"MGC", [Card(b"Picture", mgc_text(b"lost", graphic=100))])
    raw_case("truncated_in_graphic_block", data[:-60],
             header_line(b"MGC", 1) + heading(1) + shown(b"Picture") + shown(b""))
    data, _ = card_file(b"RRG", [Card(b"Object", rrg_object(7, 2, 9))])
    raw_case("truncated_in_object", data[:-10],
             header_line(b"RRG", 1) + heading(1) + shown(b"Object") + ole_notice(7, 0, 0))
    data, _ = card_file(b"MGC", [Card(b"Far away", offset=1 << 20)])
    raw_case("body_beyond_end", data,
             header_line(b"MGC", 1) + heading(1) + shown(b"Far away") + shown(b""))


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
    # Remove what an earlier run wrote for cases that no longer exist.
    for entry in os.listdir(CASES):
        stem, ext = os.path.splitext(entry)
        if ext in (".crd", ".args", ".out", ".status", ".err") and stem not in written:
            os.remove(os.path.join(CASES, entry))
    print("%d cases written to %s" % (len(written), CASES))


if __name__ == "__main__":
    main()
